// The convolution engine and its three filters against a plain loop written term by term (int in
// int64 keeping the low 32 bits, float products in long double summed in double, complex in
// float), the 3 × 3 median against the partial selection sort bit for bit, the kernel limit,
// normalisation, refused parameters, Verilog lines, type rules and records.
#include "blocks/filter/convolution.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>

#include "blocks/filter/convolve.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class ConvolutionTest : public KandrelTest {};

template <class T>
Array2D<T> RandomArray(std::mt19937& rng, int w, int h) {
  Array2D<T> a(w, h);
  for (T& s : a) s = RandomSample<T>(rng, true);
  return a;
}

// Output (x, y) = Σ a′[y + v][x + u]·b′[v][u], a′ being a shifted by (left, top) with its edges
// replicated and b′ the kernel as stored (flip) or rotated by 180°.
template <class T>
Array2D<T> NaiveCorrelation(const Array2D<T>& a, const Array2D<T>& b, bool flip, int left, int top,
                            int ow, int oh) {
  using Sum = std::conditional_t<std::is_same_v<T, int>, std::uint64_t,
                                 std::conditional_t<std::is_same_v<T, float>, double, T>>;
  const int kw = b.Width(), kh = b.Height();
  Array2D<T> out(ow, oh);
  for (int y = 0; y < oh; ++y) {
    for (int x = 0; x < ow; ++x) {
      Sum sum{};
      for (int i = 0; i < kw * kh; ++i) {
        const int v = i / kw, u = i % kw;
        const T s = a[std::clamp(y + v - top, 0, a.Height() - 1)]
                     [std::clamp(x + u - left, 0, a.Width() - 1)];
        const T k = flip ? b[v][u] : b[kh - 1 - v][kw - 1 - u];
        if constexpr (std::is_same_v<T, int>)
          sum += static_cast<std::uint64_t>(std::int64_t{s} * k);
        else if constexpr (std::is_same_v<T, float>)
          sum += static_cast<long double>(s) * k;
        else
          sum = {sum.real() + (s.real() * k.real() - s.imag() * k.imag()),
                 sum.imag() + (s.real() * k.imag() + s.imag() * k.real())};
      }
      if constexpr (std::is_same_v<T, int>)
        out[y][x] = static_cast<int>(static_cast<std::uint32_t>(sum));
      else
        out[y][x] = static_cast<T>(sum);
    }
  }
  return out;
}

template <class T>
Array2D<T> NaiveSame(const Array2D<T>& a, const Array2D<T>& b, bool flip, bool centered) {
  const int left = centered ? b.Width() / 2 : flip ? 0 : b.Width() - 1;
  const int top = centered ? b.Height() / 2 : flip ? 0 : b.Height() - 1;
  return NaiveCorrelation(a, b, flip, left, top, a.Width(), a.Height());
}

template <class T>
void ExpectArray(const Array2D<T>& actual, const Array2D<T>& expected) {
  ExpectChannel(actual, SizeOf(expected), [&](int x, int y) { return expected[y][x]; });
}

TEST_F(ConvolutionTest, EngineMatchesThePlainSumsOnEveryTypeFlipAndOrigin) {
  std::mt19937 rng(3);
  const std::pair<int, int> images[] = {{1, 1}, {7, 5}, {3, 9}, {70, 3}};  // 70: whole blocks
  const std::pair<int, int> kernels[] = {{1, 1}, {2, 3}, {3, 3}, {4, 2}, {5, 5}, {1, 6}};
  ForEachImageType([&]<class L>() {
    using T = typename L::Sample;
    if constexpr (L::kChannels == 1) {
      for (auto [w, h] : images) {
        for (auto [kw, kh] : kernels) {
          const Array2D<T> a = RandomArray<T>(rng, w, h), b = RandomArray<T>(rng, kw, kh);
          for (int mode = 0; mode < 4; ++mode) {
            const bool flip = mode & 1, centered = mode & 2;
            SCOPED_TRACE(::testing::Message() << L::kTypeId << ": " << w << "x" << h << " * " << kw
                                              << "x" << kh << " mode " << mode);
            Array2D<T> out;
            ASSERT_EQ(ConvolveSame(a, b, flip, centered, out), 0);
            ExpectArray(out, NaiveSame(a, b, flip, centered));
            const bool fits = w >= kw && h >= kh;
            ASSERT_EQ(ConvolveValid(a, b, flip, out), fits ? 0 : 1);
            if (fits) ExpectArray(out, NaiveCorrelation(a, b, flip, 0, 0, w - kw + 1, h - kh + 1));
          }
        }
      }
    }
  });
  // Replication, corners included. A centred 2 × 2 kernel borders one sample before and none
  // after: its (1, 0) element meets the sample above, its (0, 1) the one to the left. An empty
  // kernel fails, an empty image gives an empty result.
  IntArray src(2, 2), padded, out;
  std::copy_n(std::begin({1, 2, 3, 4}), 4, src.begin());
  PadEdges(src, 1, 0, 2, 1, padded);
  EXPECT_EQ(SamplesOf(padded), (std::vector<int>{1, 1, 2, 2, 2, 3, 3, 4, 4, 4, 3, 3, 4, 4, 4}));
  IntArray corner(2, 2);
  for (auto [at, expected] :
       {std::pair(1, std::vector<int>{1, 2, 1, 2}), std::pair(2, std::vector<int>{1, 1, 3, 3})}) {
    std::fill(corner.begin(), corner.end(), 0);
    corner.Data()[at] = 1;
    ASSERT_EQ(ConvolveSame(src, corner, true, true, out), 0);
    EXPECT_EQ(SamplesOf(out), expected);
  }
  IntArray empty(0, 3);
  EXPECT_EQ(ConvolveSame(src, empty, true, false, out), 1);
  EXPECT_EQ(ConvolveSame(empty, src, true, false, out), 0);
  EXPECT_EQ(SizeOf(out), std::pair(0, 3));
}

