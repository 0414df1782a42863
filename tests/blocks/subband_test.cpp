// The 16-tap filter bank against plain loops written from its definition (bit for bit, on every
// length from 1, where short signals reflect repeatedly), the subband split and merge, the
// wavelet pyramid's regions and its round trip, and the three kinds through the framework:
// types, catalogue rows, parameter records and refusals.
#include "blocks/transform/subband.h"

#include <gtest/gtest.h>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Signal = std::vector<float>;

constexpr double kC[8] = {0.001050555, -0.002590713, -0.009669948, 0.09783431,
                          0.4812062,   -0.09042564,  0.02765162,   -0.005056394};

float Product(double c, float x) { return static_cast<float>(c * static_cast<double>(x)); }

// x[i] for any i: reflected about −½ and n − ½ until inside (once is enough from 8 samples on).
float SignalAt(const Signal& x, int i) {
  const int n = static_cast<int>(x.size());
  while (i < 0 || i >= n) i = i < 0 ? -1 - i : 2 * n - 1 - i;
  return x[i];
}

// The bands of a signal of n samples, low (m = ⌈n/2⌉ values) then high.
Signal ReferenceAnalyze(const Signal& x) {
  const int n = static_cast<int>(x.size()), m = (n + 1) / 2;
  Signal bands(n);
  for (int k = 0; k < m; ++k) {
    float a = 0, b = 0;
    for (int j = 0; j < 8; ++j) a += Product(kC[7 - j], SignalAt(x, 2 * k - 6 + 2 * j));
    for (int j = 0; j < 8; ++j) b += Product(kC[j], SignalAt(x, 2 * k - 7 + 2 * j));
    bands[k] = a + b;
    if (m + k < n) bands[m + k] = a - b;
  }
  return bands;
}

// L[k] + sign · H[k] for any k: reflected about −½ and about m − ½ (even n) or m − 1 (odd n,
// where H[m − 1] = 0), H changing sign at each reflection.
float BandAt(const Signal& bands, int k, float sign) {
  const int n = static_cast<int>(bands.size()), m = (n + 1) / 2;
  while (k < 0 || k >= m) {
    k = k < 0 ? -1 - k : (n % 2 == 0 ? 2 * m - 1 : 2 * m - 2) - k;
    sign = -sign;
  }
  return bands[k] + sign * (m + k < n ? bands[m + k] : 0.0f);
}

Signal ReferenceSynthesize(const Signal& bands) {
  const int n = static_cast<int>(bands.size());
  Signal x(n);
  for (int k = 0; k < (n + 1) / 2; ++k) {
    float even = 0, odd = 0;
    for (int j = 0; j < 8; ++j) even += Product(kC[j], BandAt(bands, k - 4 + j, 1));
    for (int j = 0; j < 8; ++j) odd += Product(kC[7 - j], BandAt(bands, k - 3 + j, -1));
    x[2 * k] = 2 * even;
    if (2 * k + 1 < n) x[2 * k + 1] = 2 * odd;
  }
  return x;
}

FloatArray RandomArray(std::mt19937& rng, int width, int height) {
  FloatArray a(width, height);
  for (float& v : a) v = RandomSample<float>(rng, false);
  return a;
}

// Every row (or column) of the top-left w × h of a replaced by f of it.
template <class F>
void EachLine(FloatArray& a, int w, int h, bool columns, F f) {
  for (int line = 0; line < (columns ? w : h); ++line) {
    auto at = [&](int i) -> float& { return columns ? a[i][line] : a[line][i]; };
    Signal x(columns ? h : w);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = at(static_cast<int>(i));
    x = f(x);
    for (std::size_t i = 0; i < x.size(); ++i) at(static_cast<int>(i)) = x[i];
  }
}

float MaxDifference(const FloatArray& a, const FloatArray& b) {
  float d = 0;
  for (std::size_t i = 0; i < a.SampleCount(); ++i)
    d = std::max(d, std::fabs(a.Data()[i] - b.Data()[i]));
  return d;
}

// Rows go through QMF16, columns through QMF16Lanes: 70 of them fill a block of lanes and more.
TEST(SubbandTest, SplitAndMergeMatchTheDefinitionOnEveryLengthFromOne) {
  std::mt19937 rng(3);
  for (int n = 1; n <= 20; ++n) {
    for (bool vertical : {false, true}) {
      SCOPED_TRACE(std::to_string(n) + (vertical ? " vertical" : " horizontal"));
      const int w = vertical ? 70 : n, h = vertical ? n : 2, m = (n + 1) / 2;
      const FloatArray src = RandomArray(rng, w, h);
      FloatArray low, high, merged, bands = src;
      SubbandSplit(src, low, high, vertical ? kSubbandVertical : kSubbandHorizontal);
      EachLine(bands, w, h, vertical, ReferenceAnalyze);
      ExpectChannel(low, vertical ? std::pair(w, m) : std::pair(m, h),
                    [&](int x, int y) { return bands[y][x]; });
      ExpectChannel(high, vertical ? std::pair(w, n / 2) : std::pair(n / 2, h),
                    [&](int x, int y) { return vertical ? bands[y + m][x] : bands[y][x + m]; });
      ASSERT_EQ(SubbandMerge(low, high, merged, vertical ? kSubbandVertical : kSubbandHorizontal),
                0);
      EachLine(bands, w, h, vertical, ReferenceSynthesize);
      ExpectChannel(merged, SizeOf(src), [&](int x, int y) { return bands[y][x]; });
      EXPECT_LT(MaxDifference(merged, src), 0.5f);  // samples within ±100
    }
  }
}

