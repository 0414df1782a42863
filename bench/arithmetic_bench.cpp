// ProcAdder on two 1920 × 1080 Int 3ch images, one frame per iteration through Step(), against
// cv::add on CV_32SC3 mats holding the same samples (OpenCV at its default thread count). Both
// are timed in the same iterations; "ratio" is frame time / cv::add time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <opencv2/core.hpp>

#include "blocks/pixel/arithmetic.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Publishes a fixed pseudo-random image without work per frame.
class HeldImage : public ProcVirtual {
 public:
  explicit HeldImage(std::uint32_t seed) : ProcVirtual(0) {
    SetPortCounts(0, 1);
    auto image = std::make_unique<Int3Image>();
    image->Resize(kWidth, kHeight);
    for (IntArray& channel : image->channels)
      for (int& s : channel) s = static_cast<int>(seed = seed * 1664525u + 1013904223u);
    Outputs()[0] = std::move(image);
  }

  cv::Mat Interleaved() const {
    const auto& image = static_cast<const Int3Image&>(*GetOutput(0));
    cv::Mat mat(kHeight, kWidth, CV_32SC3);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) mat.at<cv::Vec3i>(y, x)[c] = image.channels[c][y][x];
    return mat;
  }
};

using Clock = std::chrono::steady_clock;

void BM_AdderInt3AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  HeldImage first(1), second(2);
  {
    ProcAdder adder(kAdderProcessId);
    adder.Connect(0, &first, 0);
    adder.Connect(1, &second, 0);
    if (adder.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat a = first.Interleaved(), b = second.Interleaved();
    cv::Mat sum(kHeight, kWidth, CV_32SC3);
    cv::add(a, b, sum);

    Clock::duration frameTime{}, openCvTime{};
    for (auto _ : state) {
      const auto t0 = Clock::now();
      cv::add(a, b, sum);
      benchmark::ClobberMemory();
      const auto t1 = Clock::now();
      if (adder.Step() != 0) state.SkipWithError("frame failed");
      benchmark::ClobberMemory();
      const auto t2 = Clock::now();
      openCvTime += t1 - t0;
      frameTime += t2 - t1;
    }
    state.counters["ratio"] = std::chrono::duration<double>(frameTime).count() /
                              std::chrono::duration<double>(openCvTime).count();
  }
  SetHost(nullptr);
}
BENCHMARK(BM_AdderInt3AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
