// ProcRgbToLab on a 1920 × 1080 Float 3ch image, one frame per iteration, against
// cv::cvtColor(COLOR_RGB2Lab) on a CV_32FC3 mat holding the same samples (OpenCV at its default
// thread count; the process converts in the caller's thread). Both are timed in the same
// iterations; "ratio" is frame time / cvtColor time. The frame is driven as a module drives its
// children, Prepare then Execute, with the output's window closed: Step() would also show the
// window and draw the Lab image as RGB, which is the display's cost, not the conversion's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "blocks/pixel/color_space.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Publishes a fixed pseudo-random RGB image in 0..1 without work per frame.
class HeldRgbImage : public ProcVirtual {
 public:
  HeldRgbImage() : ProcVirtual(0) {
    SetPortCounts(0, 1);
    auto image = std::make_unique<Float3Image>();
    image->Resize(kWidth, kHeight);
    std::uint32_t seed = 1;
    for (FloatArray& channel : image->channels) {
      for (float& s : channel) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<float>(seed >> 8) * (1.0f / 16777216.0f);
      }
    }
    Outputs()[0] = std::move(image);
  }

  cv::Mat Interleaved() const {
    const auto& image = static_cast<const Float3Image&>(*GetOutput(0));
    cv::Mat mat(kHeight, kWidth, CV_32FC3);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 3; ++c) mat.at<cv::Vec3f>(y, x)[c] = image.channels[c][y][x];
    return mat;
  }
};

using Clock = std::chrono::steady_clock;

void BM_RgbToLabFloat3AgainstOpenCv(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  HeldRgbImage source;
  {
    ProcRgbToLab toLab(kRgbToLabProcessId);
    toLab.Connect(0, &source, 0);
    auto frame = [&] { return toLab.Prepare() != 0 ? 1 : toLab.Execute(); };
    if (frame() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat rgb = source.Interleaved();
    cv::Mat lab(kHeight, kWidth, CV_32FC3);
    cv::cvtColor(rgb, lab, cv::COLOR_RGB2Lab);

    Clock::duration frameTime{}, openCvTime{};
    for (auto _ : state) {
      const auto t0 = Clock::now();
      cv::cvtColor(rgb, lab, cv::COLOR_RGB2Lab);
      benchmark::ClobberMemory();
      const auto t1 = Clock::now();
      if (frame() != 0) state.SkipWithError("frame failed");
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
BENCHMARK(BM_RgbToLabFloat3AgainstOpenCv)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
