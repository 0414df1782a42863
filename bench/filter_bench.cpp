// The neighbourhood filters on a 1920 × 1080 Float 1ch image, one frame per iteration through
// Step() (one channel: one thread), against OpenCV on one thread over the same samples:
// ProcCustomFilter5x5 against cv::filter2D with the same 5 × 5 float kernel and replicated
// borders (ours sums exact products in double), ProcMedian against cv::medianBlur of size 3.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "blocks/filter/convolution.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;

std::unique_ptr<Float1Image> Picture() {
  return bench::PseudoRandomImage<Float1Image>(
      kWidth, kHeight, 1, [](std::uint32_t r) { return static_cast<float>(r >> 8) / 65536.0f; });
}

cv::Mat MatOf(const FloatArray& channel) {
  return cv::Mat(channel.Height(), channel.Width(), CV_32F, const_cast<float*>(channel.Data()));
}

// One frame of process on the source, timed against reference with OpenCV on one thread.
template <class Reference>
void TimeFrames(benchmark::State& state, ProcVirtual& process, ProcVirtual& source,
                Reference&& reference) {
  process.Connect(0, &source, 0);
  if (process.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
  const int threads = cv::getNumThreads();
  cv::setNumThreads(1);
  bench::TimeAgainst(
      state, [&] { return process.Step(); }, reference);
  cv::setNumThreads(threads);
  process.DisconnectAll();
}

void BM_CustomFilter5x5FloatAgainstFilter2D(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(Picture());
    ProcCustomFilter5x5 filter(kCustomFilter5x5ProcessId);
    cv::Mat kernel(5, 5, CV_32F);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 5; ++x) {
        filter.params.coef[y][x] = 0.125 * (1 + x + 2 * y);
        kernel.at<float>(y, x) = static_cast<float>(filter.params.coef[y][x]);
      }
    }
    const cv::Mat in = MatOf(source.Held().channels[0]);
    cv::Mat out;
    TimeFrames(state, filter, source, [&] {
      cv::filter2D(in, out, CV_32F, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_CustomFilter5x5FloatAgainstFilter2D)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_MedianFloatAgainstMedianBlur(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(Picture());
    ProcMedian median(kMedianProcessId);
    const cv::Mat in = MatOf(source.Held().channels[0]);
    cv::Mat out;
    TimeFrames(state, median, source, [&] { cv::medianBlur(in, out, 3); });
  }
  SetHost(nullptr);
}
BENCHMARK(BM_MedianFloatAgainstMedianBlur)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
