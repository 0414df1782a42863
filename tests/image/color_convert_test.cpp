// The colour converters: documented values, extended-precision results, round trips, the checked
// mappings against plain long double formulas, the tight array loops against the per-position loop
// bit for bit, the default Int rule's rounding and saturation, array sizes, and the converters back
// to RGB.
#include "image/color_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "image/image.h"

namespace kandrel::testing {
namespace {

using Ints = std::array<int, 3>;
using Floats = std::array<float, 3>;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

Ints IntSample(const ConvertColor& converter, Ints in) {
  Ints out;
  converter.ConvertIntSample(in[0], in[1], in[2], out[0], out[1], out[2]);
  return out;
}

Floats FloatSample(const ConvertColor& converter, Floats in) {
  Floats out;
  converter.ConvertFloatSample(in[0], in[1], in[2], out[0], out[1], out[2]);
  return out;
}

// Equal bit for bit, or both NaN.
template <class T>
bool SameSample(T a, T b) {
  if constexpr (std::is_same_v<T, float>)
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b) ||
           (std::isnan(a) && std::isnan(b));
  else
    return a == b;
}

TEST(ColorConvertTest, DocumentedValues) {
  EXPECT_EQ(IntSample(RGB_YCrCb(), {255, 0, 0}), (Ints{76, 127, -43}));
  const Floats ycc = FloatSample(RGB_YCrCb(), {1, 0, 0});
  EXPECT_FLOAT_EQ(ycc[0], 0.299f);
  EXPECT_FLOAT_EQ(ycc[1], 0.499813f);
  EXPECT_FLOAT_EQ(ycc[2], -0.168636f);

  const RGB_HSV hsv;
  EXPECT_EQ(IntSample(hsv, {255, 0, 0}), (Ints{180, 255, 255}));  // pure red is sector 6
  EXPECT_EQ(IntSample(hsv, {0, 255, 0}), (Ints{60, 255, 255}));
  EXPECT_EQ(IntSample(hsv, {0, 0, 255}), (Ints{120, 255, 255}));
  EXPECT_EQ(IntSample(hsv, {128, 128, 128}), (Ints{0, 0, 128}));
  EXPECT_EQ(IntSample(hsv, {0, 0, 0}), (Ints{0, 0, 0}));
  EXPECT_EQ(FloatSample(hsv, {0, 1, 0}), (Floats{20, 1, 1}));
  EXPECT_EQ(IntSample(HSV_RGB(), {60, 255, 255}), (Ints{0, 255, 0}));

  // No reference white: the white of the matrix keeps a and b off zero.
  EXPECT_EQ(IntSample(RGB_Lab(), {255, 255, 255}), (Ints{100, -8, -6}));
  EXPECT_EQ(IntSample(RGB_Lab(), {0, 0, 0}), (Ints{0, 0, 0}));
  const Floats white = FloatSample(RGB_Lab(), {1, 1, 1});
  EXPECT_FLOAT_EQ(white[0], 100.0f);
  EXPECT_NEAR(white[1], -8.40, 0.005);
  EXPECT_NEAR(white[2], -5.77, 0.005);
  // L = 0 takes the linear branch at fy = 4/29, stored as float, so Y is zero up to that rounding.
  for (float v : FloatSample(Lab_XYZ(), {0, 0, 0})) EXPECT_NEAR(v, 0.0f, 1e-9);
  EXPECT_EQ(IntSample(Lab_RGB(), {0, 0, 0}), (Ints{0, 0, 0}));
}

// Inputs where double arithmetic gives another float (the comment shows which one and its value):
// the expected results are those of long double.
TEST(ColorConvertTest, ExtendedPrecisionResults) {
  EXPECT_EQ(FloatSample(RGB_YCrCb(), {0.07f, 0, 0.23f}),
            (Floats{0x1.8240b8p-5f, 0x1.0aedcep-6f, 0x1.a668ecp-4f}));  // Cr 0x1.0aeddp-6f
  EXPECT_EQ(FloatSample(YCrCb_RGB(), {0.04f, -0.11f, 0.11f}),
            (Floats{-0x1.d41d8ep-4f, 0x1.4a8c16p-4f, 0x1.e15768p-3f}));  // G 0x1.4a8c14p-4f
  EXPECT_EQ(FloatSample(XYZ_RGB(), {0.23f, 0.3f, 0.57f}),
            (Floats{0x1.d5c99ep-23f, 0x1.7447dcp-2f, 0x1.1bc71ap-1f}));  // R 0x1.d5c99cp-23f
  EXPECT_EQ(FloatSample(Lab_XYZ(), {3, -25, -25}),
            (Floats{-0x1.964a9ep-9f, 0x1.b34ff2p-9f, 0x1.8a9f0ap-6f}));  // Z 0x1.8a9f02p-6f
  EXPECT_EQ(FloatSample(Lab_RGB(), {3, -25, -25}),
            (Floats{-0x1.bcf28ap-6f, 0x1.4f688ap-7f, 0x1.934ef4p-6f}));  // R -0x1.bcf286p-6f
  // B × 255 is 790.50016; double gives 790.49998, which rounds to 790.
  EXPECT_EQ(IntSample(Lab_RGB(), {79, -8, -125}), (Ints{-170, 167, 791}));
}

TEST(ColorConvertTest, RoundTripsReturnTheInputWithinTheQuantisation) {
  struct Trip {
    std::unique_ptr<ConvertColor> there, back;
    int intTolerance;      // what rounding the intermediate to integers can cost
    float floatTolerance;  // the inverse coefficients are given to 4–7 digits
  };
  Trip trips[] = {{std::make_unique<RGB_YCrCb>(), std::make_unique<YCrCb_RGB>(), 1, 1e-4f},
                  {std::make_unique<RGB_HSV>(), std::make_unique<HSV_RGB>(), 4, 1e-6f},
                  {std::make_unique<RGB_XYZ>(), std::make_unique<XYZ_RGB>(), 3, 5e-4f},
                  {std::make_unique<RGB_Lab>(), std::make_unique<Lab_RGB>(), 6, 5e-4f}};
  for (const Trip& trip : trips) {
    for (int r = 0; r < 256; r += 5) {
      for (int g = 0; g < 256; g += 5) {
        for (int b = 0; b < 256; b += 5) {
          const Ints back = IntSample(*trip.back, IntSample(*trip.there, {r, g, b}));
          const Floats rgb = {r / 255.0f, g / 255.0f, b / 255.0f};
          const Floats floats = FloatSample(*trip.back, FloatSample(*trip.there, rgb));
          for (int k = 0; k < 3; ++k) {
            ASSERT_NEAR(back[k], (Ints{r, g, b})[k], trip.intTolerance)
                << r << " " << g << " " << b;
            ASSERT_NEAR(floats[k], rgb[k], trip.floatTolerance) << r << " " << g << " " << b;
          }
        }
      }
    }
  }
}

// The mappings computed plainly in long double, as the formulas read, with std::cbrt.
namespace plain {
using Real = long double;

Floats Xyz(Floats c) {
  const Real r = c[0], g = c[1], b = c[2];
  return {static_cast<float>(0.412390799 * r + 0.357584339 * g + 0.180480788 * b),
          static_cast<float>(0.212639006 * r + 0.715168679 * g + 0.072192315 * b),
          static_cast<float>(0.019330819 * r + 0.11919478 * g + 0.950532152 * b)};
}

Floats Lab(Floats c) {
  auto f = [](float t) -> Real {
    const double delta = 6.0 / 29.0;
    return t > delta * delta * delta ? std::cbrt(Real{t})
                                     : 7.787037037037035 * Real{t} + 4.0 / 29.0;
  };
  const Real fx = f(c[0]), fy = f(c[1]), fz = f(c[2]);
  return {static_cast<float>(116.0 * fy - 16.0), static_cast<float>(500.0 * (fx - fy)),
          static_cast<float>(200.0 * (fy - fz))};
}

Floats Hsv(Floats c) {
  if (c[0] == c[1] && c[1] == c[2]) return {0, 0, c[0]};
  const Real r = c[0], g = c[1], b = c[2];
  Real v, s, h;
  if (g > b) {
    if (r > g)
      v = r, s = 1.0 - b / r, h = (g - b) / (r - b);
    else if (r > b)
      v = g, s = 1.0 - b / g, h = 2.0 - (r - b) / (g - b);
    else
      v = g, s = 1.0 - r / g, h = 2.0 + (b - r) / (g - r);
  } else {
    if (r < g)
      v = b, s = 1.0 - r / b, h = 4.0 - (g - r) / (b - r);
    else if (r < b)
      v = b, s = 1.0 - g / b, h = 4.0 + (r - g) / (b - g);
    else
      v = r, s = 1.0 - g / r, h = 6.0 - (b - g) / (r - g);
  }
  return {static_cast<float>(10.0 * h), static_cast<float>(s), static_cast<float>(v)};
}

Floats RgbOfHsv(Floats c) {
  const float d = static_cast<float>(Real{c[0]} * 0.1);
  const Real v = c[2], m = (1.0 - Real{c[1]}) * v;
  Real rgb[3];
  if (d < 1)
    rgb[0] = v, rgb[1] = m + (v - m) * d, rgb[2] = m;
  else if (d < 2)
    rgb[0] = m + (v - m) * (2.0 - d), rgb[1] = v, rgb[2] = m;
  else if (d < 3)
    rgb[0] = m, rgb[1] = v, rgb[2] = m + (v - m) * (d - 2.0);
  else if (d < 4)
    rgb[0] = m, rgb[1] = m + (v - m) * (4.0 - d), rgb[2] = v;
  else if (d < 5)
    rgb[0] = m + (v - m) * (d - 4.0), rgb[1] = m, rgb[2] = v;
  else
    rgb[0] = v, rgb[1] = m, rgb[2] = m + (v - m) * (6.0 - d);
  return {static_cast<float>(rgb[0]), static_cast<float>(rgb[1]), static_cast<float>(rgb[2])};
}
}  // namespace plain

// The mappings that compute in double where that is safe give the floats of the plain long
// double formulas everywhere: on ordinary samples, on sums that nearly cancel, on near-equal
// channels (S and the hue's quotients near 0), on ties of the HSV sectors and on the edges.
TEST(ColorConvertTest, CheckedMappingsGiveTheFloatsOfLongDouble) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> unit(-0.1f, 1.2f);
  auto near = [&](float v) { return std::nextafter(v, rng() % 2 ? 2.0f : -2.0f); };
  const Floats edges[] = {
      {0, 0, 0},       {1, 1, 1},         {kInf, 0, 0},        {-kInf, 1, 2},
      {kNaN, 0.5f, 1}, {3e38f, 3e38f, 1}, {1e-40f, 0, 2e-40f}, {0.00885645f, 0.00885646f, 1},
      {60, 1, 1},      {-7, 0.5f, 2},     {75, 0.3f, 0.6f},    {1e-7f, 1e-9f, 1}};
  std::vector<Floats> samples(std::begin(edges), std::end(edges));
  for (int i = 0; i < 30000; ++i) {
    const float r = unit(rng), g = unit(rng);
    samples.push_back({r, g, unit(rng)});
    // A blue that cancels the other terms of X, of Z, of a ..., and channels one step apart.
    samples.push_back(
        {r, g, static_cast<float>(-(0.412390799 * r + 0.357584339 * g) / 0.180480788)});
    samples.push_back(
        {r, g, static_cast<float>(-(0.019330819 * r + 0.11919478 * g) / 0.950532152)});
    samples.push_back({r, near(r), g});
    samples.push_back({r, g, near(r)});
    samples.push_back({r * 60, near(1.0f - r * 1e-3f), g});  // hue, S near 1, V
    samples.push_back({static_cast<float>(i % 61), r * 1e-6f, g});
  }
  const struct {
    std::unique_ptr<ConvertColor> converter;
    Floats (*plain)(Floats);
  } mappings[] = {{std::make_unique<RGB_XYZ>(), plain::Xyz},
                  {std::make_unique<XYZ_Lab>(), plain::Lab},
                  {std::make_unique<RGB_Lab>(), [](Floats c) { return plain::Lab(plain::Xyz(c)); }},
                  {std::make_unique<RGB_HSV>(), plain::Hsv},
                  {std::make_unique<HSV_RGB>(), plain::RgbOfHsv}};
  for (const auto& [converter, reference] : mappings) {
    SCOPED_TRACE(typeid(*converter).name());
    for (const Floats& c : samples) {
      const Floats got = FloatSample(*converter, c), expected = reference(c);
      for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(SameSample(got[k], expected[k]))
            << std::hexfloat << c[0] << " " << c[1] << " " << c[2] << ": " << k << " " << got[k]
            << " " << expected[k];
    }
  }
  // Black in L*a*b*: the extended sum 116 · 4/29 − 16 is a little below zero.
  const Floats black = FloatSample(XYZ_Lab(), {0, 0, 0});
  EXPECT_LT(black[0], 0.0f);
  EXPECT_GT(black[0], -1e-15f);
}

