// Total-variation denoising against the iteration written out plainly (two full passes per
// loop, the Int shift as a floor division) bit for bit on both paths; edge cases, refused
// records, type rules, the catalogue row, the record and the Verilog lines; and the PSNR gain
// of both denoisers on a noisy pattern.
#include "blocks/filter/total_variation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "blocks/filter/nlmeans.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class TotalVariationTest : public KandrelTest {};

// u and v, one after the other.
template <class T>
std::vector<T> PlainTotalVariation(const Array2D<T>& f, const ProcTotalVariation::Params& p) {
  constexpr bool kInt = std::is_same_v<T, int>;
  const int w = f.Width(), h = f.Height();
  Array2D<T> u = f, v(w, h), px(w + 1, h + 1), py(w + 1, h + 1);
  for (auto* a : {&v, &px, &py}) std::fill(a->begin(), a->end(), T{});
  const std::int64_t l = static_cast<std::int64_t>(std::trunc(8 * p.lambda + 0.5));
  std::int64_t scale = 1;
  while (p.tau > 0 && scale * p.tau < 1) scale *= 2;
  const float r = static_cast<float>(p.tau / p.lambda), lambda = static_cast<float>(p.lambda);
  const bool runs = kInt ? l >= 1 && p.tau > 0 : p.lambda > 0;
  for (int loop = 0; runs && loop < p.loopCount; ++loop) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if constexpr (kInt) {
          if (x == w - 1 || y == h - 1) continue;
          const std::int64_t gx = std::int64_t{u[y][x]} - u[y][x + 1],
                             gy = std::int64_t{u[y][x]} - u[y + 1][x];
          const std::int64_t d = l * scale + 8 * (std::abs(gx) + std::abs(gy));
          px[y + 1][x + 1] = static_cast<int>((px[y + 1][x + 1] * scale + 8 * gx) * l / d);
          py[y + 1][x + 1] = static_cast<int>((py[y + 1][x + 1] * scale + 8 * gy) * l / d);
        } else {
          const float ax = -r * (x < w - 1 ? u[y][x + 1] - u[y][x] : 0.0f);
          const float ay = -r * (y < h - 1 ? u[y + 1][x] - u[y][x] : 0.0f);
          const float n = std::sqrt(ax * ax + ay * ay);
          px[y + 1][x + 1] = (px[y + 1][x + 1] + ax) / (1 + n);
          py[y + 1][x + 1] = (py[y + 1][x + 1] + ay) / (1 + n);
        }
      }
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const T div = px[y + 1][x + 1] - px[y + 1][x] + py[y + 1][x + 1] - py[y][x + 1];
        if constexpr (kInt) {
          v[y][x] = static_cast<int>(std::floor((div + 4) / 8.0));
          u[y][x] = static_cast<int>(
              std::clamp<std::int64_t>(std::int64_t{f[y][x]} - v[y][x], INT_MIN, INT_MAX));
        } else {
          v[y][x] = lambda * div;
          u[y][x] = f[y][x] - v[y][x];
        }
      }
    }
  }
  std::vector<T> both = SamplesOf(u);
  both.insert(both.end(), v.begin(), v.end());
  return both;
}

// Channel 0 of every output of one frame on the image, one after the other.
template <class L>
std::vector<typename L::Sample> Outputs(ProcVirtual& process, std::unique_ptr<L> image) {
  HeldImages held;
  held.Hold(0, std::move(image));
  EXPECT_EQ(RunFrame(process, held), 0);
  process.DisconnectAll();
  std::vector<typename L::Sample> all;
  for (int k = 0; k < process.OutputCount(); ++k)
    for (auto s : As<L>(process.GetOutput(k))->channels[0]) all.push_back(s);
  return all;
}

TEST_F(TotalVariationTest, BothPathsMatchThePlainIterationBitForBit) {
  struct Case {
    int w, h;
    ProcTotalVariation::Params p;
  };
  const Case cases[] = {{9, 7, {1.0, 10, 0.125}},       {13, 5, {20.0, 7, 0.1}},
                        {1, 6, {3.0, 4, 0.2}},          {7, 1, {3.0, 4, 1.5}},
                        {11, 9, {0.07, 3, 0.125}},      {5, 4, {-1, 3, 0.1}},
                        {33, 17, {1e6, 5, 1.0 / 65536}}};
  std::mt19937 rng(11);
  ProcTotalVariation tv(kTotalVariationProcessId);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " λ " << c.p.lambda);
    tv.params = c.p;
    auto ints = RandomImage<Int1Image>(rng, c.w, c.h, 0, false);
    ints->channels[0][0][0] = INT_MAX;  // u saturates there
    const IntArray f = ints->channels[0];
    EXPECT_EQ(Outputs(tv, std::move(ints)), PlainTotalVariation(f, c.p));
    auto floats = RandomImage<Float1Image>(rng, c.w, c.h, 0, false);
    const FloatArray g = floats->channels[0];
    EXPECT_EQ(Outputs(tv, std::move(floats)), PlainTotalVariation(g, c.p));
  }
}

