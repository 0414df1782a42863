// ProcRgbToLab on a 1920 × 1080 Float 3ch image, one frame per iteration through Step(), against
// cv::cvtColor(COLOR_RGB2Lab) on a CV_32FC3 mat holding the same samples (OpenCV at its default
// thread count; the process converts in the caller's thread).
#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "blocks/pixel/color_space.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_RgbToLabFloat3AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(bench::PseudoRandomImage<Float3Image>(
        1920, 1080, 1, [](std::uint32_t r) { return static_cast<float>(r >> 8) * (1.0f / 16777216.0f); }));
    ProcRgbToLab toLab(kRgbToLabProcessId);
    toLab.Connect(0, &source, 0);
    if (toLab.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat rgb = bench::Interleaved(source.Held());
    cv::Mat lab;
    bench::TimeAgainst(state, [&] { return toLab.Step(); },
                       [&] { cv::cvtColor(rgb, lab, cv::COLOR_RGB2Lab); });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_RgbToLabFloat3AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