// Forwards the sample operations of another converter, so that its array operations are the
// base class's per-position loop.
class PerPosition final : public ConvertColor {
 public:
  explicit PerPosition(const ConvertColor& inner) : inner_(inner) {}
  void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const override {
    inner_.ConvertIntSample(a, b, c, x, y, z);
  }
  void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const override {
    inner_.ConvertFloatSample(a, b, c, x, y, z);
  }

 private:
  const ConvertColor& inner_;
};

template <class T>
void Convert(const ConvertColor& converter, const std::array<Array2D<T>, 3>& in,
             std::array<Array2D<T>, 3>& out) {
  if constexpr (std::is_same_v<T, int>)
    converter.ConvertIntArrays(in[0], in[1], in[2], out[0], out[1], out[2]);
  else
    converter.ConvertFloatArrays(in[0], in[1], in[2], out[0], out[1], out[2]);
}

// The samples of in converted one position at a time by the sample operation itself.
template <class T>
std::array<std::vector<T>, 3> OneByOne(const ConvertColor& converter,
                                       const std::array<Array2D<T>, 3>& in) {
  std::array<std::vector<T>, 3> out;
  for (auto& o : out) o.resize(in[0].SampleCount());
  for (std::size_t i = 0; i < in[0].SampleCount(); ++i) {
    if constexpr (std::is_same_v<T, int>)
      converter.ConvertIntSample(in[0].Data()[i], in[1].Data()[i], in[2].Data()[i], out[0][i],
                                 out[1][i], out[2][i]);
    else
      converter.ConvertFloatSample(in[0].Data()[i], in[1].Data()[i], in[2].Data()[i], out[0][i],
                                   out[1][i], out[2][i]);
  }
  return out;
}