TEST_F(TotalVariationTest, EdgeCases) {
  std::mt19937 rng(13);
  ProcTotalVariation tv(kTotalVariationProcessId);
  // No loops, λ rounding to 0 steps (λ 0.07 is one), τ 0, a constant: u = f and v = 0.
  for (auto [lambda, loops, tau, flat] : {std::tuple{1.0, 0, 0.125, false},
                                          {0.06, 10, 0.125, false},
                                          {1.0, 10, 0.0, false},
                                          {1.0, 10, 0.125, true}}) {
    tv.params = {lambda, loops, tau};
    auto image = RandomImage<Int1Image>(rng, 5, 4, 0, false);
    if (flat) std::fill(image->channels[0].begin(), image->channels[0].end(), -9);
    std::vector<int> expected = SamplesOf(image->channels[0]);
    expected.resize(40, 0);
    EXPECT_EQ(Outputs(tv, std::move(image)), expected) << lambda << " " << loops << " " << tau;
  }
  EXPECT_EQ((ProcTotalVariation::Params{0.07}.LambdaSteps()), 1);
  for (auto [tau, shift] : {std::pair{0.125, 3}, {0.1, 4}, {1.0, 0}, {7.0, 0}, {1.0 / 65536, 16}}) {
    tv.params.tau = tau;
    EXPECT_EQ(tv.params.TauShift(), shift) << tau;
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(TotalVariationTest, RefusalsTypeRulesCatalogueRowRecordAndVerilog) {
  const ProcTotalVariation::Params refused[] = {{1, -1, 0.125},
                                                {2e6, 10, 0.125},
                                                {std::nan(""), 10, 0.125},
                                                {1, 10, 1e-5},
                                                {1, 10, HUGE_VAL}};
  ProcTotalVariation tv(kTotalVariationProcessId);
  for (const ProcTotalVariation::Params& p : refused) {
    tv.params = p;
    EXPECT_EQ(RunOnRows<Int1Image>(tv, {{1, 2}}), std::nullopt) << p.lambda << " " << p.tau;
  }
  EXPECT_EQ(Messages(),
            std::vector<std::string>(5, "TotalVariationのパラメータが正しくありません。"));
  for (int type = 0; type <= kImageTypeCount + 1; ++type) {
    TypeList in{type}, out{};
    const int expected = tv.InferOutputTypes(in, out) ? type : 0;
    EXPECT_EQ(std::pair(out[0], out[1]), std::pair(expected, expected));
    EXPECT_EQ(expected, type <= kImageTypeCount ? type : 0);
  }
  auto bytes = ExpectKind<ProcTotalVariation>(
      {kTotalVariationProcessId, "ProcTotalVariation", "TotalVariation...", "TotalVariation",
       "TotalVariation", 1, 2, true, 32},
      [](ProcTotalVariation& p) {
        p.params = {2.5, 7, 0.0625};
      });
  std::uint8_t* block = &bytes[kParamsOffset + 4];
  EXPECT_EQ(
      std::tuple(LoadF64(block), LoadI32(block + 8), LoadI32(block + 12), LoadF64(block + 16)),
      std::tuple(2.5, 7, 0, 0.0625));
  // The size of the last frame is saved and ignored on load.
  tv.params = {};
  EXPECT_TRUE(RunOnRows<Float1Image>(tv, {{1, 2, 3}}).has_value());
  EXPECT_EQ(std::pair(tv.params.lastWidth, tv.params.lastHeight), std::pair(3, 1));
  StoreI32(block + 24, 640);
  MemoryStream stream(bytes);
  EXPECT_EQ(dynamic_cast<ProcTotalVariation&>(*CreateFromStream(stream)).params.lastWidth, 0);
  std::vector<std::string> lines;
  tv.WriteVerilogParams(lines, "Proc1");
  EXPECT_EQ(lines,
            (std::vector<std::string>{"\t\tdefparam", "\t\t\tProc1.Lambda = 16,",
                                      "\t\t\tProc1.LoopCount = 10,", "\t\t\tProc1.Tau = 128;"}));
  tv.params = {-0.99, 10, 1e300};  // truncated toward zero, saturated
  lines.clear();
  tv.WriteVerilogParams(lines, "P");
  EXPECT_EQ(lines[1] + lines[3], "\t\t\tP.Lambda = -15,\t\t\tP.Tau = 2147483647;");
}

// A smooth pattern with seeded Gaussian noise (σ 12): the defaults of non-local means gain about
// 5.1 dB on Int, total variation (λ 12, 30 loops) about 8.1 on Int and 9.7 on Float.
TEST_F(TotalVariationTest, BothDenoisersRaiseThePsnrOfANoisyPattern) {
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0.0, 12.0);
  std::vector<double> clean(64 * 48), noisy(64 * 48);
  for (int i = 0; i < 64 * 48; ++i) {
    clean[i] = std::floor(128 + 90 * std::sin(i % 64 * 0.11) * std::cos(i / 64 * 0.07));
    noisy[i] = clean[i] + std::round(noise(rng));
  }
  auto gain = [&]<class L>(ProcVirtual& process) {
    auto image = std::make_unique<L>();
    image->Resize(64, 48);
    std::copy(noisy.begin(), noisy.end(), image->channels[0].begin());
    const auto out = Outputs(process, std::move(image));
    double before = 0, after = 0;
    for (int i = 0; i < 64 * 48; ++i) {
      before += std::pow(noisy[i] - clean[i], 2);
      after += std::pow(out[i] - clean[i], 2);
    }
    return 10 * std::log10(before / after);
  };
  ProcNLMeans nlm(kNLMeansProcessId);
  EXPECT_GT(gain.operator()<Int1Image>(nlm), 4.5);
  ProcTotalVariation tv(kTotalVariationProcessId);
  tv.params = {12.0, 30, 0.125};
  EXPECT_GT(gain.operator()<Int1Image>(tv), 7.5);
  EXPECT_GT(gain.operator()<Float1Image>(tv), 9.0);
}

}  // namespace
}  // namespace kandrel::testing
