# Set-up and entry points for a fresh Debian machine (run as root or with sudo available).
#   make run    install what is missing, build, start Kandrel on the bundled showcase graph
#   make test   install what is missing, build, run the whole suite (plain and sanitized)
#   make bench  install what is missing, build optimised, run the benchmarks

PACKAGES := cmake ninja-build g++ libgtest-dev libbenchmark-dev \
  qt6-base-dev qt6-qpa-plugins libtiff-dev libopencv-core-dev libopencv-imgcodecs-dev \
  libopencv-imgproc-dev fonts-ipafont-gothic xvfb iverilog \
  pkg-config libfftw3-dev libopencv-photo-dev libopencv-videoio-dev \
  libopencv-calib3d-dev libopencv-objdetect-dev opencv-data
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

BUILD := build
ASAN_BUILD := build-asan
BENCH_BUILD := build-bench
SHOWCASE := examples/showcase.knd

.PHONY: deps configure build run test test-plain test-asan bench clean

deps:
	@missing=""; for p in $(PACKAGES); do \
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

test: test-plain test-asan

bench: deps
	[ -f $(BENCH_BUILD)/build.ninja ] || cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target kandrel_bench
	./$(BENCH_BUILD)/bench/kandrel_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
