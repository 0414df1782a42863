// The reader on a 1920 × 1080 PNG (one Step, decode and conversion to Int 3ch) against OpenCV's
// imread of the same file, timed in the same iterations.
#include <benchmark/benchmark.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "io/read_file.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

using Clock = std::chrono::steady_clock;

void BM_ReadFilePng(benchmark::State& state) {
  const std::string path = (std::filesystem::temp_directory_path() / "kandrel-bench.png").string();
  QImage picture(1920, 1080, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixel(x, y, qRgb((x * 7 + y) & 255, (x ^ y) & 255, (x * y) & 255));
  picture.save(QString::fromStdString(path), "PNG");

  HeadlessHost host;
  SetHost(&host);
  {
    ProcReadFile reader(kReadFileProcessId);
    reader.SetFileName(path);
    reader.Reset();
    Clock::duration ours{}, reference{};
    for (auto _ : state) {
      const auto t0 = Clock::now();
      if (reader.Step() != 0) state.SkipWithError("frame failed");
      const auto t1 = Clock::now();
      cv::Mat decoded = cv::imread(path, cv::IMREAD_COLOR);
      benchmark::DoNotOptimize(decoded.data);
      const auto t2 = Clock::now();
      ours += t1 - t0;
      reference += t2 - t1;
    }
    state.counters["ratio"] = std::chrono::duration<double>(ours).count() /
                              std::chrono::duration<double>(reference).count();
  }
  SetHost(nullptr);
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadFilePng)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
