// Shared pieces of the benchmarks: a source that publishes a fixed image without work per
// frame, the same samples as an OpenCV mat, and the timing of our side against a reference in
// the same iterations.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <type_traits>

#include "image/image.h"
#include "process/proc_virtual.h"

namespace kandrel::bench {

template <class L>
class HeldImage : public ProcVirtual {
 public:
  explicit HeldImage(std::unique_ptr<L> image) : ProcVirtual(0) {
    SetPortCounts(0, 1);
    Outputs()[0] = std::move(image);
  }
  const L& Held() const { return static_cast<const L&>(*GetOutput(0)); }
};

// A width × height three-channel image whose samples are sample(r) of successive 32-bit
// pseudo-random numbers r.
template <class L, class Sample>
std::unique_ptr<L> PseudoRandomImage(int width, int height, std::uint32_t seed, Sample sample) {
  auto image = std::make_unique<L>();
  image->Resize(width, height);
  for (auto& channel : image->channels)
    for (auto& s : channel) s = sample(seed = seed * 1664525u + 1013904223u);
  return image;
}

// The three channels interleaved, as CV_32SC3 or CV_32FC3.
template <class L>
cv::Mat Interleaved(const L& image) {
  using Sample = typename L::Sample;
  cv::Mat mat(image.Height(), image.Width(), std::is_same_v<Sample, int> ? CV_32SC3 : CV_32FC3);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      for (int c = 0; c < 3; ++c) mat.at<cv::Vec<Sample, 3>>(y, x)[c] = image.channels[c][y][x];
  return mat;
}

// Runs reference() then ours() in every iteration and reports ours / reference as "ratio".
// ours returns 0 on success.
template <class Ours, class Reference>
void TimeAgainst(benchmark::State& state, Ours&& ours, Reference&& reference) {
  using Clock = std::chrono::steady_clock;
  Clock::duration oursTime{}, referenceTime{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    reference();
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    if (ours() != 0) state.SkipWithError("frame failed");
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    referenceTime += t1 - t0;
    oursTime += t2 - t1;
  }
  state.counters["ratio"] = std::chrono::duration<double>(oursTime).count() /
                            std::chrono::duration<double>(referenceTime).count();
}

}  // namespace kandrel::bench
