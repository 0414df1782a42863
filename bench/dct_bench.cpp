// ProcDCT8x8 forward with the MPEG table on a 1920 × 1080 Int 1ch image of 8-bit samples, one
// frame per iteration through Step() (one channel: one thread), against cv::dct called on every
// 8 × 8 block of a CV_32F mat holding the same samples.
#include <opencv2/core.hpp>

#include "bench/bench_support.h"
#include "blocks/transform/dct8x8.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_Dct8x8ForwardInt1AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    constexpr int kWidth = 1920, kHeight = 1080;
    auto image = bench::PseudoRandomImage<Int3Image>(
        kWidth, kHeight, 1, [](std::uint32_t r) { return static_cast<int>(r >> 24); });
    auto mono = std::make_unique<Int1Image>();
    mono->channels[0] = image->channels[0];
    bench::HeldImage source(std::move(mono));
    ProcDCT8x8 dct(kDct8x8ProcessId);
    dct.params.quantTable = kMpegIntraQuantTable;
    dct.Connect(0, &source, 0);
    if (dct.Step() != 0) state.SkipWithError("frame failed");  // output allocated once
    cv::Mat in(kHeight, kWidth, CV_32F), out(kHeight, kWidth, CV_32F);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) in.at<float>(y, x) = source.Held().channels[0][y][x];
    bench::TimeAgainst(
        state, [&] { return dct.Step(); },
        [&] {
          for (int y = 0; y + 8 <= kHeight; y += 8) {
            for (int x = 0; x + 8 <= kWidth; x += 8) {
              const cv::Rect block(x, y, 8, 8);
              cv::Mat coefficients = out(block);
              cv::dct(in(block), coefficients);
            }
          }
        });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_Dct8x8ForwardInt1AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
