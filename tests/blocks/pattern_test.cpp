// The pattern generator against its formulas evaluated sample by sample, on small, odd and
// oversized records and both output types; the documented samples, refused records, catalogue row
// and parameter record.
#include "blocks/pixel/pattern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Params = ProcSineWave::Params;
constexpr double kPi = std::numbers::pi;

class PatternTest : public KandrelTest {};

// Sample (row i, column j), without tables.
double Pattern(const Params& p, int i, int j) {
  const int w = p.width, h = p.height;
  const double a = p.intOutput != 0 ? 127.5 : 0.5;
  const double x = j + (p.centerOrigin != 0 ? -(w / 2) : 0) + (p.halfPixel != 0 ? 0.5 : 0);
  const double y = i + (p.centerOrigin != 0 ? -(h / 2) : 0) + (p.halfPixel != 0 ? 0.5 : 0);
  if (p.patternKind == ProcSineWave::kFlat) return p.flatValue;
  if (p.patternKind == ProcSineWave::kZonePlate)
    return (std::cos(kPi * (x * x) / w + kPi * (y * y) / h) + 1) * a;
  if (p.patternKind == ProcSineWave::kGrating) {
    const double t = 2 * kPi * (x * (p.cyclesPerWidth / w) + y * (p.cyclesPerHeight / h));
    if (p.waveform == ProcSineWave::kSine) return (std::sin(t) + 1) * a;
    if (p.waveform == ProcSineWave::kCosine) return (std::cos(t) + 1) * a;
    return t == 0 ? 2 * a : a * 2 * std::sin(t) / t;
  }
  const double f1 = p.leftFrequency, f2 = p.rightFrequency;
  const bool sweeps = f1 != f2 && f1 > 0 && f2 > 0;
  const double k = sweeps ? std::log(f2 / f1) / (w - 1) : 0, s = sweeps ? 2 * kPi * f1 / k : 0;
  const double c = std::cos(s * std::exp((j + p.phaseShift) * k));
  return a * (c * std::pow(1000.0, -static_cast<double>(h - i) / h) + 1) + 0.001;
}

// One frame; the output's channel, or null when the frame failed.
template <class L>
const typename L::ArrayType* Generate(ProcSineWave& generator) {
  const L* out = generator.Step() == 0 ? As<L>(generator.GetOutput(0)) : nullptr;
  return out != nullptr ? &out->channels[0] : nullptr;
}

