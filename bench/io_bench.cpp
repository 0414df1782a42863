// Image file codecs against OpenCV's on the same 1920 × 1080 data, timed in the same iterations;
// each benchmark reports ours ÷ OpenCV as "ratio".
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "image/hdr_image.h"

namespace kandrel {
namespace {

using Clock = std::chrono::steady_clock;

// ---- RGBE (".hdr"): SaveImageHDR + ReadHDRPlanes against cv::imwrite + cv::imread ----

// A smooth high-dynamic-range gradient with fine texture, so that scanlines mix runs and
// literals as photographs do.
void FillHdrScene(Float3Image& image, cv::Mat& bgr) {
  image.Resize(1920, 1080);
  bgr.create(1080, 1920, CV_32FC3);
  for (int y = 0; y < 1080; ++y)
    for (int x = 0; x < 1920; ++x) {
      const float light = std::exp2(static_cast<float>(x) / 160.0f - 4.0f);
      const float texture = 1.0f + 0.25f * static_cast<float>((x * 7 + y * 13) % 5);
      const float rgb[3] = {light * texture, light * 0.5f,
                            y < 540 ? 0.25f : light * texture * 0.1f};
      for (int c = 0; c < 3; ++c) {
        image.channels[c][y][x] = rgb[c];
        bgr.at<cv::Vec3f>(y, x)[2 - c] = rgb[c];
      }
    }
}

void BM_RgbeWriteRead(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string ours = (dir / "kandrel-bench-ours.hdr").string();
  const std::string reference = (dir / "kandrel-bench-opencv.hdr").string();
  Float3Image image;
  cv::Mat bgr;
  FillHdrScene(image, bgr);
  FloatArray planes[3];
  double gamma = 0;
  Clock::duration oursTime{}, referenceTime{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (SaveImageHDR(image, ours) != 0 ||
        ReadHDRPlanes(ours, planes[0], planes[1], planes[2], gamma) != 0)
      state.SkipWithError("RGBE round trip failed");
    benchmark::DoNotOptimize(planes[0].Data());
    const auto t1 = Clock::now();
    cv::imwrite(reference, bgr);
    cv::Mat decoded = cv::imread(reference, cv::IMREAD_UNCHANGED | cv::IMREAD_ANYDEPTH);
    benchmark::DoNotOptimize(decoded.data);
    const auto t2 = Clock::now();
    oursTime += t1 - t0;
    referenceTime += t2 - t1;
  }
  state.counters["ratio"] = std::chrono::duration<double>(oursTime).count() /
                            std::chrono::duration<double>(referenceTime).count();
  std::filesystem::remove(ours);
  std::filesystem::remove(reference);
}
BENCHMARK(BM_RgbeWriteRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel

// ---- Full-precision TIFF dump: SaveImageTIFF + LoadImageTIFF against fwrite + fread ----

#include <cstdio>
#include <vector>

#include "image/tiff_dump.h"

namespace kandrel {
namespace {

// The same bytes written and read back raw, in one call each: the floor for any dump.
bool WriteAndReadRaw(const std::string& path, const std::vector<float>& out, std::vector<float>& in) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(out.data(), sizeof(float), out.size(), f) == out.size();
  ok = std::fclose(f) == 0 && ok;
  f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  ok = std::fread(in.data(), sizeof(float), in.size(), f) == in.size() && ok;
  std::fclose(f);
  return ok;
}

void BM_TiffDumpWriteRead(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string ours = (dir / "kandrel-bench-dump.tif").string();
  const std::string raw = (dir / "kandrel-bench-dump.raw").string();
  Float3Image image;
  image.Resize(1920, 1080);
  std::vector<float> bytesOut;
  for (int c = 0; c < 3; ++c) {
    float v = static_cast<float>(c);
    for (float& s : image.channels[c]) s = v += 0.001f;
    bytesOut.insert(bytesOut.end(), image.channels[c].begin(), image.channels[c].end());
  }
  std::vector<float> bytesIn(bytesOut.size());
  Float3Image loaded;
  Clock::duration oursTime{}, rawTime{};
  const auto timeOurs = [&] {
    const auto start = Clock::now();
    if (SaveImageTIFF(image, ours) != 0 || LoadImageTIFF(loaded, ours) != 0)
      state.SkipWithError("TIFF round trip failed");
    benchmark::DoNotOptimize(loaded.channels[2].Data());
    oursTime += Clock::now() - start;
  };
  const auto timeRaw = [&] {
    const auto start = Clock::now();
    if (!WriteAndReadRaw(raw, bytesOut, bytesIn)) state.SkipWithError("raw round trip failed");
    benchmark::DoNotOptimize(bytesIn.data());
    rawTime += Clock::now() - start;
  };
  // Rewriting a file waits for the write-back of its previous version, so whichever side runs
  // first would wait less; alternating the order shares that wait fairly.
  bool oursFirst = true;
  for (auto _ : state) {
    if (oursFirst) {
      timeOurs();
      timeRaw();
    } else {
      timeRaw();
      timeOurs();
    }
    oursFirst = !oursFirst;
  }
  state.counters["ratio"] = std::chrono::duration<double>(oursTime).count() /
                            std::chrono::duration<double>(rawTime).count();
  std::filesystem::remove(ours);
  std::filesystem::remove(raw);
}
BENCHMARK(BM_TiffDumpWriteRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