// The tight loops (vectorized, built for AVX2 too, and split into row bands on their own threads
// when the picture is large), the base class's loop and a conversion in place give the samples
// of the sample operation bit for bit.
template <class T>
void ExpectSameArrays(const ConvertColor& converter, const std::array<Array2D<T>, 3>& in) {
  std::array<Array2D<T>, 3> out, baseLoop, inPlace = in;
  Convert(converter, in, out);
  Convert(PerPosition(converter), in, baseLoop);
  Convert(converter, inPlace, inPlace);
  const std::array<std::vector<T>, 3> expected = OneByOne(converter, in);
  for (int c = 0; c < 3; ++c) {
    ASSERT_TRUE(out[c].SameSize(in[0]));
    EXPECT_TRUE(std::equal(out[c].begin(), out[c].end(), expected[c].begin(), SameSample<T>));
    EXPECT_TRUE(std::equal(out[c].begin(), out[c].end(), baseLoop[c].begin(), SameSample<T>));
    EXPECT_TRUE(std::equal(out[c].begin(), out[c].end(), inPlace[c].begin(), SameSample<T>));
  }
}

TEST(ColorConvertTest, ArrayOperationsMatchThePerPositionOperations) {
  std::mt19937 rng(9);
  static constexpr int kIntEdges[] = {INT_MIN, INT_MAX, 0, -1};
  static constexpr float kFloatEdges[] = {kNaN, kInf, -kInf, 0.0f, 3e38f, 0.00885645f};
  const std::unique_ptr<ConvertColor> converters[] = {
      std::make_unique<RGB_YCrCb>(), std::make_unique<YCrCb_RGB>(), std::make_unique<RGB_HSV>(),
      std::make_unique<HSV_RGB>(),   std::make_unique<RGB_XYZ>(),   std::make_unique<XYZ_RGB>(),
      std::make_unique<XYZ_Lab>(),   std::make_unique<Lab_XYZ>(),   std::make_unique<RGB_Lab>(),
      std::make_unique<Lab_RGB>()};
  // Widths that are no multiple of any vector width; the second picture is large enough to be
  // converted in row bands.
  for (const auto& [width, height] : {std::pair{37, 5}, std::pair{523, 257}}) {
    std::array<IntArray, 3> ints;
    std::array<FloatArray, 3> floats;
    for (int c = 0; c < 3; ++c) {
      ints[c].Resize(width, height);
      floats[c].Resize(width, height);
      for (int& s : ints[c]) s = rng() % 8 == 0 ? kIntEdges[rng() % 4] : int(rng() % 600) - 150;
      for (float& s : floats[c]) {
        s = rng() % 8 == 0 ? kFloatEdges[rng() % 6]
                           : std::uniform_real_distribution<float>(-50.0f, 150.0f)(rng);
      }
    }
    for (const auto& converter : converters) {
      SCOPED_TRACE(typeid(*converter).name());
      ExpectSameArrays(*converter, ints);
      ExpectSameArrays(*converter, floats);
    }
  }
}

