// ProcContrast on a 1920 × 1080 Float 3ch image, one frame per iteration through Step(), against
// cv::Mat::convertTo from CV_32FC3 to CV_32FC3 with the same gain and offset.
#include "bench/bench_support.h"
#include "blocks/pixel/tone.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_ContrastFloat3AgainstOpenCv(benchmark::State& state) {
  constexpr double kGain = 1.5, kOffset = 0.1;
  HeadlessHost host;
  SetHost(&host);
  {
    const auto unitFloat = [](std::uint32_t r) { return static_cast<float>(r >> 8) / 16777216.0f; };
    bench::HeldImage source(bench::PseudoRandomImage<Float3Image>(1920, 1080, 3, unitFloat));
    ProcContrast contrast(kContrastProcessId);
    contrast.params = {kGain, kOffset};
    contrast.Connect(0, &source, 0);
    if (contrast.Step() != 0) state.SkipWithError("frame failed");  // output allocated once
    const cv::Mat in = bench::Interleaved(source.Held());
    cv::Mat out;
    bench::TimeAgainst(
        state, [&] { return contrast.Step(); },
        [&] { in.convertTo(out, CV_32FC3, kGain, kOffset); });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_ContrastFloat3AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
