// Tone adjustment against per-sample formulas on all six image types, run through the framework's
// routes and channel threads; edge cases, refused parameters, catalogue rows and records.
#include "blocks/pixel/tone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Complex = std::complex<float>;

class ToneTest : public KandrelTest {};

// Int in int64: the product saturated to int32, the sum wrapped to 32 bits.
int Contrast(int s, const ProcContrast::Params& p) {
  const double product = std::clamp(std::trunc(s * p.gain), -2147483648.0, 2147483647.0);
  const auto sum = static_cast<std::int64_t>(product) + static_cast<std::int64_t>(p.offset);
  return static_cast<int>(static_cast<std::uint32_t>(sum));
}
float Contrast(float s, const ProcContrast::Params& p) {
  return static_cast<float>(s * p.gain) + static_cast<float>(p.offset);
}
Complex Contrast(Complex s, const ProcContrast::Params& p) {
  const float gain = static_cast<float>(p.gain);
  return {s.real() * gain + static_cast<float>(p.offset), s.imag() * gain};
}

float Gamma(float x, const ProcGammaDbl::Params& p) {
  const double e = p.direction != 0 ? p.gammaValue : 1.0 / p.gammaValue;
  auto curve = [e](double v) { return v >= 0 ? std::pow(v, e) : -std::pow(-v, e); };
  if (p.fixWhiteLevel == 0) return static_cast<float>(curve(x));
  return static_cast<float>(curve(x / p.whiteLevelParam) * p.whiteLevelParam);
}
// Int through float and back, rounded half away from zero; Complex part by part.
int Gamma(int s, const ProcGammaDbl::Params& p) {
  const double v = Gamma(static_cast<float>(s), p);
  return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5);
}
Complex Gamma(Complex s, const ProcGammaDbl::Params& p) {
  return {Gamma(s.real(), p), Gamma(s.imag(), p)};
}

// One frame on a random image of type L whose channels have odd sizes of their own; each output
// channel has its input channel's size and formula(sample, params) in every place.
template <class L, class P>
void ExpectFormula(P& process, std::mt19937& rng, bool extremes) {
  HeldImages held;
  const L& in = held.Hold(0, RandomSizedImage<L>(rng, 17, extremes));
  ASSERT_EQ(RunFrame(process, held), 0);
  process.DisconnectAll();
  for (int c = 0; c < L::kChannels; ++c) {
    const auto& channel = in.channels[c];
    ExpectChannel(As<L>(process.GetOutput(0))->channels[c], SizeOf(channel), [&](int x, int y) {
      if constexpr (std::is_same_v<P, ProcContrast>)
        return Contrast(channel[y][x], process.params);
      else
        return Gamma(channel[y][x], process.params);
    });
  }
}

