// The denoising processes, one frame per iteration through Step(). ProcNLMeans on a noisy
// 640 × 480 pattern (Int 1ch, 8-bit range; search 21, block 7, h 10) against
// cv::fastNlMeansDenoising of the same samples as CV_8U with the same window sizes and h. Our
// filter runs in row bands on one thread per processor, so OpenCV keeps its default thread
// count. ProcTotalVariation, 100 loops on a 640 × 480 Float 1ch image (one thread), against 100
// std::copy of its samples: the ratio is the time of one loop over that of one copy.
#include <algorithm>
#include <cmath>
#include <opencv2/photo.hpp>
#include <vector>

#include "bench/bench_support.h"
#include "blocks/filter/nlmeans.h"
#include "blocks/filter/total_variation.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 640, kHeight = 480;

// A smooth pattern in 0..255 plus pseudo-random triangular noise (standard deviation about 20).
template <class L>
std::unique_ptr<L> NoisyPattern() {
  auto image = std::make_unique<L>();
  image->Resize(kWidth, kHeight);
  std::uint32_t seed = 1;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const double noise =
          static_cast<double>(seed >> 26) - 31.5 + static_cast<double>((seed >> 20) & 63) - 31.5;
      const double v = 128 + 80 * std::sin(x * 0.05) * std::cos(y * 0.04) + noise * 0.75;
      image->channels[0][y][x] =
          static_cast<typename L::Sample>(std::clamp(std::round(v), 0.0, 255.0));
    }
  }
  return image;
}

void BM_NLMeansInt1AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(NoisyPattern<Int1Image>());
    ProcNLMeans nlm(kNLMeansProcessId);
    nlm.params = {7, 21, 10.0};
    nlm.Connect(0, &source, 0);
    if (nlm.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    cv::Mat in(kHeight, kWidth, CV_8U), out;
    const IntArray& samples = source.Held().channels[0];
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        in.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>(samples[y][x]);
    bench::TimeAgainst(
        state, [&] { return nlm.Step(); },
        [&] { cv::fastNlMeansDenoising(in, out, 10.0f, 7, 21); });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_NLMeansInt1AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(5.0);

void BM_TotalVariationFloat1LoopAgainstCopy(benchmark::State& state) {
  constexpr int kLoops = 100;
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(NoisyPattern<Float1Image>());
    ProcTotalVariation tv(kTotalVariationProcessId);
    tv.params = {12.0, kLoops, 0.125};
    tv.Connect(0, &source, 0);
    if (tv.Step() != 0) state.SkipWithError("frame failed");
    const FloatArray& in = source.Held().channels[0];
    std::vector<float> copy(in.SampleCount());
    bench::TimeAgainst(
        state, [&] { return tv.Step(); },
        [&] {
          for (int i = 0; i < kLoops; ++i) {
            std::copy(in.begin(), in.end(), copy.begin());
            benchmark::ClobberMemory();
          }
        });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_TotalVariationFloat1LoopAgainstCopy)->Unit(benchmark::kMillisecond)->MinTime(5.0);

}  // namespace
}  // namespace kandrel