// Per channel with its own kernel size, then divided by the norm: int quotients truncated,
// complex parts by the norm rounded to float.
TEST_F(ConvolutionTest, ProcessNormalisesByL1OrL2AndLeavesAZeroNormUndivided) {
  std::mt19937 rng(5);
  ForEachImageType([&]<class L>() {
    using T = typename L::Sample;
    for (std::int32_t normKind : {0, 1, 7}) {
      HeldImages held;
      const L& a = held.Hold(0, RandomImage<L>(rng, 9, 6));
      const L& b = held.Hold(1, RandomSizedImage<L>(rng, 4));
      ProcConvolution conv(kConvolutionProcessId);
      conv.params = {normKind == 1, 1, normKind == 7, normKind};
      ASSERT_EQ(RunFrame(conv, held), 0);
      for (int c = 0; c < L::kChannels; ++c) {
        const Array2D<T>& kernel = b.channels[c];
        double n = 0;  // L1 in magnitudes, L2 from squared magnitudes
        for (const T& k : kernel)
          n += std::pow(std::abs(std::complex<double>(k)), normKind ? 2 : 1);
        n = normKind == 0 ? n : std::sqrt(n);
        Array2D<T> expected =
            NaiveSame(a.channels[c], kernel, conv.params.flipKernel, conv.params.centered);
        for (T& s : expected) {
          if constexpr (kIsComplexSample<T>)
            s /= static_cast<float>(n);
          else
            s = std::is_same_v<T, int> ? TruncateToInt(s / n) : static_cast<float>(s / n);
        }
        ExpectChannel(
            As<L>(conv.GetOutput(0))->channels[c], {9, 6},
            [&](int x, int y) { return expected[y][x]; }, 1e-5);
      }
    }
  });
  // A 1 × 1 kernel of 1 changes nothing; an all-zero one gives zeros, not 0 / 0.
  ProcConvolution conv(kConvolutionProcessId);
  EXPECT_EQ(RunOnRows<Float1Image>(conv, {{1.5f, -2, 3}, {1}}), (std::vector<float>{1.5f, -2, 3}));
  EXPECT_EQ(RunOnRows<Float1Image>(conv, {{1.5f, -2, 3}, {0, 0}}), (std::vector<float>{0, 0, 0}));
}

TEST_F(ConvolutionTest, KernelsOfMoreThanAThousandSamplesOrNoneAreRefused) {
  ProcConvolution conv(kConvolutionProcessId);
  // The frame's result and the status it left; every channel of the kernel counts.
  const auto run = [&](int w, int h, int chromaWidth) {
    HeldImages held;
    held.Hold(0, std::make_unique<Float3Image>()).Resize(3, 3);
    Float3Image& kernel = held.Hold(1, std::make_unique<Float3Image>());
    kernel.Resize(w, h);
    kernel.channels[1].Resize(chromaWidth, h);
    for (auto* image : {held.GetOutput(0), held.GetOutput(1)}) image->Fill(1);
    host.ClearMessages();
    const int result = RunFrame(conv, held);
    const std::string status = conv.Status();
    conv.DisconnectAll();
    return std::pair(result, status);
  };
  EXPECT_EQ(run(25, 40, 25).first, 0);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(SamplesOf(As<Float3Image>(conv.GetOutput(0))->channels[1]), std::vector<float>(9, 1));
  for (auto [w, h, chroma, message] : {std::tuple(13, 77, 13, "入力2が1000画素を超えます。"),
                                       std::tuple(25, 40, 26, "入力2が1000画素を超えます。"),
                                       std::tuple(2, 2, 0, "入力2が空です。")}) {
    EXPECT_EQ(run(w, h, chroma), std::pair(1, std::string("err")));
    EXPECT_EQ(Messages(), std::vector<std::string>{message});
  }
}