TEST_F(PatternTest, EveryPatternMatchesItsFormula) {
  std::mt19937 rng(31);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  // Sizes the dialog would refuse too: the tables follow the record.
  const std::pair<int, int> sizes[] = {{2, 2}, {3, 7}, {17, 5}, {64, 1}, {3000, 2}, {2, 2100}};
  const std::pair<int, int> kinds[] = {{ProcSineWave::kFlat, 0},
                                       {ProcSineWave::kGrating, ProcSineWave::kSine},
                                       {ProcSineWave::kGrating, ProcSineWave::kCosine},
                                       {ProcSineWave::kGrating, ProcSineWave::kSinc},
                                       {ProcSineWave::kZonePlate, 0},
                                       {ProcSineWave::kChart, 0}};
  for (const auto& [width, height] : sizes) {
    for (const auto& [kind, waveform] : kinds) {
      for (int variant = 0; variant < 8; ++variant) {
        Params p{width, height, variant & 1, kind, 40 * u(rng), waveform, variant >> 1 & 1};
        p.centerOrigin = variant >> 2 & 1;
        p.cyclesPerWidth = 6 * u(rng);
        p.cyclesPerHeight = variant == 0 ? 0.0 : 6 * u(rng);  // sinc passes through h = 0
        p.leftFrequency = 0.3 + 0.29 * u(rng);
        p.rightFrequency = variant == 3 ? p.leftFrequency : 0.3 + 0.29 * u(rng);
        p.phaseShift = variant < 4 ? 0.0 : 3 * u(rng);
        SCOPED_TRACE(::testing::Message() << width << " × " << height << ", pattern " << kind
                                          << ", waveform " << waveform << ", variant " << variant);
        ProcSineWave generator(kSineWaveProcessId);
        generator.params = p;
        auto expected = [&](int x, int y) { return static_cast<float>(Pattern(p, y, x)); };
        if (p.intOutput != 0) {
          const IntArray* out = Generate<Int1Image>(generator);
          ASSERT_NE(out, nullptr);
          ExpectChannel(*out, {width, height}, [&](int x, int y) {
            const double v = expected(x, y);
            return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5);
          });
        } else {
          const FloatArray* out = Generate<Float1Image>(generator);
          ASSERT_NE(out, nullptr);
          ExpectChannel(*out, {width, height}, expected);
        }
      }
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PatternTest, DocumentedSamples) {
  ProcSineWave generator(kSineWaveProcessId);  // cosine grating, 640 × 480, centred, Float
  const FloatArray* floats = Generate<Float1Image>(generator);
  ASSERT_NE(floats, nullptr);
  EXPECT_TRUE((*floats)[0][320] == 1.0f && (*floats)[0][0] == 0.0f);
  generator.params.intOutput = 1;
  const IntArray* ints = Generate<Int1Image>(generator);
  ASSERT_NE(ints, nullptr);
  EXPECT_TRUE((*ints)[0][320] == 255 && (*ints)[479][0] == 0);
  generator.params.waveform = ProcSineWave::kSinc;
  generator.params.cyclesPerWidth = 0;
  ints = Generate<Int1Image>(generator);
  ASSERT_NE(ints, nullptr);
  EXPECT_EQ(SamplesOf(*ints), std::vector<int>(640 * 480, 255));

  generator.params.intOutput = 0;
  generator.params.patternKind = ProcSineWave::kZonePlate;
  floats = Generate<Float1Image>(generator);
  ASSERT_NE(floats, nullptr);
  EXPECT_EQ((*floats)[240][320], 1.0f);
  generator.params.patternKind = ProcSineWave::kChart;
  floats = Generate<Float1Image>(generator);
  ASSERT_NE(floats, nullptr);
  for (int j = 0; j < 640; ++j) EXPECT_NEAR((*floats)[0][j], 0.501, 0.0005 + 1e-6);
  // Equal frequencies, and a single column, leave nothing to sweep: rows rise from top to bottom.
  for (const auto& [width, right] : {std::pair{640, 0.01}, std::pair{1, 0.5}}) {
    generator.params.width = width;
    generator.params.rightFrequency = right;
    floats = Generate<Float1Image>(generator);
    ASSERT_NE(floats, nullptr);
    for (int i = 0; i < 480; ++i)
      EXPECT_EQ((*floats)[i][width - 1],
                static_cast<float>(0.5 * (std::pow(1000.0, -(480.0 - i) / 480) + 1) + 0.001));
  }
  generator.params = {.patternKind = ProcSineWave::kChart};
  generator.params.leftFrequency = 1e-300;
  generator.params.rightFrequency = 1e300;  // a ratio no double holds
  floats = Generate<Float1Image>(generator);
  ASSERT_NE(floats, nullptr);
  EXPECT_TRUE(
      std::all_of(floats->begin(), floats->end(), [](float s) { return std::isfinite(s); }));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PatternTest, ImpossibleRecordsFailTheFrame) {
  const std::string size = "PatternGeneの Width と Height には 1 以上の値が必要です。";
  const std::pair<Params, std::string> cases[] = {
      {{.width = 0}, size},
      {{.height = -5}, size},
      {{.width = INT_MIN, .height = INT_MIN, .patternKind = ProcSineWave::kChart}, size},
      {{.patternKind = 4}, "PatternGeneのパターンの種類が正しくありません。"},
      {{.patternKind = -1}, "PatternGeneのパターンの種類が正しくありません。"},
      {{.waveform = 3}, "PatternGeneの波形の種類が正しくありません。"},
      // A size no memory holds: the framework's message.
      {{.width = INT_MAX, .height = INT_MAX}, "PatternGeneの処理中にエラーが発生しました。"},
      {{.width = INT_MAX, .height = INT_MAX, .intOutput = 1},
       "PatternGeneの処理中にエラーが発生しました。"},
  };
  for (const auto& [params, text] : cases) {
    host.ClearMessages();
    ProcSineWave generator(kSineWaveProcessId);
    generator.params = params;
    EXPECT_NE(generator.Step(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind(text, 0), 0u) << Messages()[0];
    EXPECT_EQ(generator.FrameCounter(), 0);
  }
  ProcSineWave flat(kSineWaveProcessId);  // the waveform matters only to the grating
  flat.params = {.patternKind = ProcSineWave::kFlat, .waveform = 99};
  EXPECT_EQ(flat.Step(), 0);
}

TEST_F(PatternTest, CatalogueRowAndParameterRecord) {
  const auto bytes = ExpectKind<ProcSineWave>(
      {kSineWaveProcessId, "ProcSineWave", "パターン生成...", "PatternGene", "", 0, 1, true, 80},
      [](ProcSineWave& p) {
        p.params = {1024, 768, 1, 3, -0.5, 2, 1, 3.5, -2.0, 0, 0.02, 0.25, 1.5};
      });
  const std::uint8_t* block = &bytes[kParamsOffset + 4];
  EXPECT_TRUE(LoadI32(block) == 1024 && LoadI32(block + 12) == 3 && LoadF64(block + 16) == -0.5 &&
              LoadI32(block + 24) == 2 && LoadF64(block + 40) == -2.0 && LoadI32(block + 48) == 0 &&
              LoadI32(block + 52) == 0 && LoadF64(block + 56) == 0.02 &&
              LoadF64(block + 72) == 1.5);
  std::vector<std::uint8_t> dirty = bytes;  // stored padding is ignored
  StoreI32(&dirty[kParamsOffset + 4 + 52], -1);
  MemoryStream stream(dirty);
  const auto loaded = CreateFromStream(stream);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(SavedBytes(*loaded), bytes);
}

}  // namespace
}  // namespace kandrel::testing
