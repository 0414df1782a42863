// Image conversions: the complex helpers, display tone mapping (checked against a literal
// bisection over many values, including NaN and infinities) and the region histogram.
#include "image/conversions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "image/array2d.h"

namespace kandrel::testing {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ComplexHelpersTest, MagnitudeSplitMergeAndIntToFloat) {
  ComplexArray c(3, 2);
  c[0][0] = {3, 4};
  c[0][1] = {-3, -4};
  c[0][2] = {3e30f, 4e30f};    // no intermediate overflow
  c[1][0] = {3e-30f, 4e-30f};  // nor underflow
  c[1][1] = {kInf, kNaN};
  c[1][2] = {kNaN, 1};
  FloatArray magnitude;
  ComplexMagnitude(c, magnitude);
  ASSERT_EQ(magnitude.Width(), 3);
  ASSERT_EQ(magnitude.Height(), 2);
  EXPECT_EQ(magnitude[0][0], 5.0f);
  EXPECT_EQ(magnitude[0][1], 5.0f);
  EXPECT_FLOAT_EQ(magnitude[0][2], 5e30f);
  EXPECT_FLOAT_EQ(magnitude[1][0], 5e-30f);
  EXPECT_EQ(magnitude[1][1], kInf);
  EXPECT_TRUE(std::isnan(magnitude[1][2]));

  FloatArray re, im;
  SplitComplex(c, re, im);
  EXPECT_EQ(re[0][1], -3.0f);
  EXPECT_EQ(im[0][1], -4.0f);
  EXPECT_EQ(re[1][1], kInf);
  ComplexArray merged;
  MergeComplex(re, im, merged);
  ASSERT_TRUE(merged.SameSize(c));
  EXPECT_EQ(merged[0][2], c[0][2]);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(merged[1][2]), std::bit_cast<std::uint64_t>(c[1][2]));

  FloatArray narrow(2, 2);
  MergeComplex(re, narrow, merged);  // sizes differ: untouched
  EXPECT_EQ(merged.Width(), 3);
  EXPECT_EQ(merged[0][0], std::complex<float>(3, 4));

  IntArray ints(2, 1);
  ints[0][0] = std::numeric_limits<int>::min();
  ints[0][1] = 16777217;
  FloatArray floats;
  IntToFloat(ints, floats);
  EXPECT_EQ(floats[0][0], -2147483648.0f);
  EXPECT_EQ(floats[0][1], 16777216.0f);
}

// The tone mapping as written: thresholds T[1..255] as float and the bisection with explicit
// lower and upper bounds.
struct ReferenceMapping {
  ReferenceMapping(double white, double gamma) {
    const float e = static_cast<float>(2.2 / gamma);
    for (int i = 1; i <= 255; ++i) t[i] = static_cast<float>(white * std::pow((i - 0.5) / 255, e));
  }
  int Level(double v, bool absolute) const {
    if (!(v >= 0)) v = absolute ? -v : 0;
    int lower = 0, upper = 256, probe = 128;
    while (probe > lower) {
      if (v >= t[probe])
        lower = probe;
      else
        upper = probe;
      probe = (lower + upper) / 2;
    }
    return lower;
  }
  float t[256] = {};
};

bool Inside(int x, int y, int left, int top, int right, int bottom) {
  return x >= left && x < right && y >= top && y < bottom;
}

template <class T>
Array2D<T> Row(std::initializer_list<T> values) {
  Array2D<T> a(static_cast<int>(values.size()), 1);
  std::copy(values.begin(), values.end(), a.begin());
  return a;
}