TEST(SubbandTest, MergeRefusesBandsThatDoNotFitAndConstantsStayLow) {
  std::mt19937 rng(5);
  FloatArray nine = RandomArray(rng, 9, 2), low, high;
  SubbandSplit(nine, low, high, kSubbandHorizontal);
  // 5 + 3 wide, unequal heights, or 5 + 4 wide merged down the columns: 1, output untouched.
  FloatArray untouched(1, 1);
  untouched[0][0] = 7;
  EXPECT_EQ(SubbandMerge(low, FloatArray(3, 2), untouched, kSubbandHorizontal), 1);
  EXPECT_EQ(SubbandMerge(low, FloatArray(4, 3), untouched, kSubbandHorizontal), 1);
  EXPECT_EQ(SubbandMerge(low, high, untouched, kSubbandVertical), 1);
  EXPECT_EQ(SamplesOf(untouched), Signal{7});

  // The taps sum to 1: a constant stays in the low band, up to rounding.
  FloatArray constant(12, 10);
  std::fill(constant.begin(), constant.end(), 100.0f);
  for (int direction : {kSubbandHorizontal, kSubbandVertical}) {
    SubbandSplit(constant, low, high, direction);
    for (float v : low) EXPECT_NEAR(v, 100.0f, 1e-4f);
    for (float v : high) EXPECT_NEAR(v, 0.0f, 1e-4f);
  }
}

TEST(WaveletTest, LevelsTransformTheirRegionsAndInvertWithinTheApproximation) {
  std::mt19937 rng(7);
  FloatArray out, back;
  // Too narrow for any level: unchanged either way.
  const FloatArray narrow = RandomArray(rng, 7, 100);
  WaveletForward(narrow, out, 10);
  EXPECT_EQ(SamplesOf(out), SamplesOf(narrow));
  WaveletInverse(narrow, out, 10);
  EXPECT_EQ(SamplesOf(out), SamplesOf(narrow));

  // 37 × 20 → 19 × 10 → 10 × 5: two levels, rows then columns of each region; 8 × 8: one.
  for (auto [w, h, levels] : {std::tuple(37, 20, 2), std::tuple(8, 8, 1)}) {
    const FloatArray src = RandomArray(rng, w, h);
    FloatArray expected = src;
    for (int l = 0, rw = w, rh = h; l < levels; ++l, rw = (rw + 1) / 2, rh = (rh + 1) / 2) {
      EachLine(expected, rw, rh, false, ReferenceAnalyze);
      EachLine(expected, rw, rh, true, ReferenceAnalyze);
    }
    WaveletForward(src, out, 10);
    EXPECT_EQ(SamplesOf(out), SamplesOf(expected)) << w << " × " << h;
    EXPECT_EQ(WaveletLevelCount(w, h, 10), levels);
  }

  // 1000 × 1000: eight levels down to 8 × 8, so ten give what eight give and seven differ.
  const FloatArray large = RandomArray(rng, 1000, 1000);
  FloatArray eight, seven;
  WaveletForward(large, out, 10);
  WaveletForward(large, eight, 8);
  WaveletForward(large, seven, 7);
  EXPECT_EQ(SamplesOf(out), SamplesOf(eight));
  EXPECT_NE(SamplesOf(out), SamplesOf(seven));

  // Forward then inverse, three levels: within 0.5 % of the samples' range (±100).
  const FloatArray odd = RandomArray(rng, 45, 38);
  WaveletForward(odd, out, 10);
  WaveletInverse(out, back, 10);
  EXPECT_LT(MaxDifference(back, odd), 1.0f);
}

class SubbandKindsTest : public KandrelTest {};

