// Resamplers against a naive form of the algorithm (weights per destination sample, rows first and
// then columns one at a time), bit for bit, over random sizes including empty ones and extreme
// ratios; hand-worked cases; nearest-neighbour tables; the fixed 2× upscaler.
#include "image/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace kandrel {
namespace {

// One line n → m as written: weights computed in double and stored as float, those of taps
// inside the source renormalised, then summed over the taps j = 0..T−1 in float.
std::vector<float> NaiveLine(const std::vector<float>& s, int m, int method) {
  const int n = static_cast<int>(s.size());
  if (m == 0) return {};
  const int taps = method == 0 ? 1 : method == 1 ? 2 : method == 2 ? 4 : (n + m - 1) / m + 1;
  const double r = static_cast<double>(n) / m;
  std::vector<float> out(m);
  for (int i = 0; i < m; ++i) {
    const double c = (i + 0.5) * r;
    const int start = static_cast<int>(taps * 0.5 + c - 0.5);
    auto inside = [&](int k) { return k >= 0 && k < n; };
    if (method == 0) {
      out[i] = inside(start) ? s[start] : 0.0f;
      continue;
    }
    std::vector<float> w(taps, 0.0f);
    double sum = 0;
    for (int j = 0; j < taps; ++j) {
      const int k = start - j;
      if (!inside(k)) continue;
      const double x = std::fabs(k + 0.5 - c);
      double v;
      if (method == 1)
        v = x < 1 ? 1 - x : 0;
      else if (method == 2)
        v = x <= 1 ? x * x * x - 2 * x * x + 1 : x < 2 ? -x * x * x + 5 * x * x - 8 * x + 4 : 0;
      else
        v = std::max(0.0, std::min(k + 1.0, (i + 1) * r) - std::max(double(k), i * r));
      w[j] = static_cast<float>(v);
      sum += w[j];
    }
    if (sum > 0)
      for (float& weight : w) weight = static_cast<float>(weight / sum);
    float acc = 0.0f;
    for (int j = 0; j < taps; ++j)
      if (inside(start - j)) acc += s[start - j] * w[j];
    out[i] = acc;
  }
  return out;
}

// The whole image the slow way: every row, then every column of the intermediate.
std::vector<float> NaiveResize(const FloatArray& src, int w, int h, int method) {
  const int width = src.Width(), height = src.Height();
  std::vector<std::vector<float>> rows(height);
  for (int y = 0; y < height; ++y) rows[y] = NaiveLine({src[y], src[y] + width}, w, method);
  std::vector<float> out(static_cast<std::size_t>(w) * h);
  for (int x = 0; x < w; ++x) {
    std::vector<float> column(height);
    for (int y = 0; y < height; ++y) column[y] = rows[y][x];
    const std::vector<float> resized = NaiveLine(column, h, method);
    for (int y = 0; y < h; ++y) out[static_cast<std::size_t>(y) * w + x] = resized[y];
  }
  return out;
}

template <class T>
Array2D<T> Filled(int width, int height, std::vector<T> samples) {
  Array2D<T> a(width, height);
  std::copy(samples.begin(), samples.end(), a.begin());
  return a;
}

template <class T>
std::vector<T> Samples(const Array2D<T>& a) {
  return {a.begin(), a.end()};
}

std::vector<float> Line(std::vector<float> src, int m, int method) {
  CResize_1D line;
  line.Setup(static_cast<int>(src.size()), m, method);
  std::vector<float> dst(m);
  line.Apply(src.data(), dst.data());
  return dst;
}

TEST(ResampleTest, HandWorkedLines) {
  // The outer samples fall back to the nearer source sample: the tap outside is dropped.
  EXPECT_EQ(Line({0, 4}, 4, kResizeBilinear), (std::vector<float>{0, 1, 3, 4}));
  EXPECT_EQ(Line({1, 3, 5, 7}, 2, kResizeAreaAverage), (std::vector<float>{2, 6}));
  EXPECT_EQ(Line({1, 2, 3}, 2, kResizeNearest), (std::vector<float>{1, 3}));
  EXPECT_EQ(Line({0, 4}, 0, kResizeAreaAverage), std::vector<float>{});
  EXPECT_EQ(Line({}, 3, kResizeBicubic), (std::vector<float>{0, 0, 0}));
  for (int method = 0; method <= 3; ++method)  // at 100 % each row is one tap of weight 1
    EXPECT_EQ(Line({5, -2, 7, 1e30f}, 4, method), (std::vector<float>{5, -2, 7, 1e30f}));

  IntArray ints;  // Int results round half away from zero: 0.5 → 1, −1.5 → −2
  CResize2D(kResizeBilinear, 4, 1).ResizeInt(Filled<int>(2, 1, {0, 2}), ints);
  EXPECT_EQ(Samples(ints), (std::vector<int>{0, 1, 2, 2}));
  CResizeBiCubic(4, 1).ResizeInt(Filled<int>(2, 1, {0, -2}), ints);
  EXPECT_EQ(Samples(ints), (std::vector<int>{0, -1, -2, -2}));
}

TEST(ResampleTest, TwoDimensionsMatchRowsThenColumnsBitForBit) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> sample(-100.0f, 100.0f);
  std::uniform_int_distribution<int> length(0, 24);
  for (int trial = 0; trial < 120; ++trial) {
    const int method = trial % 4;
    const int width = trial % 17 == 0 ? 997 : length(rng), height = length(rng);
    // Now and then no columns, or one row (more area taps than source rows).
    const int w = trial % 11 == 0 ? 0 : length(rng) + 1;
    const int h = trial % 13 == 0 ? 1 : length(rng) + 1;
    FloatArray floats(width, height);
    IntArray ints(width, height);
    for (float& s : floats) s = sample(rng);
    for (int& s : ints) s = static_cast<int>(sample(rng) * 10);
    SCOPED_TRACE(::testing::Message()
                 << width << "×" << height << " → " << w << "×" << h << " method " << method);

    FloatArray floatOut;
    CResize2D(method, w, h).ResizeFloat(floats, floatOut);
    ASSERT_TRUE(floatOut.Width() == w && floatOut.Height() == h);
    EXPECT_EQ(Samples(floatOut), NaiveResize(floats, w, h, method));

    FloatArray asFloats(width, height);
    std::copy(ints.begin(), ints.end(), asFloats.begin());
    std::vector<int> expected;
    for (float v : NaiveResize(asFloats, w, h, method))
      expected.push_back(static_cast<int>(std::round(v)));
    IntArray intOut;
    CResize2D(method, w, h).ResizeInt(ints, intOut);
    EXPECT_EQ(Samples(intOut), expected);

    CResize2D(method, w, h).ResizeFloat(floats, floats);  // in place
    EXPECT_EQ(Samples(floats), Samples(floatOut));
  }
}

