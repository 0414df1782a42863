// ProcResize, bicubic at 200 %, on a 960 × 540 Float 3ch image, one frame per iteration through
// Step(), against cv::resize INTER_CUBIC of a CV_32FC3 mat holding the same samples to
// 1920 × 1080 (OpenCV at its default thread count).
#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "blocks/geometry/resize.h"
#include "image/resample.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_ResizeBicubicFloat3AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(bench::PseudoRandomImage<Float3Image>(
        960, 540, 1, [](std::uint32_t r) { return static_cast<float>(r >> 24); }));
    ProcResize resize(kResizeProcessId);
    resize.params.interpolation = kResizeBicubic;
    resize.params.widthPercent = resize.params.heightPercent = 200.0;
    resize.Connect(0, &source, 0);
    if (resize.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat in = bench::Interleaved(source.Held());
    cv::Mat out;
    bench::TimeAgainst(state, [&] { return resize.Step(); },
                       [&] { cv::resize(in, out, cv::Size(1920, 1080), 0, 0, cv::INTER_CUBIC); });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_ResizeBicubicFloat3AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
