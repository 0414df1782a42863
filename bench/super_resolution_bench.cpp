// ProcSuperResolution enlarging a 320 × 240 Float 1ch frame 2 × 2, one frame per iteration
// through Step(), with a dictionary of 2^12 leaves learned (before timing) from sixteen generated
// 640 × 480 pictures. The first reports the time per frame; the second the ratio to BiCubic2x2
// of the same frame, the enlargement it starts from. Both count psnr_gain_dB: what the detail
// adds over that enlargement (whose PSNR is bicubic_dB) on a picture the dictionary has not
// seen, halved.
#include <cmath>
#include <filesystem>
#include <random>

#include "bench/bench_support.h"
#include "blocks/analysis/sr_dictionary.h"
#include "image/resample.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 640, kHeight = 480;

// Overlapping boxes and rings of random levels, each edge spread over about one pixel.
FloatArray Scene(unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  FloatArray picture(kWidth, kHeight);
  std::fill(picture.begin(), picture.end(), static_cast<float>(60 + 120 * unit(rng)));
  const auto edge = [](double d) { return std::clamp(0.5 - d, 0.0, 1.0); };  // d: signed distance
  for (int k = 0; k < 40; ++k) {
    const double cx = kWidth * unit(rng), cy = kHeight * unit(rng), size = 8 + 60 * unit(rng);
    const double level = 255 * unit(rng);
    const bool ring = k % 2 == 1;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
        const double d = ring ? std::fabs(std::hypot(dx, dy) - size) - size / 4
                              : std::max(std::fabs(dx), std::fabs(dy) * 1.5) - size;
        const double a = edge(d);
        picture[y][x] = static_cast<float>(picture[y][x] * (1 - a) + level * a);
      }
  }
  // Grain, which no dictionary can predict.
  std::normal_distribution<double> grain(0, 2);
  for (float& v : picture) v = static_cast<float>(v + grain(rng));
  return picture;
}

double Psnr(const FloatArray& a, const FloatArray& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.SampleCount(); ++i) sum += std::pow(a.Data()[i] - b.Data()[i], 2);
  return 10 * std::log10(255.0 * 255.0 * static_cast<double>(a.SampleCount()) / sum);
}

struct DictionaryFile {
  std::string path;
  int leaves = 0;
};

// The learned dictionary, written once per run.
const DictionaryFile& Learned() {
  static const DictionaryFile file = [] {
    std::vector<FloatArray> pictures;
    for (unsigned seed = 1; seed <= 16; ++seed) pictures.push_back(Scene(seed));
    const LearnedDictionary learned = LearnDictionary(pictures, 12);
    DictionaryFile written{
        (std::filesystem::temp_directory_path() / "kandrel-bench-SR.dic").string(), learned.leaves};
    FileStream stream;
    if (stream.Open(written.path, FileStream::Mode::kWrite))
      WriteDictionary(learned.header, learned.tree, stream);
    stream.Close();
    return written;
  }();
  return file;
}

// One frame of the process on the halved unseen picture, with the PSNR gain counted.
template <class Timing>
void RunSuperResolution(benchmark::State& state, Timing timing) {
  HeadlessHost host;
  SetHost(&host);
  {
    const FloatArray truth = Scene(100);
    auto low = std::make_unique<Float1Image>();
    low->channels[0] = HalfSize(truth);
    bench::HeldImage source(std::move(low));
    ProcSuperResolution sr(kSuperResolutionProcessId);
    sr.params.dictionaryPath = Learned().path;
    sr.Connect(0, &source, 0);
    if (sr.Reset() != 0 || sr.Step() != 0) state.SkipWithError("no dictionary or frame failed");
    FloatArray bicubic;
    BiCubic2x2(source.Held().channels[0], bicubic);
    const FloatArray& resolved = As<Float1Image>(sr.GetOutput(0))->channels[0];
    timing(sr, source.Held().channels[0], bicubic);
    state.counters["psnr_gain_dB"] = Psnr(resolved, truth) - Psnr(bicubic, truth);
    state.counters["leaves"] = Learned().leaves;
    state.counters["bicubic_dB"] = Psnr(bicubic, truth);
  }
  SetHost(nullptr);
}

void BM_SuperResolution2x320x240(benchmark::State& state) {
  RunSuperResolution(state, [&](ProcSuperResolution& sr, const FloatArray&, FloatArray&) {
    for (auto _ : state)
      if (sr.Step() != 0) state.SkipWithError("frame failed");
  });
}
BENCHMARK(BM_SuperResolution2x320x240)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SuperResolution2x320x240AgainstBicubic(benchmark::State& state) {
  RunSuperResolution(state, [&](ProcSuperResolution& sr, const FloatArray& in, FloatArray& out) {
    bench::TimeAgainst(
        state, [&] { return sr.Step(); }, [&] { BiCubic2x2(in, out); });
  });
}
BENCHMARK(BM_SuperResolution2x320x240AgainstBicubic)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
