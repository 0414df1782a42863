// ProcAdder on two 1920 × 1080 Int 3ch images, one frame per iteration through Step(), against
// cv::add on CV_32SC3 mats holding the same samples (OpenCV at its default thread count).
#include "bench/bench_support.h"
#include "blocks/pixel/arithmetic.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_AdderInt3AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    const auto anyInt = [](std::uint32_t r) { return static_cast<int>(r); };
    bench::HeldImage first(bench::PseudoRandomImage<Int3Image>(1920, 1080, 1, anyInt));
    bench::HeldImage second(bench::PseudoRandomImage<Int3Image>(1920, 1080, 2, anyInt));
    ProcAdder adder(kAdderProcessId);
    adder.Connect(0, &first, 0);
    adder.Connect(1, &second, 0);
    if (adder.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat a = bench::Interleaved(first.Held()), b = bench::Interleaved(second.Held());
    cv::Mat sum;
    bench::TimeAgainst(state, [&] { return adder.Step(); }, [&] { cv::add(a, b, sum); });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_AdderInt3AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
