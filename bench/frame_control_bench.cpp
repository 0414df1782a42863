// One frame of the counting loop adder(FrameBuf(adder), constant 1) on 1920 × 1080 Int 1ch,
// through the module's Step(), against one cv::add of two CV_32SC1 mats of that size.
#include <opencv2/core.hpp>

#include "bench/bench_support.h"
#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/frame_control.h"
#include "process/headless_host.h"
#include "process/proc_module.h"

namespace kandrel {
namespace {

void BM_CountingLoopAgainstOpenCvAdd(benchmark::State& state) {
  constexpr int kWidth = 1920, kHeight = 1080;
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage constant(bench::PseudoRandomImage<Int1Image>(kWidth, kHeight, 1,
                                                                  [](std::uint32_t) { return 1; }));
    ProcModule loop;
    auto delay = std::make_unique<ProcFrameBuffer>(kFrameBufferProcessId);
    delay->params = {kTypeInt1, kWidth, kHeight, 0.0};
    auto adder = std::make_unique<ProcAdder>(kAdderProcessId);
    adder->Connect(0, delay.get(), 0);
    adder->Connect(1, &constant, 0);
    delay->Connect(0, adder.get(), 0);
    loop.AddProcess(std::move(delay));
    loop.AddProcess(std::move(adder));
    if (loop.Reset() != 0 || loop.Step() != 0) state.SkipWithError("frame failed");
    cv::Mat a(kHeight, kWidth, CV_32SC1, cv::Scalar(1)), b(kHeight, kWidth, CV_32SC1, cv::Scalar(2));
    cv::Mat sum;
    bench::TimeAgainst(state, [&] { return loop.Step(); }, [&] { cv::add(a, b, sum); });
    loop.Child(0)->DisconnectAll();  // the constant outlives nothing that links to it
    loop.Child(1)->DisconnectAll();
  }
  SetHost(nullptr);
}
BENCHMARK(BM_CountingLoopAgainstOpenCvAdd)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
