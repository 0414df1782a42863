// The image display on 1920 × 1080 pictures. Re-tone-mapping a cached Int 3ch RGB picture
// against a plain copy of its three int channels; the full refresh of a YCrCb picture with
// half-width chroma (the YUV10 layout) against OpenCV's YCrCb → RGB conversion of a CV_32FC3 mat
// of the same size. Both sides are timed in the same iterations; "ratio" is ours / theirs.
#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "image/display.h"
#include "image/image.h"

namespace kandrel {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void FillPseudoRandom(IntArray& channel, int width, int height, std::uint32_t seed, int range, int offset) {
  channel.Resize(width, height);
  for (int& s : channel) s = static_cast<int>((seed = seed * 1664525u + 1013904223u) >> 8) % range + offset;
}

void BM_DisplayToneMapOnly(benchmark::State& state) {
  Int3Image image;
  for (int c = 0; c < 3; ++c) FillPseudoRandom(image.channels[c], kWidth, kHeight, c + 1, 256, 0);
  image.ResetView();
  image.view = ViewRect{100, 100, 1800, 1000};
  ImageDisplay display(image);
  display.Refresh(true);
  std::array<IntArray, 3> copies;
  bench::TimeAgainst(
      state,
      [&] {
        display.Refresh(false);
        return 0;
      },
      [&] {
        for (int c = 0; c < 3; ++c) copies[c] = image.channels[c];
      });
}
BENCHMARK(BM_DisplayToneMapOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DisplayYCrCbHalfChroma(benchmark::State& state) {
  Int3Image image;
  FillPseudoRandom(image.channels[0], kWidth, kHeight, 1, 1024, 0);
  FillPseudoRandom(image.channels[1], kWidth / 2, kHeight, 2, 1024, -512);
  FillPseudoRandom(image.channels[2], kWidth / 2, kHeight, 3, 1024, -512);
  image.colorSpace = kYCrCb;
  image.whiteLevel = 1023;
  image.ResetView();
  ImageDisplay display(image);
  display.Refresh(true);

  cv::Mat ycrcb(kHeight, kWidth, CV_32FC3), rgb;
  cv::randu(ycrcb, 0.0f, 1.0f);
  cv::cvtColor(ycrcb, rgb, cv::COLOR_YCrCb2RGB);

  bench::TimeAgainst(
      state,
      [&] {
        display.Refresh(true);
        return 0;
      },
      [&] { cv::cvtColor(ycrcb, rgb, cv::COLOR_YCrCb2RGB); });
}
BENCHMARK(BM_DisplayYCrCbHalfChroma)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