// Int samples split as floats and rounded back, complex ones as real and imaginary parts.
TEST_F(SubbandKindsTest, EveryTypeTakesTheFloatRouteAndKeepsItsType) {
  const Signal row = {3, -7, 12, 5, 0, 9, -2, 4, 8, 1, 6};
  FloatArray real(11, 1), imaginary(11, 1);
  std::copy(row.begin(), row.end(), real.begin());
  std::transform(row.begin(), row.end(), imaginary.begin(), [](float v) { return -2 * v; });
  FloatArray bands[2][2];  // [low, high][real, imaginary]
  SubbandSplit(real, bands[0][0], bands[1][0], kSubbandHorizontal);
  SubbandSplit(imaginary, bands[0][1], bands[1][1], kSubbandHorizontal);
  ForEachImageType([&]<class L>() {
    using S = typename L::Sample;
    SCOPED_TRACE(L::kTypeId);
    std::vector<S> samples;
    for (float v : row) {
      if constexpr (kIsComplexSample<S>)
        samples.emplace_back(v, -2 * v);
      else
        samples.push_back(static_cast<S>(v));
    }
    ProcSubbandDiv div(kSubbandDivProcessId);
    for (int k = 0; k < 2; ++k) {
      const auto out = RunOnRows<L>(div, {samples}, k);
      ASSERT_TRUE(out.has_value());
      ExpectChannel(Row<L>(*out)->channels[0], SizeOf(bands[k][0]), [&](int x, int) {
        const float re = bands[k][0][0][x], im = bands[k][1][0][x];
        if constexpr (kIsComplexSample<S>)
          return S(re, im);
        else if constexpr (std::is_same_v<S, int>)
          return RoundHalfAwayFromZero(re);
        else
          return re;
      });
    }
  });

  struct Rule {
    int process;
    TypeList in;
    bool accepted;
    TypeList out;
  };
  for (const Rule& rule : std::initializer_list<Rule>{{kSubbandDivProcessId, {6}, true, {6, 6}},
                                                      {kSubbandDivProcessId, {0}, false, {}},
                                                      {kSubbandSynthProcessId, {4, 4}, true, {4}},
                                                      {kSubbandSynthProcessId, {1, 2}, false, {}},
                                                      {kSubbandSynthProcessId, {3, 0}, false, {}},
                                                      {kWaveletProcessId, {5}, true, {5}},
                                                      {kWaveletProcessId, {7}, false, {}}}) {
    TypeList out{};
    EXPECT_EQ(CreateById(rule.process)->InferOutputTypes(rule.in, out), rule.accepted);
    EXPECT_EQ(out, rule.out) << rule.process << " " << rule.in[0];
  }
}

TEST_F(SubbandKindsTest, CatalogueRowsRecordsAndRefusals) {
  auto bytes =
      ExpectKind<ProcSubband>({kSubbandDivProcessId, "ProcSubbandDiv", "サブバンド分割...",
                               "SubbandDiv", "", 1, 2, true, 4},
                              [](ProcSubband& p) { p.params.direction = kSubbandVertical; });
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4]), 1);
  ExpectKind({kSubbandSynthProcessId, "ProcSubbandSynth", "サブバンド合成...", "SubbandSynth", "",
              2, 1, true, 4});
  bytes = ExpectKind<ProcWavelet>(
      {kWaveletProcessId, "ProcWavelet", "Wavelet変換...", "Wavelet", "", 1, 1, true, 8},
      [](ProcWavelet& p) {
        p.params = {1, 3};
      });
  EXPECT_EQ(std::pair(LoadI32(&bytes[kParamsOffset + 4]), LoadI32(&bytes[kParamsOffset + 8])),
            std::pair(1, 3));

  const auto refusal = [&](ProcVirtual& process, std::initializer_list<Signal> rows) {
    host.ClearMessages();
    EXPECT_EQ(RunOnRows<Float1Image>(process, rows), std::nullopt);
    EXPECT_EQ(Messages().size(), 1u);
    return host.LastMessage();
  };
  const Signal ten(10, 1.0f), five(5, 1.0f), three(3, 1.0f);
  ProcSubbandDiv div(kSubbandDivProcessId);
  div.params.direction = 2;
  EXPECT_EQ(refusal(div, {ten}), "SubbandDivのパラメータが正しくありません。");
  ProcWavelet wavelet(kWaveletProcessId);
  for (ProcWavelet::Params p : {ProcWavelet::Params{2, 1}, {0, 0}, {1, 11}}) {
    wavelet.params = p;
    EXPECT_EQ(refusal(wavelet, {ten}), "Waveletのパラメータが正しくありません。");
  }
  ProcSubbandSynth synth(kSubbandSynthProcessId);
  EXPECT_EQ(refusal(synth, {five, three}), "SubbandSynthの入力画像のサイズが合いません。");
  EXPECT_EQ(RunOnRows<Float1Image>(synth, {five, {1, 1, 1, 1}})->size(), 9u);

  // One message for a three-channel pair whose second channels do not fit.
  std::mt19937 rng(13);
  HeldImages held;
  held.Hold(0, RandomImage<Float3Image>(rng, 4, 2));
  held.Hold(1, RandomImage<Float3Image>(rng, 4, 2)).channels[1] = FloatArray(2, 2);
  host.ClearMessages();
  EXPECT_NE(RunFrame(synth, held), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>{"SubbandSynthの入力画像のサイズが合いません。"});
  synth.DisconnectAll();  // before the held images go
}

}  // namespace
}  // namespace kandrel::testing