TEST(MapToDisplayLevelsTest, WhiteGammaAbsoluteAndView) {
  const IntArray ints = Row<int>({0, 127, 128, 255, 1000, -10});
  ByteArray dst;
  MapToDisplayLevels(ints, 255, false, 0, 0, 6, 1, dst, 2.2);
  EXPECT_EQ(std::vector<int>(dst.begin(), dst.end()), (std::vector<int>{0, 127, 128, 255, 255, 0}));
  MapToDisplayLevels(ints, 255, true, 0, 0, 6, 1, dst, 2.2);
  EXPECT_EQ(dst[0][5], 10);
  MapToDisplayLevels(ints, 255, true, 1, 0, 3, 1, dst, 2.2);  // only 127 and 128 are inside
  EXPECT_EQ(std::vector<int>(dst.begin(), dst.end()), (std::vector<int>{0, 127, 128, 127, 127, 5}));
  MapToDisplayLevels(ints, 255, false, 0, 1, 6, 2, dst, 2.2);  // the row is above the view
  EXPECT_EQ(dst[0][3], 127);

  const IntArray quarter = Row<int>({64});
  MapToDisplayLevels(quarter, 255, false, 0, 0, 1, 1, dst, 1.0);
  EXPECT_EQ(dst[0][0], 136);  // a smaller gamma brightens

  const FloatArray floats =
      Row<float>({0.0f, 127 / 255.0f, 128 / 255.0f, 1.0f, 4.0f, -10 / 255.0f});
  MapToDisplayLevels(floats, 1.0, true, 0, 0, 5, 1, dst, 2.2);
  EXPECT_EQ(std::vector<int>(dst.begin(), dst.end()), (std::vector<int>{0, 127, 128, 255, 255, 5}));

  // A white level of 0 (an int image's 0.5 truncated), or a non-positive gamma for int samples,
  // maps nothing: the plane is sized but keeps what it held.
  ByteArray stale(6, 1);
  std::fill(stale.begin(), stale.end(), 77);
  MapToDisplayLevels(ints, static_cast<int>(0.5), false, 0, 0, 6, 1, stale, 2.2);
  MapToDisplayLevels(ints, 255, false, 0, 0, 6, 1, stale, 0.0);
  MapToDisplayLevels(floats, 0.0, false, 0, 0, 6, 1, stale, 2.2);
  EXPECT_EQ(std::vector<int>(stale.begin(), stale.end()), std::vector<int>(6, 77));
  ByteArray sized;
  MapToDisplayLevels(ints, 0, false, 0, 0, 6, 1, sized, 2.2);
  EXPECT_EQ(sized.Width(), 6);
  EXPECT_EQ(sized.Height(), 1);
}

// Values that probe every decision of the search: each threshold and its float neighbours,
// specials, and a stride over all bit patterns (NaN and infinities among them).
std::vector<float> FloatProbes(const ReferenceMapping& ref) {
  std::vector<float> v = {0.0f,
                          -0.0f,
                          kInf,
                          -kInf,
                          kNaN,
                          -kNaN,
                          std::bit_cast<float>(0x7F800001u),
                          std::bit_cast<float>(0xFFC12345u),
                          std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::denorm_min(),
                          -std::numeric_limits<float>::max()};
  for (int i = 1; i <= 255; ++i) {
    float below = ref.t[i], above = ref.t[i];
    for (int k = 0; k < 3; ++k) {
      v.insert(v.end(), {below, above, -below, -above});
      below = std::nextafter(below, -kInf);
      above = std::nextafter(above, kInf);
    }
  }
  for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 65521)
    v.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
  // Denser where the thresholds lie.
  const std::uint32_t first = std::bit_cast<std::uint32_t>(std::fabs(ref.t[1]));
  const std::uint32_t last = std::bit_cast<std::uint32_t>(std::fabs(ref.t[255]));
  const std::uint32_t low = std::min(first, last), high = std::max(first, last);
  const std::uint32_t stride = std::max<std::uint32_t>(1, (high - low) / 50000);
  for (std::uint64_t bits = low; bits <= high; bits += stride)
    v.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
  return v;
}

std::vector<int> IntProbes(const ReferenceMapping& ref) {
  std::vector<int> v = {std::numeric_limits<int>::min(), std::numeric_limits<int>::max(),
                        std::numeric_limits<int>::min() + 1};
  for (int i = -70000; i <= 70000; ++i) v.push_back(i);
  for (int i = 1; i <= 255; ++i) {
    const double t = ref.t[i];
    if (!(std::fabs(t) < 2e9)) continue;
    for (int d = -2; d <= 2; ++d) {
      v.push_back(static_cast<int>(t) + d);
      v.push_back(-static_cast<int>(t) + d);
    }
  }
  std::mt19937 random(7);
  for (int i = 0; i < 30000; ++i) v.push_back(static_cast<int>(random()));
  return v;
}