// YCrCb → RGB on Int rows rounds in float where the double rule is sure to round the same: on
// every Y of a 10-bit picture against a spread of chroma (ties of the double sum included, as
// 0.5 · 1.773 · 2 is not one but 1.4026 · 5 = 7.013 comes near), and on samples beyond the float
// path's range, the rows give the double rule's ints.
TEST(ColorConvertTest, IntYCrCbRowsRoundAsTheDoubleRule) {
  std::mt19937 rng(11);
  std::array<IntArray, 3> in;
  for (IntArray& c : in) c.Resize(1024, 300);
  for (int row = 0; row < 300; ++row) {
    for (int x = 0; x < 1024; ++x) {
      in[0][row][x] = x;
      in[1][row][x] = row < 200 ? 5 * (row - 100) + x % 5 : int(rng() % 2048) - 1024;
      in[2][row][x] = row < 200 ? (x * 7 + row) % 1024 - 512 : int(rng() % 2048) - 1024;
    }
  }
  for (int x = 0; x < 1024; ++x) {
    in[0][299][x] = int(rng() % (1 << 23)) - (1 << 22);  // past the float path: the double rule
    in[1][298][x] = x % 2 ? (1 << 20) : (1 << 20) + 1;
  }
  const YCrCb_RGB toRgb;
  ExpectSameArrays<int>(toRgb, in);
}

