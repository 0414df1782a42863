// ProcMotionSearch with 8 × 8 blocks and a ±16 search on 640 × 480 Int 1ch frames of a textured
// picture moved by (3, −2) with fresh noise on each, against cv::matchTemplate (TM_SQDIFF) of
// every block over the same window of the reference (the same samples as CV_32F, minimum found
// with cv::minMaxLoc). A second benchmark times the same exhaustive search without the early
// exits, to show what they gain.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "blocks/motion/motion_search.h"
#include "image/parallel.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr ProcMotionSearch::Params kParams{8, 8, 16, 0};

std::unique_ptr<Int1Image> TexturedFrame(int shiftX, int shiftY, std::uint32_t seed) {
  auto image = std::make_unique<Int1Image>();
  image->Resize(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double u = x + shiftX, v = y + shiftY;
      seed = seed * 1664525u + 1013904223u;
      const double texture = 60 * std::sin(u * 0.21 + v * 0.07) +
                             40 * std::cos(v * 0.17 - u * 0.05) + 20 * std::sin(u * v * 0.001);
      image->channels[0][y][x] =
          std::clamp(static_cast<int>(128 + texture) + int(seed >> 29) - 4, 0, 255);
    }
  return image;
}

cv::Mat AsFloatMat(const IntArray& samples) {
  cv::Mat mat(samples.Height(), samples.Width(), CV_32F);
  for (int y = 0; y < samples.Height(); ++y)
    for (int x = 0; x < samples.Width(); ++x)
      mat.at<float>(y, x) = static_cast<float>(samples[y][x]);
  return mat;
}

// Every block's window (clipped to the picture) matched by OpenCV.
void MatchEveryBlock(const cv::Mat& current, const cv::Mat& reference, cv::Mat& scores) {
  const int b = kParams.blockSize, range = kParams.searchRange;
  for (int y0 = 0; y0 + b <= kHeight; y0 += kParams.blockStep)
    for (int x0 = 0; x0 + b <= kWidth; x0 += kParams.blockStep) {
      const int left = std::max(x0 - range, 0), top = std::max(y0 - range, 0);
      const int right = std::min(x0 + range + b, kWidth),
                bottom = std::min(y0 + range + b, kHeight);
      cv::matchTemplate(reference(cv::Rect(left, top, right - left, bottom - top)),
                        current(cv::Rect(x0, y0, b, b)), scores, cv::TM_SQDIFF);
      double least;
      cv::Point at;
      cv::minMaxLoc(scores, &least, nullptr, &at);
      benchmark::DoNotOptimize(at);
    }
}

// The same search in the same order and bands, every candidate summed to the end.
void SearchWithoutEarlyExits(const IntArray& current, const IntArray& reference,
                             ComplexArray& field) {
  const int b = kParams.blockSize, range = kParams.searchRange;
  field.Resize((kWidth - b) / kParams.blockStep + 1, (kHeight - b) / kParams.blockStep + 1);
  ForEachRowBand(
      field.Height(), static_cast<std::size_t>(field.Width()) * b * b, [&](int begin, int end) {
        for (int by = begin; by < end; ++by)
          for (int bx = 0; bx < field.Width(); ++bx) {
            const int x0 = bx * kParams.blockStep, y0 = by * kParams.blockStep;
            std::int64_t best = -1;
            int bestX = x0, bestY = y0;
            for (int i = std::max(y0 - range, 0); i <= y0 + range && i <= kHeight - b; ++i)
              for (int j = std::max(x0 - range, 0); j <= x0 + range && j <= kWidth - b; ++j) {
                std::int64_t sum = 0;
                for (int r = 0; r < b; ++r)
                  for (int k = 0; k < b; ++k)
                    sum +=
                        std::llabs(std::int64_t{current[y0 + r][x0 + k]} - reference[i + r][j + k]);
                if (best < 0 || sum < best) best = sum, bestX = j, bestY = i;
              }
            field[by][bx] = {static_cast<float>(x0 - bestX), static_cast<float>(y0 - bestY)};
          }
      });
}

template <class Reference>
void TimeMotionSearch(benchmark::State& state, Reference reference) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage current(TexturedFrame(3, -2, 1)), previous(TexturedFrame(0, 0, 2));
    ProcMotionSearch search(kMotionSearchProcessId);
    search.params = kParams;
    search.Connect(0, &current, 0);
    search.Connect(1, &previous, 0);
    if (search.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    reference(state, current.Held().channels[0], previous.Held().channels[0],
              [&] { return search.Step(); });
    search.DisconnectAll();
  }
  SetHost(nullptr);
}

void BM_MotionSearchAgainstMatchTemplate(benchmark::State& state) {
  TimeMotionSearch(
      state, [](benchmark::State& s, const IntArray& current, const IntArray& previous, auto ours) {
        const cv::Mat currentMat = AsFloatMat(current), previousMat = AsFloatMat(previous);
        cv::Mat scores;
        bench::TimeAgainst(s, ours, [&] { MatchEveryBlock(currentMat, previousMat, scores); });
      });
}
BENCHMARK(BM_MotionSearchAgainstMatchTemplate)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// "gain" is the search without early exits over ours.
void BM_MotionSearchEarlyExitGain(benchmark::State& state) {
  TimeMotionSearch(
      state, [](benchmark::State& s, const IntArray& current, const IntArray& previous, auto ours) {
        ComplexArray field;
        bench::TimeAgainst(s, ours, [&] { SearchWithoutEarlyExits(current, previous, field); });
        s.counters["gain"] = 1 / s.counters["ratio"];
      });
}
BENCHMARK(BM_MotionSearchEarlyExitGain)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