TEST_F(ToneTest, BothMatchTheirFormulasOnEveryType) {
  std::mt19937 rng(21);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  ForEachImageType([&]<class L>() {
    for (int trial = 0; trial < 4; ++trial) {
      ProcContrast contrast(kContrastProcessId);
      contrast.params = {3 * u(rng), 50 * u(rng)};
      ExpectFormula<L>(contrast, rng, true);
      // Exponents below 3 and white levels from 1 keep the Int results of samples within ±1000
      // inside the int range.
      ProcGammaDbl gamma(kGammaProcessId);
      gamma.params = {1.67 + 1.3 * u(rng), trial % 2, trial / 2, 150 + 149 * u(rng)};
      ExpectFormula<L>(gamma, rng, false);
    }
  });
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToneTest, EdgeCases) {
  ProcContrast contrast(kContrastProcessId);
  const std::pair<ProcContrast::Params, std::vector<int>> ints[] = {
      {{1.5, 10}, {14, 6, INT_MIN + 9, INT_MIN + 10}},  // saturated, then wrapped
      {{1.0, 0.9}, {3, -3, INT_MAX, INT_MIN}},
      {{std::nan(""), 0}, {0, 0, 0, 0}},
  };
  for (const auto& [params, out] : ints) {
    contrast.params = params;
    EXPECT_EQ(RunOnRows<Int1Image>(contrast, {{3, -3, INT_MAX, INT_MIN}}), out) << params.gain;
  }
  contrast.params = {1.0, 0.9};
  EXPECT_EQ(RunOnRows<Float1Image>(contrast, {{0.25f}}), std::vector{0.25f + 0.9f});
  contrast.params = {2.0, 1.0};
  EXPECT_EQ(RunOnRows<Complex1Image>(contrast, {{Complex(0.25f, -3)}}),
            std::vector{Complex(1.5f, -6)});

  ProcGammaDbl gamma(kGammaProcessId);  // Degamma 2.2, no fixed white level
  const auto degamma = RunOnRows<Float1Image>(gamma, {{0.5f}});
  ASSERT_TRUE(degamma.has_value());
  EXPECT_NEAR((*degamma)[0], 0.2176, 1e-4);
  EXPECT_EQ(RunOnRows<Int1Image>(gamma, {{2, -2}}), (std::vector{5, -5}));
  gamma.params = {2.2, ProcGammaDbl::kGamma, 1, 255.0};
  EXPECT_EQ(RunOnRows<Int1Image>(gamma, {{128}}), std::vector{186});
  gamma.params = {2.0, ProcGammaDbl::kDegamma, 0, 0.0};  // the white level is not used
  EXPECT_EQ(RunOnRows<Float1Image>(gamma, {{-0.25f}}), std::vector{-0.0625f});
  EXPECT_EQ(RunOnRows<Complex1Image>(gamma, {{Complex(0.25f, 0.5f)}}),
            std::vector{Complex(0.0625f, 0.25f)});
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ToneTest, GammaRefusesANonPositiveGammaAndAFixedWhiteLevelOfZero) {
  const std::pair<ProcGammaDbl::Params, std::string> cases[] = {
      {{0.0, 1, 0, 255.0}, "負のガンマ値は無効です。"},
      {{-1.0, 0, 1, 255.0}, "負のガンマ値は無効です。"},
      {{2.2, 1, 1, 0.0}, "WhiteLevel に 0 は使えません。"},
      {{2.2, 0, 1, -0.0}, "WhiteLevel に 0 は使えません。"},
  };
  for (const auto& [params, text] : cases) {
    host.ClearMessages();
    ProcGammaDbl gamma(kGammaProcessId);
    gamma.params = params;
    HeldImages held;
    held.Hold(0, Row<Float3Image>({0.5f}));
    EXPECT_NE(RunFrame(gamma, held), 0);
    EXPECT_EQ(Messages(), std::vector{text});
    EXPECT_EQ(gamma.Status(), "err：" + text);
    EXPECT_EQ(gamma.FrameCounter(), 0);
    gamma.DisconnectAll();
  }
}

TEST_F(ToneTest, TypeRulesCatalogueRowsAndParameterRecords) {
  for (int id : {kContrastProcessId, kGammaProcessId}) {
    for (int type = 0; type <= 7; ++type) {
      TypeList in{type}, out{};
      EXPECT_EQ(CreateById(id)->InferOutputTypes(in, out) ? out[0] : 0, type <= 6 ? type : 0);
    }
  }
  ExpectKind<ProcContrast>({kContrastProcessId, "ProcContrast", "明るさ・コントラスト...",
                            "Contrast", "Contrast", 1, 1, true, 16},
                           [](ProcContrast& p) {
                             p.params = {1.25, -7.5};
                           });
  const auto gamma = ExpectKind<ProcGammaDbl>(
      {kGammaProcessId, "ProcGammaDbl", "ガンマ・デガンマ補正...", "Gamma", "", 1, 1, true, 24},
      [](ProcGammaDbl& p) {
        p.params = {1.8, ProcGammaDbl::kGamma, 1, 1023.0};
      });
  const std::uint8_t* block = &gamma[kParamsOffset + 4];
  EXPECT_TRUE(LoadF64(block) == 1.8 && LoadI32(block + 8) == 0 && LoadI32(block + 12) == 1 &&
              LoadF64(block + 16) == 1023.0);
  // A shorter stored record sets only its own fields.
  const auto loaded = LoadShortened(gamma, 12);
  const auto& params = dynamic_cast<ProcGammaDbl&>(*loaded).params;
  EXPECT_TRUE(params.gammaValue == 1.8 && params.direction == ProcGammaDbl::kGamma &&
              params.fixWhiteLevel == 0 && params.whiteLevelParam == 255.0);
}

}  // namespace
}  // namespace kandrel::testing