// Lays the probes out as an image with a view in its middle and compares every level with the
// reference.
template <class T>
void ExpectMatchesReference(const std::vector<T>& probes, const ReferenceMapping& ref, double white,
                            double gamma, bool absolute, int width) {
  const int height = static_cast<int>((probes.size() + width - 1) / width);
  Array2D<T> src(width, height);
  for (std::size_t i = 0; i < src.SampleCount(); ++i) src.Data()[i] = probes[i % probes.size()];
  const int left = width / 3, right = width - width / 4, top = height / 4,
            bottom = height - height / 5;
  ByteArray dst;
  if constexpr (std::is_same_v<T, int>)
    MapToDisplayLevels(src, static_cast<int>(white), absolute, left, top, right, bottom, dst,
                       gamma);
  else
    MapToDisplayLevels(src, white, absolute, left, top, right, bottom, dst, gamma);
  int mismatches = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int expected = ref.Level(static_cast<double>(src[y][x]), absolute);
      if (!Inside(x, y, left, top, right, bottom)) expected /= 2;
      if (dst[y][x] != expected && ++mismatches <= 5)
        ADD_FAILURE() << "white " << white << " gamma " << gamma << " abs " << absolute
                      << " sample " << src[y][x] << " (bits " << std::hex
                      << std::bit_cast<std::uint32_t>(static_cast<float>(src[y][x])) << std::dec
                      << "): level " << int{dst[y][x]} << ", expected " << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(MapToDisplayLevelsTest, FloatLevelsEqualTheBisectionForAllInputs) {
  const double kWhites[] = {1.0, 255.0, 1e-3, 3e38, -1.0, kInf};
  const double kGammas[] = {2.2, 1.0, 0.45, 10.0, 0.01, 0.0, -2.2, std::nan("")};
  for (double white : kWhites) {
    for (double gamma : kGammas) {
      const ReferenceMapping ref(white, gamma);
      const std::vector<float> probes = FloatProbes(ref);
      for (bool absolute : {false, true}) {
        ExpectMatchesReference(probes, ref, white, gamma, absolute, 1024);
        // A small image takes the plain search.
        ExpectMatchesReference(std::vector<float>(probes.begin(), probes.begin() + 300), ref, white,
                               gamma, absolute, 20);
      }
    }
  }
}

TEST(MapToDisplayLevelsTest, IntLevelsEqualTheBisectionForAllInputs) {
  const int kWhites[] = {255, 1, 1023, 65535, 1 << 20, -255, std::numeric_limits<int>::max()};
  const double kGammas[] = {2.2, 1.0, 0.45, 10.0, std::nan("")};
  for (int white : kWhites) {
    for (double gamma : kGammas) {
      const ReferenceMapping ref(white, gamma);
      const std::vector<int> probes = IntProbes(ref);
      for (bool absolute : {false, true}) {
        ExpectMatchesReference(probes, ref, white, gamma, absolute, 1024);
        ExpectMatchesReference(std::vector<int>(probes.begin(), probes.begin() + 300), ref, white,
                               gamma, absolute, 20);
      }
    }
  }
}

HistogramData ByteRangeHistogram() {
  HistogramData h;
  h.lo = -0.5;
  h.hi = 255.5;
  return h;
}

TEST(HistogramTest, BinsOverflowMeanAndComplexParts) {
  HistogramData h = ByteRangeHistogram();
  const FloatArray values = Row<float>({0.0f, 255.0f, 255.5f, -1.0f, 3.4f, 3.5f});
  AccumulateHistogram(h, values, 0, 0, 6, 1);
  EXPECT_EQ(h.counts[0], 1);
  EXPECT_EQ(h.counts[255], 1);
  EXPECT_EQ(h.counts[257], 1);
  EXPECT_EQ(h.counts[256], 1);
  EXPECT_EQ(h.counts[3], 1);
  EXPECT_EQ(h.counts[4], 1);
  EXPECT_EQ(h.min, -1.0);
  EXPECT_EQ(h.max, 255.5);
  EXPECT_EQ(h.steps[0], 128.0);
  EXPECT_EQ(h.steps[7], 1.0);

  const IntArray ints = Row<int>({1, 3, 100});
  AccumulateHistogram(h, ints, 0, 0, 2, 1);
  EXPECT_EQ(h.mean, 2.0);
  EXPECT_EQ(h.counts[100], 0);  // outside the region; cleared from the previous run
  EXPECT_EQ(h.counts[0], 0);

  const ComplexArray c = Row<std::complex<float>>({{3, 4}});
  AccumulateHistogram(h, c, 0, 0, 1, 1);
  EXPECT_EQ(h.counts[3], 1);
  EXPECT_EQ(h.counts[4], 1);
  EXPECT_EQ(h.mean, 3.5);
  EXPECT_EQ(h.min, 3.0);
  EXPECT_EQ(h.max, 4.0);
}

TEST(HistogramTest, EmptyRegionsAndRangesLeaveItCleared) {
  IntArray ints(4, 4);
  std::fill(ints.begin(), ints.end(), 9);
  HistogramData h = ByteRangeHistogram();
  AccumulateHistogram(h, ints, 2, 2, 2, 4);
  EXPECT_EQ(h.counts[9], 0);
  AccumulateHistogram(h, ints, 5, 0, 9, 4);  // a stale view entirely outside the channel
  EXPECT_EQ(h.counts[9], 0);
  h.hi = h.lo;
  AccumulateHistogram(h, ints, 0, 0, 4, 4);
  EXPECT_EQ(h.counts[9], 0);
  EXPECT_EQ(h.mean, 0.0);
  AccumulateHistogram(h, IntArray(), 0, 0, 4, 4);
  EXPECT_EQ(h.max, 0.0);
}

// Against a plain division into bins, over random regions (some reaching past the channel, as a
// stale view does) of all three sample types.
template <class T>
void ExpectHistogramMatchesDivision(std::mt19937& random) {
  std::uniform_real_distribution<float> value(-20.0f, 275.0f);
  Array2D<T> channel(23, 17);
  for (T& s : channel) {
    if constexpr (std::is_same_v<T, std::complex<float>>)
      s = {std::round(value(random) * 4) / 4, std::round(value(random) * 4) / 4};
    else
      s = static_cast<T>(std::round(value(random) * 4) / 4);
  }
  std::uniform_int_distribution<int> coordinate(-5, 30);
  for (int trial = 0; trial < 50; ++trial) {
    const int left = coordinate(random), top = coordinate(random);
    const int right = coordinate(random), bottom = coordinate(random);
    HistogramData h = ByteRangeHistogram();
    AccumulateHistogram(h, channel, left, top, right, bottom);

    std::vector<int> counts(258, 0);
    double sum = 0, n = 0;
    auto add = [&](double v) {
      ++counts[v < -0.5 ? 256 : v >= 255.5 ? 257 : static_cast<int>(std::floor(v + 0.5))];
      sum += v;
      ++n;
    };
    for (int y = std::max(top, 0); y < std::min(bottom, channel.Height()); ++y) {
      for (int x = std::max(left, 0); x < std::min(right, channel.Width()); ++x) {
        if constexpr (std::is_same_v<T, std::complex<float>>) {
          add(channel[y][x].real());
          add(channel[y][x].imag());
        } else {
          add(channel[y][x]);
        }
      }
    }
    EXPECT_EQ(std::vector<int>(h.counts, h.counts + 258), counts);
    EXPECT_DOUBLE_EQ(h.mean, n > 0 ? sum / n : 0.0);
  }
}

TEST(HistogramTest, MatchesPlainBinningForEverySampleType) {
  std::mt19937 random(11);
  ExpectHistogramMatchesDivision<int>(random);
  ExpectHistogramMatchesDivision<float>(random);
  ExpectHistogramMatchesDivision<std::complex<float>>(random);
}

}  // namespace
}  // namespace kandrel::testing
