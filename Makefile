# Set-up and entry points for a fresh Debian machine (run as root or with sudo available).
#   make run    install what is missing, build, start Kandrel on the bundled showcase graph
#   make test   install what is missing, build, run the whole suite (plain, address- and
#               thread-sanitized)
#   make bench  install what is missing, build optimised, run the benchmarks
#   make fuzz SECONDS=N   build the libFuzzer targets with clang, run each for N seconds

PACKAGES := cmake ninja-build g++ libgtest-dev libbenchmark-dev \
  qt6-base-dev qt6-qpa-plugins libtiff-dev libopencv-core-dev libopencv-imgcodecs-dev \
  libopencv-imgproc-dev fonts-ipafont-gothic xvfb iverilog \
  pkg-config libfftw3-dev libopencv-photo-dev libopencv-videoio-dev \
  libopencv-calib3d-dev libopencv-objdetect-dev opencv-data
# Fuzzing only: clang and its fuzzer runtime.
FUZZ_PACKAGES := clang libclang-rt-14-dev
JOBS ?= $(shell nproc)
SECONDS ?= 60
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

BUILD := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench
TSAN_BUILD := build-tsan
FUZZ_BUILD := build-fuzz
SHOWCASE := examples/showcase.knd

.PHONY: deps fuzz-deps configure build run test test-plain test-asan test-tsan bench fuzz clean

deps fuzz-deps: WANTED = $(PACKAGES)
fuzz-deps: WANTED = $(FUZZ_PACKAGES)
deps fuzz-deps:
	@missing=""; for p in $(WANTED); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/app/kandrel $(SHOWCASE)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	[ -f $(ASAN_BUILD)/build.ninja ] || cmake -S . -B $(ASAN_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Debug -DKANDREL_SANITIZE=ON -DKANDREL_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	[ -f $(TSAN_BUILD)/build.ninja ] || cmake -S . -B $(TSAN_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANDREL_SANITIZE_THREAD=ON -DKANDREL_BENCH=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp \
	  ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan test-tsan

bench: deps
	[ -f $(BENCH_BUILD)/build.ninja ] || cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target kandrel_bench
	./$(BENCH_BUILD)/bench/kandrel_bench

fuzz: deps fuzz-deps
	[ -f $(FUZZ_BUILD)/build.ninja ] || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANDREL_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