TEST_F(ConvolutionTest, CustomFilterFloatDividesExactSumsIntUsesHundredths) {
  std::mt19937 rng(9);
  ProcCustomFilter5x5 filter(kCustomFilter5x5ProcessId);
  FloatArray kernel(5, 5);
  for (int i = 0; i < 25; ++i)
    kernel.Data()[i] = static_cast<float>(filter.params.coef[i / 5][i % 5] = (i % 7 - 3) * 0.37);
  // A scale that is a float (3) divides in float, others in double; tiny samples give subnormal
  // quotients.
  for (auto [scale, magnitude] : {std::pair(3.0, 1.0f), std::pair(3.0, 1e-41f),
                                  std::pair(0.1, 1.0f), std::pair(1e-30, 1e-41f)}) {
    filter.params.scale = scale;
    HeldImages held;
    Float1Image& in = held.Hold(0, RandomImage<Float1Image>(rng, 41, 7));
    for (float& s : in.channels[0]) s *= magnitude;
    ASSERT_EQ(RunFrame(filter, held), 0);
    const FloatArray expected = NaiveSame(in.channels[0], kernel, true, true);
    ExpectChannel(As<Float1Image>(filter.GetOutput(0))->channels[0], {41, 7},
                  [&](int x, int y) { return static_cast<float>(expected[y][x] / scale); });
    filter.DisconnectAll();
  }
  // Int: hundredths, so 0.333 acts as 0.33; a coefficient beyond the int32 range saturates and
  // the sums wrap around.
  {
    filter.params = {};
    filter.params.coef[0][0] = 1e10;
    filter.params.scale = 0.7;
    IntArray hundredths(5, 5);
    std::fill(hundredths.begin(), hundredths.end(), 100);
    hundredths[0][0] = std::numeric_limits<int>::max();
    hundredths[2][2] = 33;
    HeldImages held;
    const IntArray& in = held.Hold(0, RandomImage<Int1Image>(rng, 70, 4)).channels[0];
    IntArray expected = NaiveSame(in, hundredths, true, true);
    for (int& s : expected) s = TruncateToInt(s / (0.7 * 100));
    for (double c : {0.333, 0.33}) {
      filter.params.coef[2][2] = c;
      ASSERT_EQ(RunFrame(filter, held), 0);
      ExpectArray(As<Int1Image>(filter.GetOutput(0))->channels[0], expected);
    }
    filter.DisconnectAll();
  }
  // Scale 0: float gives the IEEE quotients, int (and a NaN scale) refuse the frame.
  filter.params = {};
  filter.params.scale = 0;
  EXPECT_EQ(RunOnRows<Float1Image>(filter, {{1}}), std::vector<float>{kInf});
  for (double scale : {0.0, static_cast<double>(kNaN)}) {
    filter.params.scale = scale;
    host.ClearMessages();
    EXPECT_EQ(RunOnRows<Int3Image>(filter, {{1, 2}}), std::nullopt);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Filter5x5のパラメータが正しくありません。"});
  }
}

// Scale and coefficients truncated toward zero, saturating at the int32 range.
TEST_F(ConvolutionTest, CustomFilterVerilogLinesTruncateTowardZero) {
  ProcCustomFilter5x5 filter(kCustomFilter5x5ProcessId);
  filter.params.coef[0][0] = 1.9;
  filter.params.coef[4][1] = -2.7;
  filter.params.coef[4][4] = 1e20;
  filter.params.scale = 12.9;
  std::vector<std::string> lines;
  filter.WriteVerilogParams(lines, "Proc3");
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "\t\tdefparam", "\t\t\tProc3.scale = 12,", "\t\t\tProc3.coef = '{",
                       "\t\t\t\t1,1,1,1,1,", "\t\t\t\t1,1,1,1,1,", "\t\t\t\t1,1,1,1,1,",
                       "\t\t\t\t1,1,1,1,1,", "\t\t\t\t1,-2,1,1,2147483647", "\t\t\t};"}));
}