TEST(ResampleTest, NearestNeighborTablesFollowTheDestination) {
  IntArray ints;
  NearestNeighbor(2, 1).ResizeInt(Filled<int>(3, 1, {7, 8, 9}), ints);
  EXPECT_EQ(Samples(ints), (std::vector<int>{7, 9}));

  // Far wider than any fixed table, and large enough to be filled in row bands:
  // (x + 0.5) × 3 / 12000 switches source at x = 4000, 8000, (y + 0.5) × 2 / 12 at y = 6.
  FloatArray wide;
  NearestNeighbor(12000, 12).ResizeFloat(Filled<float>(3, 2, {1, 2, 3, 4, 5, 6}), wide);
  ASSERT_EQ(wide.SampleCount(), 144000u);
  for (int y = 0; y < 12; ++y)
    for (int x : {0, 3999, 4000, 7999, 8000, 11999})
      EXPECT_EQ(wide[y][x], 1.0f + 3 * (y / 6) + x / 4000) << x << ", " << y;
  // Doubling the width (half-width chroma) takes every source sample twice.
  IntArray narrow(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) narrow[y][x] = 10 * y + x;
  NearestNeighbor(10, 7).ResizeInt(narrow, ints);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(ints[y][x], narrow[static_cast<int>((y + 0.5) * 3 / 7)][x / 2]) << x << ", " << y;

  NearestNeighbor(3, 2).ResizeInt(IntArray(), ints);  // nothing to sample: zeros
  EXPECT_EQ(Samples(ints), std::vector<int>(6, 0));
}

TEST(ResampleTest, BiCubic2x2DoublesEveryLine) {
  FloatArray out;
  ASSERT_TRUE(BiCubic2x2(Filled<float>(3, 3, {0, 1, 2, 0, 1, 2, 0, 1, 2}), out));
  ASSERT_EQ(out.Width(), 6);
  ASSERT_EQ(out.Height(), 6);
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(std::vector<float>(out[y], out[y] + 6),
              (std::vector<float>{0, 0.25, 0.75, 1.25, 1.75, 2}));

  ASSERT_TRUE(BiCubic2x2(Filled<float>(5, 4, std::vector<float>(20, 7.3f)), out));
  EXPECT_EQ(Samples(out), std::vector<float>(80, 7.3f));

  for (auto [w, h] : {std::pair{2, 5}, {5, 2}, {0, 0}}) {
    EXPECT_FALSE(BiCubic2x2(FloatArray(w, h), out));
    EXPECT_EQ(out.SampleCount(), 0u);
  }
}

}  // namespace
}  // namespace kandrel
