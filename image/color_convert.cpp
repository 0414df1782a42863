#include "image/color_convert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "image/image.h"
#include "image/parallel.h"

// The shared loop takes the whole sample mapping inline, however deep its calls go, and on x86-64
// is built for AVX2 and for the baseline, the better one chosen when the program starts. AVX2
// only, not FMA: fused multiply-adds would round differently.
#if defined(__GNUC__) && defined(__x86_64__)
#define KANDREL_LOOP_ATTRIBUTES __attribute__((flatten, target_clones("avx2", "default")))
#elif defined(__GNUC__)
#define KANDREL_LOOP_ATTRIBUTES __attribute__((flatten))
#else
#define KANDREL_LOOP_ATTRIBUTES
#endif

namespace kandrel {

namespace {

constexpr double kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr double kIntMax = std::numeric_limits<std::int32_t>::max();

// RoundHalfAwayFromZero, in a form that vectorizes well. Every value rounded here is a float, or
// a float times 3 or 255, so adding ±0.5 is exact. The saturation is TruncateToInt's (NaN gives
// 0), written as a clamp: its chain of tests vectorizes into slow mask shuffles.
int Rounded(double v) {
  const double r = v + (v < 0 ? -0.5 : 0.5);
  const double clamped = r < kIntMin ? kIntMin : (r > kIntMax ? kIntMax : r);
  return v == v ? static_cast<int>(clamped) : 0;
}

float AsFloat(int v) { return static_cast<float>(v); }

// Division by 255 as a multiplication by 1/255, the product rounded to float.
float Over255(int v) { return static_cast<float>(v * (1.0 / 255.0)); }

int Times255Rounded(double v) { return Rounded(v * 255.0); }

// An Int rule: the float mapping map of the samples taken In, each result taken Out. The default
// is <AsFloat, Rounded> with the converter's own mapping.
template <float (*In)(int), int (*Out)(double), class Map>
void IntRule(Map map, int a, int b, int c, int& x, int& y, int& z) {
  float fx, fy, fz;
  map(In(a), In(b), In(c), fx, fy, fz);
  x = Out(fx);
  y = Out(fy);
  z = Out(fz);
}

// The float mapping of converter, as IntRule takes it.
template <class Converter>
auto FloatMapping(const Converter& converter) {
  return [&converter](float a, float b, float c, float& x, float& y, float& z) {
    converter.ConvertFloatSample(a, b, c, x, y, z);
  };
}

// The one loop behind every array operation.
template <class T, class Map>
KANDREL_LOOP_ATTRIBUTES void MapTriples(const T* __restrict in1, const T* __restrict in2,
                                        const T* __restrict in3, T* __restrict out1,
                                        T* __restrict out2, T* __restrict out3, std::size_t count,
                                        Map map) {
  for (std::size_t i = 0; i < count; ++i) map(in1[i], in2[i], in3[i], out1[i], out2[i], out3[i]);
}

// in as the loop reads it: in itself when it is width × height and no output, otherwise a copy
// of that size with zeros where in has no sample.
template <class T>
const Array2D<T>& Readable(const Array2D<T>& in, int width, int height, bool isOutput,
                           Array2D<T>& copy) {
  if (!isOutput && in.Width() == width && in.Height() == height) return in;
  copy.Resize(width, height);
  std::fill(copy.begin(), copy.end(), T{});
  const int w = std::min(width, in.Width());
  for (int y = 0; y < std::min(height, in.Height()); ++y) std::copy(in[y], in[y] + w, copy[y]);
  return copy;
}

// The array operation: in1's size for all, inputs that are also outputs copied first, then the
// row operation convertRows(a, b, c, rowBegin, rowEnd) a band of rows at a time.
template <class T, class ConvertRows>
void ConvertEach(const Array2D<T>& in1, const Array2D<T>& in2, const Array2D<T>& in3,
                 Array2D<T>& out1, Array2D<T>& out2, Array2D<T>& out3, ConvertRows convertRows) {
  const int width = in1.Width();
  const int height = in1.Height();
  auto isOutput = [&](const Array2D<T>& a) { return &a == &out1 || &a == &out2 || &a == &out3; };
  Array2D<T> copies[3];
  const Array2D<T>& a = Readable(in1, width, height, isOutput(in1), copies[0]);
  const Array2D<T>& b = Readable(in2, width, height, isOutput(in2), copies[1]);
  const Array2D<T>& c = Readable(in3, width, height, isOutput(in3), copies[2]);
  out1.Resize(width, height);
  out2.Resize(width, height);
  out3.Resize(width, height);
  ForEachRowBand(height, static_cast<std::size_t>(width),
                 [&](int rowBegin, int rowEnd) { convertRows(a, b, c, rowBegin, rowEnd); });
}

// MapTriples over rows rowBegin … rowEnd − 1 of arrays of one size.
template <class T, class Map>
void MapRowsOfTriples(const Array2D<T>& in1, const Array2D<T>& in2, const Array2D<T>& in3,
                      Array2D<T>& out1, Array2D<T>& out2, Array2D<T>& out3, int rowBegin,
                      int rowEnd, Map map) {
  if (rowEnd <= rowBegin) return;
  const std::size_t first = static_cast<std::size_t>(rowBegin) * in1.Width();
  const std::size_t count = static_cast<std::size_t>(rowEnd - rowBegin) * in1.Width();
  MapTriples(in1.Data() + first, in2.Data() + first, in3.Data() + first, out1.Data() + first,
             out2.Data() + first, out3.Data() + first, count, map);
}

// first where wanted and both values are numbers, else second. Both values enter the test so
// that the compiler keeps their arithmetic out of branches: under the default -ftrapping-math
// it would move a value needed on one side only into a branch, and stop vectorizing the loop.
template <class Real>
Real PickNumber(bool wanted, Real first, Real second) {
  return wanted & (first == first) & (second == second) ? first : second;
}

// The cube root of a float t > 0, within one ulp of the exact root; std::cbrt is several times
// slower and no more accurate. Other arguments give values the caller discards.
double CubeRoot(float t) {
  // The inverse cube root from the float's bits (within 4 %), then Newton steps in float.
  float r = std::bit_cast<float>(0x54a21d2au - std::bit_cast<std::uint32_t>(t) / 3u);
  const float third = t * (1.0f / 3.0f);
  for (int k = 0; k < 3; ++k) r *= 4.0f / 3.0f - third * r * r * r;
  // t·r² is the root to float precision; one Halley step in double, which triples the number of
  // correct digits, finishes it.
  const double td = t;
  const double y = td * r * r;
  const double cube = y * y * y;
  return y + y * (td - cube) / (cube + cube + td);
}

constexpr double kDelta = 6.0 / 29.0;
constexpr double kDeltaCubed = kDelta * kDelta * kDelta;

// The cube root above δ³, the tangent line at δ³ below it. The root of +inf comes out NaN and
// takes the line, which is +inf as well.
double LabF(float t) {
  return PickNumber(t > kDeltaCubed, CubeRoot(t), 7.787037037037035 * t + 4.0 / 29.0);
}

// The inverse of LabF, in Real.
template <class Real>
Real LabG(float t) {
  const Real cube = Real{t} * t * t;
  return PickNumber<Real>(t > kDelta, cube, 3.0 * (kDelta * kDelta) * (Real{t} - 4.0 / 29.0));
}

// The mappings where double and long double can give different floats, in Real: the Float
// mappings use long double; the Int rules that gave the same ints either way on every
// natural-scale input checked use double, which vectorizes.

template <class Real>
void YCrCbFromRgb(float r, float g, float b, float& y, float& cr, float& cb) {
  // Cr and Cb are formed from the luma as stored.
  const float luma = static_cast<float>(0.299 * Real{r} + 0.587 * Real{g} + 0.114 * Real{b});
  y = luma;
  cr = static_cast<float>((Real{r} - luma) * 0.713);
  cb = static_cast<float>((Real{b} - luma) * 0.564);
}

template <class Real>
void RgbFromYCrCb(float y, float cr, float cb, float& r, float& g, float& b) {
  r = static_cast<float>(Real{y} + 1.4026 * Real{cr});
  g = static_cast<float>(Real{y} - 0.7144 * Real{cr} - 0.3444 * Real{cb});
  b = static_cast<float>(Real{y} + 1.773 * Real{cb});
}

template <class Real>
void RgbFromXyz(float x, float y, float z, float& r, float& g, float& b) {
  r = static_cast<float>(3.240479 * Real{x} - 1.53715 * Real{y} - 0.498535 * Real{z});
  g = static_cast<float>(-0.969256 * Real{x} + 1.875991 * Real{y} + 0.041556 * Real{z});
  b = static_cast<float>(0.055648 * Real{x} - 0.204043 * Real{y} + 1.057311 * Real{z});
}

template <class Real>
void XyzFromLab(float l, float a, float b, float& x, float& y, float& z) {
  const float fy = static_cast<float>((Real{l} + 16.0) / 116.0);
  const float fx = static_cast<float>(fy + Real{a} * 0.002);
  const float fz = static_cast<float>(fy - Real{b} * 0.005);
  x = static_cast<float>(LabG<Real>(fx));
  y = static_cast<float>(LabG<Real>(fy));
  z = static_cast<float>(LabG<Real>(fz));
}

}  // namespace

// ---- ConvertColor

void ConvertColor::ConvertIntArrays(const IntArray& in1, const IntArray& in2, const IntArray& in3,
                                    IntArray& out1, IntArray& out2, IntArray& out3) const {
  ConvertEach(in1, in2, in3, out1, out2, out3,
              [&](const IntArray& a, const IntArray& b, const IntArray& c, int rowBegin,
                  int rowEnd) { ConvertIntRows(a, b, c, out1, out2, out3, rowBegin, rowEnd); });
}

void ConvertColor::ConvertFloatArrays(const FloatArray& in1, const FloatArray& in2,
                                      const FloatArray& in3, FloatArray& out1, FloatArray& out2,
                                      FloatArray& out3) const {
  ConvertEach(in1, in2, in3, out1, out2, out3,
              [&](const FloatArray& a, const FloatArray& b, const FloatArray& c, int rowBegin,
                  int rowEnd) { ConvertFloatRows(a, b, c, out1, out2, out3, rowBegin, rowEnd); });
}

void ConvertColor::ConvertIntRows(const IntArray& in1, const IntArray& in2, const IntArray& in3,
                                  IntArray& out1, IntArray& out2, IntArray& out3, int rowBegin,
                                  int rowEnd) const {
  MapRowsOfTriples(
      in1, in2, in3, out1, out2, out3, rowBegin, rowEnd,
      [this](int a, int b, int c, int& x, int& y, int& z) { ConvertIntSample(a, b, c, x, y, z); });
}

void ConvertColor::ConvertFloatRows(const FloatArray& in1, const FloatArray& in2,
                                    const FloatArray& in3, FloatArray& out1, FloatArray& out2,
                                    FloatArray& out3, int rowBegin, int rowEnd) const {
  MapRowsOfTriples(in1, in2, in3, out1, out2, out3, rowBegin, rowEnd,
                   [this](float a, float b, float c, float& x, float& y, float& z) {
                     ConvertFloatSample(a, b, c, x, y, z);
                   });
}

void ConvertColor::ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const {
  IntRule<AsFloat, Rounded>(FloatMapping(*this), a, b, c, x, y, z);
}

void ConvertColor::ConvertFloatSample(float, float, float, float& x, float& y, float& z) const {
  x = y = z = 0.0f;
}

// ---- InlinedConvertColor: the calls name C's own operations, so nothing is dispatched per
// position.

template <class C>
void InlinedConvertColor<C>::ConvertIntRows(const IntArray& in1, const IntArray& in2,
                                            const IntArray& in3, IntArray& out1, IntArray& out2,
                                            IntArray& out3, int rowBegin, int rowEnd) const {
  const C& converter = static_cast<const C&>(*this);
  MapRowsOfTriples(in1, in2, in3, out1, out2, out3, rowBegin, rowEnd,
                   [&converter](int a, int b, int c, int& x, int& y, int& z) {
                     converter.C::ConvertIntSample(a, b, c, x, y, z);
                   });
}

template <class C>
void InlinedConvertColor<C>::ConvertFloatRows(const FloatArray& in1, const FloatArray& in2,
                                              const FloatArray& in3, FloatArray& out1,
                                              FloatArray& out2, FloatArray& out3, int rowBegin,
                                              int rowEnd) const {
  const C& converter = static_cast<const C&>(*this);
  MapRowsOfTriples(in1, in2, in3, out1, out2, out3, rowBegin, rowEnd,
                   [&converter](float a, float b, float c, float& x, float& y, float& z) {
                     converter.C::ConvertFloatSample(a, b, c, x, y, z);
                   });
}

template <class C>
void InlinedConvertColor<C>::ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const {
  IntRule<AsFloat, Rounded>(FloatMapping(static_cast<const C&>(*this)), a, b, c, x, y, z);
}

// ---- The converters

void RGB_YCrCb::ConvertIntSample(int r, int g, int b, int& y, int& cr, int& cb) const {
  IntRule<AsFloat, Rounded>(YCrCbFromRgb<double>, r, g, b, y, cr, cb);
}

void RGB_YCrCb::ConvertFloatSample(float r, float g, float b, float& y, float& cr,
                                   float& cb) const {
  YCrCbFromRgb<long double>(r, g, b, y, cr, cb);
}

void YCrCb_RGB::ConvertIntSample(int y, int cr, int cb, int& r, int& g, int& b) const {
  IntRule<AsFloat, Rounded>(RgbFromYCrCb<double>, y, cr, cb, r, g, b);
}

void YCrCb_RGB::ConvertFloatSample(float y, float cr, float cb, float& r, float& g,
                                   float& b) const {
  RgbFromYCrCb<long double>(y, cr, cb, r, g, b);
}

void RGB_HSV::ConvertIntSample(int r, int g, int b, int& h, int& s, int& v) const {
  float fh, fs, fv;
  ConvertFloatSample(AsFloat(r), AsFloat(g), AsFloat(b), fh, fs, fv);
  h = Rounded(fh * 3.0);
  s = Rounded(fs * 255.0);
  v = Rounded(fv);
}

void RGB_HSV::ConvertFloatSample(float r, float g, float b, float& h, float& s, float& v) const {
  if (r == g && g == b) {
    h = 0.0f;
    s = 0.0f;
    v = r;
    return;
  }
  // Each sector test leaves a nonzero divisor; the hue is counted in sectors of 60°.
  const double red = r, green = g, blue = b;
  double value, saturation, sector;
  if (green > blue) {
    if (red > green) {
      value = red;
      saturation = 1.0 - blue / red;
      sector = (green - blue) / (red - blue);
    } else if (red > blue) {
      value = green;
      saturation = 1.0 - blue / green;
      sector = 2.0 - (red - blue) / (green - blue);
    } else {
      value = green;
      saturation = 1.0 - red / green;
      sector = 2.0 + (blue - red) / (green - red);
    }
  } else {
    if (red < green) {
      value = blue;
      saturation = 1.0 - red / blue;
      sector = 4.0 - (green - red) / (blue - red);
    } else if (red < blue) {
      value = blue;
      saturation = 1.0 - green / blue;
      sector = 4.0 + (red - green) / (blue - green);
    } else {
      value = red;
      saturation = 1.0 - green / red;
      sector = 6.0 - (blue - green) / (red - green);
    }
  }
  h = static_cast<float>(10.0 * sector);
  s = static_cast<float>(saturation);
  v = static_cast<float>(value);
}

void HSV_RGB::ConvertIntSample(int h, int s, int v, int& r, int& g, int& b) const {
  float fr, fg, fb;
  ConvertFloatSample(static_cast<float>(h / 3.0), Over255(s), AsFloat(v), fr, fg, fb);
  r = Rounded(fr);
  g = Rounded(fg);
  b = Rounded(fb);
}

void HSV_RGB::ConvertFloatSample(float h, float s, float v, float& r, float& g, float& b) const {
  const float d = static_cast<float>(h * 0.1);  // the sector, 0..6
  const double value = v;
  const double m = (1.0 - s) * value;
  const double span = value - m;
  std::array<double, 3> rgb;
  if (d < 1)
    rgb = {value, m + span * d, m};
  else if (d < 2)
    rgb = {m + span * (2.0 - d), value, m};
  else if (d < 3)
    rgb = {m, value, m + span * (d - 2.0)};
  else if (d < 4)
    rgb = {m, m + span * (4.0 - d), value};
  else if (d < 5)
    rgb = {m + span * (d - 4.0), m, value};
  else
    rgb = {value, m, m + span * (6.0 - d)};
  r = static_cast<float>(rgb[0]);
  g = static_cast<float>(rgb[1]);
  b = static_cast<float>(rgb[2]);
}

void RGB_XYZ::ConvertFloatSample(float r, float g, float b, float& x, float& y, float& z) const {
  x = static_cast<float>(0.412390799 * r + 0.357584339 * g + 0.180480788 * b);
  y = static_cast<float>(0.212639006 * r + 0.715168679 * g + 0.072192315 * b);
  z = static_cast<float>(0.019330819 * r + 0.11919478 * g + 0.950532152 * b);
}

void XYZ_RGB::ConvertIntSample(int x, int y, int z, int& r, int& g, int& b) const {
  IntRule<AsFloat, Rounded>(RgbFromXyz<double>, x, y, z, r, g, b);
}

void XYZ_RGB::ConvertFloatSample(float x, float y, float z, float& r, float& g, float& b) const {
  RgbFromXyz<long double>(x, y, z, r, g, b);
}

void XYZ_Lab::ConvertIntSample(int x, int y, int z, int& l, int& a, int& b) const {
  IntRule<Over255, Rounded>(FloatMapping(*this), x, y, z, l, a, b);
}

void XYZ_Lab::ConvertFloatSample(float x, float y, float z, float& l, float& a, float& b) const {
  const double fx = LabF(x), fy = LabF(y), fz = LabF(z);
  l = static_cast<float>(116.0 * fy - 16.0);
  a = static_cast<float>(500.0 * (fx - fy));
  b = static_cast<float>(200.0 * (fy - fz));
}

void Lab_XYZ::ConvertIntSample(int l, int a, int b, int& x, int& y, int& z) const {
  IntRule<AsFloat, Times255Rounded>(XyzFromLab<double>, l, a, b, x, y, z);
}

void Lab_XYZ::ConvertFloatSample(float l, float a, float b, float& x, float& y, float& z) const {
  XyzFromLab<long double>(l, a, b, x, y, z);
}

void RGB_Lab::ConvertIntSample(int r, int g, int b, int& l, int& a, int& bStar) const {
  IntRule<Over255, Rounded>(FloatMapping(*this), r, g, b, l, a, bStar);
}

void RGB_Lab::ConvertFloatSample(float r, float g, float b, float& l, float& a,
                                 float& bStar) const {
  float x, y, z;
  toXyz_.ConvertFloatSample(r, g, b, x, y, z);
  toLab_.ConvertFloatSample(x, y, z, l, a, bStar);
}

void Lab_RGB::ConvertIntSample(int l, int a, int bStar, int& r, int& g, int& b) const {
  IntRule<AsFloat, Times255Rounded>(FloatMapping(*this), l, a, bStar, r, g, b);
}

void Lab_RGB::ConvertFloatSample(float l, float a, float bStar, float& r, float& g,
                                 float& b) const {
  float x, y, z;
  toXyz_.ConvertFloatSample(l, a, bStar, x, y, z);
  toRgb_.ConvertFloatSample(x, y, z, r, g, b);
}

template class InlinedConvertColor<RGB_YCrCb>;
template class InlinedConvertColor<YCrCb_RGB>;
template class InlinedConvertColor<RGB_HSV>;
template class InlinedConvertColor<HSV_RGB>;
template class InlinedConvertColor<RGB_XYZ>;
template class InlinedConvertColor<XYZ_RGB>;
template class InlinedConvertColor<XYZ_Lab>;
template class InlinedConvertColor<Lab_XYZ>;
template class InlinedConvertColor<RGB_Lab>;
template class InlinedConvertColor<Lab_RGB>;

const ConvertColor* ConverterToRgb(int colorSpace) {
  static const YCrCb_RGB fromYCrCb;
  static const HSV_RGB fromHsv;
  static const XYZ_RGB fromXyz;
  static const Lab_RGB fromLab;
  switch (colorSpace) {
    case kYCrCb:
      return &fromYCrCb;
    case kHsv:
      return &fromHsv;
    case kXyz:
      return &fromXyz;
    case kLab:
      return &fromLab;
    default:
      return nullptr;
  }
}

}  // namespace kandrel