// The partial selection sort into descending order, on the neighbourhood with replicated edges.
template <class T>
Array2D<T> NaiveMedian(const Array2D<T>& a) {
  const int w = a.Width(), h = a.Height();
  Array2D<T> out(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double v[9];
      for (int i = 0; i < 9; ++i)
        v[i] = a[std::clamp(y + i / 3 - 1, 0, h - 1)][std::clamp(x + i % 3 - 1, 0, w - 1)];
      for (int j = 0; j < 5; ++j)
        for (int k = j + 1; k < 9; ++k)
          if (v[j] < v[k]) std::swap(v[j], v[k]);
      out[y][x] = static_cast<T>(v[4]);
    }
  }
  return out;
}

TEST_F(ConvolutionTest, MedianIsTheSelectionSortsBitForBitWithNaNAndSignedZeros) {
  std::mt19937 rng(13);
  const float specials[] = {kNaN, -0.0f, 0.0f, kInf, -kInf, 1.0f};
  for (auto [w, h] : {std::pair(1, 1), std::pair(2, 7), std::pair(37, 5), std::pair(70, 9)}) {
    HeldImages held;
    Float1Image& f = held.Hold(0, RandomImage<Float1Image>(rng, w, h));
    for (float& s : f.channels[0])
      if (rng() % 4 == 0) s = specials[rng() % 6];
    ProcMedian median(kMedianProcessId);
    ASSERT_EQ(RunFrame(median, held), 0);
    const FloatArray& out = As<Float1Image>(median.GetOutput(0))->channels[0];
    const FloatArray expected = NaiveMedian(f.channels[0]);
    ASSERT_TRUE(out.SameSize(expected));
    EXPECT_EQ(std::memcmp(out.Data(), expected.Data(), out.SampleCount() * sizeof(float)), 0);
    held.Hold(0, RandomImage<Int3Image>(rng, w, h));
    ASSERT_EQ(RunFrame(median, held), 0);
    for (int c = 0; c < 3; ++c)
      ExpectArray(As<Int3Image>(median.GetOutput(0))->channels[c],
                  NaiveMedian(As<Int3Image>(held.GetOutput(0))->channels[c]));
    median.DisconnectAll();
  }
  ProcMedian median(kMedianProcessId);
  EXPECT_EQ(RunOnRows<Int1Image>(median, {{7, 7, 7, 7}}), (std::vector<int>{7, 7, 7, 7}));
  EXPECT_EQ(RunOnRows<Int1Image>(median, {{0, 0, 255, 0, 0}}), (std::vector<int>(5, 0)));
}

TEST_F(ConvolutionTest, CatalogueRowsRecordsAndTypeRules) {
  ExpectKind<ProcConvolution>(
      {kConvolutionProcessId, "ProcConvolution", "＊畳み込み", "Convolution", "", 2, 1, true, 16},
      [](ProcConvolution& p) {
        p.params = {0, 0, 1, 5};
      });
  const auto bytes = ExpectKind<ProcCustomFilter5x5>(
      {kCustomFilter5x5ProcessId, "ProcCustomFilter5x5", "Custom 5x5...", "Filter5x5",
       "FirFilter5x5", 1, 1, true, 208},
      [](ProcCustomFilter5x5& p) {
        p.params.coef[0][1] = -0.5;
        p.params.scale = 7;
      });
  EXPECT_EQ(LoadF64(&bytes[kParamsOffset + 4 + 8]), -0.5);
  EXPECT_EQ(LoadF64(&bytes[kParamsOffset + 4 + 200]), 7);
  ExpectKind({kMedianProcessId, "ProcMedian", "Median", "Median", "MedianFilter", 1, 1, false, 0});
  std::vector<std::string> lines;
  ProcMedian(kMedianProcessId).WriteVerilogParams(lines, "Proc1");
  EXPECT_TRUE(lines.empty());

  // Output type = input 1's: convolution needs input 2 of that type, the median a real one.
  ProcConvolution conv(kConvolutionProcessId);
  ProcCustomFilter5x5 filter(kCustomFilter5x5ProcessId);
  ProcMedian median(kMedianProcessId);
  for (int type = 0; type <= kImageTypeCount + 1; ++type) {
    const bool valid = type >= 1 && type <= kImageTypeCount;
    const bool real = valid && type != kTypeComplex1 && type != kTypeComplex3;
    TypeList out{};
    EXPECT_FALSE(conv.InferOutputTypes({type, type % kImageTypeCount + 1}, out)) << type;
    EXPECT_EQ(median.InferOutputTypes({type}, out), real) << type;
    EXPECT_EQ(conv.InferOutputTypes({type, type}, out), valid) << type;
    EXPECT_EQ(filter.InferOutputTypes({type}, out), valid) << type;
    EXPECT_EQ(out[0], valid ? type : 0) << type;
  }
}

}  // namespace
}  // namespace kandrel::testing