// A converter whose float mapping gives fixed values, to see the default Int rule alone.
class Fixed final : public ConvertColor {
 public:
  explicit Fixed(Floats values) : values_(values) {}
  void ConvertFloatSample(float, float, float, float& x, float& y, float& z) const override {
    x = values_[0];
    y = values_[1];
    z = values_[2];
  }

 private:
  Floats values_;
};

class NoMapping final : public ConvertColor {};

TEST(ColorConvertTest, IntResultsRoundHalfAwayFromZeroAndSaturate) {
  EXPECT_EQ(IntSample(Fixed({2.5f, -2.5f, 0.49999997f}), {}), (Ints{3, -3, 0}));
  EXPECT_EQ(IntSample(Fixed({kNaN, kInf, -kInf}), {}), (Ints{0, INT_MAX, INT_MIN}));
  EXPECT_EQ(IntSample(Fixed({3e9f, -3e9f, -0.5f}), {}), (Ints{INT_MAX, INT_MIN, -1}));
  // S = 1 − B/R divides by R = 0 and comes out infinite.
  EXPECT_EQ(IntSample(RGB_HSV(), {0, -1, -2}), (Ints{15, INT_MAX, 0}));
  const Ints rgb = IntSample(YCrCb_RGB(), {INT_MAX, INT_MAX, INT_MAX});
  EXPECT_EQ(rgb[0], INT_MAX);
  EXPECT_EQ(rgb[2], INT_MAX);
  // Without a mapping every result is defined: zero.
  EXPECT_EQ(IntSample(NoMapping(), {1, 2, 3}), (Ints{0, 0, 0}));
  EXPECT_EQ(FloatSample(NoMapping(), {1, 2, 3}), (Floats{0, 0, 0}));
}

// Callers make the channels the same size; a sample missing from a smaller one reads as 0.
TEST(ColorConvertTest, ArraysTakeTheFirstInputsSize) {
  FloatArray y(3, 2), cr(2, 1), cb(3, 2), r, g, b;
  std::fill(y.begin(), y.end(), 0.5f);
  std::fill(cr.begin(), cr.end(), 0.25f);
  std::fill(cb.begin(), cb.end(), -0.25f);
  const YCrCb_RGB toRgb;
  toRgb.ConvertFloatArrays(y, cr, cb, r, g, b);
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 3; ++x) {
      const Floats expected = FloatSample(toRgb, {0.5f, row == 0 && x < 2 ? 0.25f : 0.0f, -0.25f});
      EXPECT_EQ((Floats{r[row][x], g[row][x], b[row][x]}), expected) << x << ", " << row;
    }
  }
}

TEST(ColorConvertTest, ConverterToRgbByColourSpaceTag) {
  EXPECT_NE(dynamic_cast<const YCrCb_RGB*>(ConverterToRgb(kYCrCb)), nullptr);
  EXPECT_NE(dynamic_cast<const HSV_RGB*>(ConverterToRgb(kHsv)), nullptr);
  EXPECT_NE(dynamic_cast<const XYZ_RGB*>(ConverterToRgb(kXyz)), nullptr);
  EXPECT_NE(dynamic_cast<const Lab_RGB*>(ConverterToRgb(kLab)), nullptr);
  EXPECT_EQ(ConverterToRgb(kLab), ConverterToRgb(kLab));
  for (int tag : {int{kRgb}, 5, int{kNoColorSpace}, -1})
    EXPECT_EQ(ConverterToRgb(tag), nullptr) << tag;
}

}  // namespace
}  // namespace kandrel::testing
