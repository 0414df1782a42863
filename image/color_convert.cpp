#include "image/color_convert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "image/image.h"
#include "image/parallel.h"
#include "image/vector_clones.h"


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
KANDREL_FLATTENED_VECTOR_CLONES void MapTriples(const T* __restrict in1, const T* __restrict in2,
                                        const T* __restrict in3, T* __restrict out1,
                                        T* __restrict out2, T* __restrict out3, std::size_t count,
                                        Map map) {
  for (std::size_t i = 0; i < count; ++i) map(in1[i], in2[i], in3[i], out1[i], out2[i], out3[i]);
}

// The loop of a checked mapping: fast over a run of positions, noting where it was in doubt,
// then exact at those positions. Doubt is rare: the fast loop runs in vectors, and the second
// pass is only a scan of the notes.
template <class T, class Fast, class Exact>
KANDREL_FLATTENED_VECTOR_CLONES void MapTriples(const T* __restrict in1, const T* __restrict in2,
                                        const T* __restrict in3, T* __restrict out1,
                                        T* __restrict out2, T* __restrict out3, std::size_t count,
                                        Fast fast, Exact exact) {
  constexpr std::size_t kRun = 256;
  int uncertain[kRun];
  for (std::size_t begin = 0; begin < count; begin += kRun) {
    const std::size_t n = std::min(count - begin, kRun);
    int any = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = begin + i;
      uncertain[i] = fast(in1[k], in2[k], in3[k], out1[k], out2[k], out3[k]);
      any |= uncertain[i];
    }
    if (any == 0) continue;
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = begin + i;
      if (uncertain[i] != 0) exact(in1[k], in2[k], in3[k], out1[k], out2[k], out3[k]);
    }
  }
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
// span operation convertSpan(a, b, c, x, y, z, count) a band of rows at a time.
template <class T, class ConvertSpan>
void ConvertEach(const Array2D<T>& in1, const Array2D<T>& in2, const Array2D<T>& in3,
                 Array2D<T>& out1, Array2D<T>& out2, Array2D<T>& out3, ConvertSpan convertSpan) {
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
  ForEachRowBand(height, static_cast<std::size_t>(width), [&](int rowBegin, int rowEnd) {
    if (rowEnd <= rowBegin) return;
    const std::size_t first = static_cast<std::size_t>(rowBegin) * width;
    const std::size_t count = static_cast<std::size_t>(rowEnd - rowBegin) * width;
    convertSpan(a.Data() + first, b.Data() + first, c.Data() + first, out1.Data() + first,
                out2.Data() + first, out3.Data() + first, count);
  });
}

// first where wanted and both values are numbers, else second. Both values enter the test so
// that the compiler keeps their arithmetic out of branches: under the default -ftrapping-math
// it would move a value needed on one side only into a branch, and stop vectorizing the loop.
template <class Real>
Real PickNumber(bool wanted, Real first, Real second) {
  return (wanted & (first == first) & (second == second)) ? first : second;
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

// LabF in long double, with the library's cube root.
long double ExactLabF(float t) {
  return t > kDeltaCubed ? std::cbrt(static_cast<long double>(t))
                         : 7.787037037037035 * static_cast<long double>(t) + 4.0 / 29.0;
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

// ---- Checked mappings. The double evaluation comes with the total magnitude of the terms
// behind each result; the exact value, and the long double evaluation, lie within a small
// fraction of that magnitude of the double result. Where no float boundary lies that close, both
// evaluations round to the same float; elsewhere the long double evaluation is run.

// Far above the rounding error of the few double operations behind a result (relative to the
// magnitude of its terms), and far below the spacing of floats near a result that is not much
// smaller than its terms.
constexpr double kSlack = 0x1p-46;

// The float of v; uncertain becomes 1 where a value within kSlack · magnitude of v could round
// to another float (NaN included).
float Settled(double v, double magnitude, int& uncertain) {
  const double e = kSlack * magnitude;
  uncertain |= static_cast<float>(v - e) != static_cast<float>(v + e);
  return static_cast<float>(v);
}

// The pieces of a checked mapping, one specialisation per converter:
//   Fast(a, b, c, x, y, z)   the mapping in double; returns 1 where a float might differ from
//                            Exact's
//   Exact(a, b, c, x, y, z)  the mapping in long double
//   IntInputs, IntResults    the Int rule's samples as floats, and its ints from the results
template <class C>
struct Checked;

// The Int rule of the base: samples as they are, results rounded.
struct DefaultIntRule {
  static void IntInputs(int a, int b, int c, float& fa, float& fb, float& fc) {
    fa = AsFloat(a), fb = AsFloat(b), fc = AsFloat(c);
  }
  static void IntResults(float fx, float fy, float fz, int& x, int& y, int& z) {
    x = Rounded(fx), y = Rounded(fy), z = Rounded(fz);
  }
};

// Int samples on the 0..255 scale, divided by 255 (for every int32 the double product rounds to
// the float of the long double product).
struct IntRuleOver255 : DefaultIntRule {
  static void IntInputs(int a, int b, int c, float& fa, float& fb, float& fc) {
    fa = Over255(a), fb = Over255(b), fc = Over255(c);
  }
};

template <class Real>
void XyzFromRgb(float r, float g, float b, Real& x, Real& y, Real& z) {
  x = 0.412390799 * Real{r} + 0.357584339 * Real{g} + 0.180480788 * Real{b};
  y = 0.212639006 * Real{r} + 0.715168679 * Real{g} + 0.072192315 * Real{b};
  z = 0.019330819 * Real{r} + 0.11919478 * Real{g} + 0.950532152 * Real{b};
}

template <>
struct Checked<RGB_XYZ> : DefaultIntRule {
  static int Fast(float r, float g, float b, float& x, float& y, float& z) {
    double dx, dy, dz;
    XyzFromRgb(r, g, b, dx, dy, dz);
    // No coefficient reaches 1: the inputs' magnitudes bound every term.
    const double terms = std::fabs(double{r}) + std::fabs(double{g}) + std::fabs(double{b});
    int uncertain = 0;
    x = Settled(dx, terms, uncertain);
    y = Settled(dy, terms, uncertain);
    z = Settled(dz, terms, uncertain);
    return uncertain;
  }
  static void Exact(float r, float g, float b, float& x, float& y, float& z) {
    long double lx, ly, lz;
    XyzFromRgb(r, g, b, lx, ly, lz);
    x = static_cast<float>(lx), y = static_cast<float>(ly), z = static_cast<float>(lz);
  }
};

template <>
struct Checked<XYZ_Lab> : IntRuleOver255 {
  static int Fast(float x, float y, float z, float& l, float& a, float& b) {
    const double fx = LabF(x), fy = LabF(y), fz = LabF(z);
    // |f| + 0.3 bounds the terms of either branch of f, so its error too.
    const double mx = std::fabs(fx) + 0.3, my = std::fabs(fy) + 0.3, mz = std::fabs(fz) + 0.3;
    int uncertain = 0;
    l = Settled(116.0 * fy - 16.0, 116.0 * my + 16.0, uncertain);
    a = Settled(500.0 * (fx - fy), 500.0 * (mx + my), uncertain);
    b = Settled(200.0 * (fy - fz), 200.0 * (my + mz), uncertain);
    return uncertain;
  }
  static void Exact(float x, float y, float z, float& l, float& a, float& b) {
    const long double fx = ExactLabF(x), fy = ExactLabF(y), fz = ExactLabF(z);
    l = static_cast<float>(116.0 * fy - 16.0);
    a = static_cast<float>(500.0 * (fx - fy));
    b = static_cast<float>(200.0 * (fy - fz));
  }
};

template <>
struct Checked<RGB_Lab> : IntRuleOver255 {
  static int Fast(float r, float g, float b, float& l, float& a, float& bStar) {
    float x, y, z;
    const int uncertain = Checked<RGB_XYZ>::Fast(r, g, b, x, y, z);
    return uncertain | Checked<XYZ_Lab>::Fast(x, y, z, l, a, bStar);
  }
  static void Exact(float r, float g, float b, float& l, float& a, float& bStar) {
    float x, y, z;
    Checked<RGB_XYZ>::Exact(r, g, b, x, y, z);
    Checked<XYZ_Lab>::Exact(x, y, z, l, a, bStar);
  }
};

// HSV in Real: H as 10 · (base + q) and S as 1 − p, with base + |q| and 1 + |p| bounding their
// terms. V is one of the inputs, exact as it is.
template <class Real>
struct HsvOf {
  HsvOf(float r, float g, float b) {
    const Real red = r, green = g, blue = b;
    if (r == g && g == b) {
      value = r;
      return;
    }
    // Each sector test leaves a nonzero divisor; the hue is counted in sectors of 60°.
    Real base, numerator, denominator;
    if (green > blue) {
      if (red > green) {
        value = r, p = blue / red;
        base = 0.0, numerator = green - blue, denominator = red - blue;
      } else if (red > blue) {
        value = g, p = blue / green;
        base = 2.0, numerator = -(red - blue), denominator = green - blue;
      } else {
        value = g, p = red / green;
        base = 2.0, numerator = blue - red, denominator = green - red;
      }
    } else {
      if (red < green) {
        value = b, p = red / blue;
        base = 4.0, numerator = -(green - red), denominator = blue - red;
      } else if (red < blue) {
        value = b, p = green / blue;
        base = 4.0, numerator = red - green, denominator = blue - green;
      } else {
        value = r, p = green / red;
        base = 6.0, numerator = -(blue - green), denominator = red - green;
      }
    }
    const Real q = numerator / denominator;
    h = 10.0 * (base + q);
    s = 1.0 - p;
    hTerms = 10.0 * (base + std::fabs(q));
    sTerms = 1.0 + std::fabs(p);
  }
  Real h = 0, s = 0, p = 0, hTerms = 0, sTerms = 0;
  float value;
};

template <>
struct Checked<RGB_HSV> : DefaultIntRule {
  static void IntResults(float fh, float fs, float fv, int& h, int& s, int& v) {
    h = Rounded(fh * 3.0);
    s = Rounded(fs * 255.0);
    v = Rounded(fv);
  }
  static int Fast(float r, float g, float b, float& h, float& s, float& v) {
    const HsvOf<double> hsv(r, g, b);
    int uncertain = 0;
    h = Settled(hsv.h, hsv.hTerms, uncertain);
    s = Settled(hsv.s, hsv.sTerms, uncertain);
    v = hsv.value;
    return uncertain;
  }
  static void Exact(float r, float g, float b, float& h, float& s, float& v) {
    const HsvOf<long double> hsv(r, g, b);
    h = static_cast<float>(hsv.h);
    s = static_cast<float>(hsv.s);
    v = hsv.value;
  }
};

// RGB from the sector d (0..6), S and V in Real; terms bounds the terms of every result.
template <class Real>
struct RgbOfHsv {
  RgbOfHsv(float d, float s, float v) {
    const Real value = v;
    const Real m = (1.0 - Real{s}) * value;
    const Real span = value - m;
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
    terms = std::fabs(value) + std::fabs(m) + std::fabs(span) * (std::fabs(Real{d}) + 6.0);
  }
  std::array<Real, 3> rgb;
  Real terms;
};

template <>
struct Checked<HSV_RGB> : DefaultIntRule {
  // H on the Int scale (0..180) divided by 3 (for every int32 the double quotient rounds to the
  // float of the long double one), S by 255.
  static void IntInputs(int h, int s, int v, float& fh, float& fs, float& fv) {
    fh = static_cast<float>(h / 3.0), fs = Over255(s), fv = AsFloat(v);
  }
  static int Fast(float h, float s, float v, float& r, float& g, float& b) {
    int uncertain = 0;
    const double tenth = h * 0.1;
    const float d = Settled(tenth, std::fabs(tenth), uncertain);  // the sector, 0..6
    const RgbOfHsv<double> rgb(d, s, v);
    r = Settled(rgb.rgb[0], rgb.terms, uncertain);
    g = Settled(rgb.rgb[1], rgb.terms, uncertain);
    b = Settled(rgb.rgb[2], rgb.terms, uncertain);
    return uncertain;
  }
  static void Exact(float h, float s, float v, float& r, float& g, float& b) {
    const float d = static_cast<float>(static_cast<long double>(h) * 0.1);
    const RgbOfHsv<long double> rgb(d, s, v);
    r = static_cast<float>(rgb.rgb[0]);
    g = static_cast<float>(rgb.rgb[1]);
    b = static_cast<float>(rgb.rgb[2]);
  }
};

// The Int rule of C around its checked mapping: fast, returning its doubt, and exact.
template <class C>
int FastIntRule(int a, int b, int c, int& x, int& y, int& z) {
  float fa, fb, fc, fx, fy, fz;
  Checked<C>::IntInputs(a, b, c, fa, fb, fc);
  const int uncertain = Checked<C>::Fast(fa, fb, fc, fx, fy, fz);
  Checked<C>::IntResults(fx, fy, fz, x, y, z);
  return uncertain;
}

template <class C>
void ExactIntRule(int a, int b, int c, int& x, int& y, int& z) {
  float fa, fb, fc, fx, fy, fz;
  Checked<C>::IntInputs(a, b, c, fa, fb, fc);
  Checked<C>::Exact(fa, fb, fc, fx, fy, fz);
  Checked<C>::IntResults(fx, fy, fz, x, y, z);
}

}  // namespace

// ---- ConvertColor

void ConvertColor::ConvertIntArrays(const IntArray& in1, const IntArray& in2, const IntArray& in3,
                                    IntArray& out1, IntArray& out2, IntArray& out3) const {
  ConvertEach(in1, in2, in3, out1, out2, out3,
              [this](const int* a, const int* b, const int* c, int* x, int* y, int* z,
                     std::size_t count) { ConvertIntSpan(a, b, c, x, y, z, count); });
}

void ConvertColor::ConvertFloatArrays(const FloatArray& in1, const FloatArray& in2,
                                      const FloatArray& in3, FloatArray& out1, FloatArray& out2,
                                      FloatArray& out3) const {
  ConvertEach(in1, in2, in3, out1, out2, out3,
              [this](const float* a, const float* b, const float* c, float* x, float* y, float* z,
                     std::size_t count) { ConvertFloatSpan(a, b, c, x, y, z, count); });
}

void ConvertColor::ConvertIntSpan(const int* in1, const int* in2, const int* in3, int* out1,
                                  int* out2, int* out3, std::size_t count) const {
  MapTriples(
      in1, in2, in3, out1, out2, out3, count,
      [this](int a, int b, int c, int& x, int& y, int& z) { ConvertIntSample(a, b, c, x, y, z); });
}

void ConvertColor::ConvertFloatSpan(const float* in1, const float* in2, const float* in3,
                                    float* out1, float* out2, float* out3,
                                    std::size_t count) const {
  MapTriples(in1, in2, in3, out1, out2, out3, count,
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
void InlinedConvertColor<C>::ConvertIntSpan(const int* in1, const int* in2, const int* in3,
                                            int* out1, int* out2, int* out3,
                                            std::size_t count) const {
  const C& converter = static_cast<const C&>(*this);
  MapTriples(in1, in2, in3, out1, out2, out3, count,
             [&converter](int a, int b, int c, int& x, int& y, int& z) {
               converter.C::ConvertIntSample(a, b, c, x, y, z);
             });
}

template <class C>
void InlinedConvertColor<C>::ConvertFloatSpan(const float* in1, const float* in2, const float* in3,
                                              float* out1, float* out2, float* out3,
                                              std::size_t count) const {
  const C& converter = static_cast<const C&>(*this);
  MapTriples(in1, in2, in3, out1, out2, out3, count,
             [&converter](float a, float b, float c, float& x, float& y, float& z) {
               converter.C::ConvertFloatSample(a, b, c, x, y, z);
             });
}

template <class C>
void InlinedConvertColor<C>::ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const {
  IntRule<AsFloat, Rounded>(FloatMapping(static_cast<const C&>(*this)), a, b, c, x, y, z);
}

// ---- CheckedConvertColor

template <class C>
void CheckedConvertColor<C>::ConvertIntSpan(const int* in1, const int* in2, const int* in3,
                                            int* out1, int* out2, int* out3,
                                            std::size_t count) const {
  MapTriples(
      in1, in2, in3, out1, out2, out3, count,
      [](int a, int b, int c, int& x, int& y, int& z) { return FastIntRule<C>(a, b, c, x, y, z); },
      [](int a, int b, int c, int& x, int& y, int& z) { ExactIntRule<C>(a, b, c, x, y, z); });
}

template <class C>
void CheckedConvertColor<C>::ConvertFloatSpan(const float* in1, const float* in2, const float* in3,
                                              float* out1, float* out2, float* out3,
                                              std::size_t count) const {
  MapTriples(
      in1, in2, in3, out1, out2, out3, count,
      [](float a, float b, float c, float& x, float& y, float& z) {
        return Checked<C>::Fast(a, b, c, x, y, z);
      },
      [](float a, float b, float c, float& x, float& y, float& z) {
        Checked<C>::Exact(a, b, c, x, y, z);
      });
}

template <class C>
void CheckedConvertColor<C>::ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const {
  if (FastIntRule<C>(a, b, c, x, y, z) != 0) ExactIntRule<C>(a, b, c, x, y, z);
}

template <class C>
void CheckedConvertColor<C>::ConvertFloatSample(float a, float b, float c, float& x, float& y,
                                                float& z) const {
  if (Checked<C>::Fast(a, b, c, x, y, z) != 0) Checked<C>::Exact(a, b, c, x, y, z);
}

// ---- The Int rule of YCrCb_RGB on rows, in float arithmetic where that is sure to round the
// same: the rule rounds the float of the double sum y + k·c half away from zero. The float sum
// lies within 2^-21 · (|y| + |cr| + |cb|) of the exact sum (a few float roundings of terms of
// at most that size, with coefficients below 2, and the float the rule rounds lies within half
// a float step of it), so where no half-integer lies that close, the nearest integer of the
// float sum is the rule's result. Elsewhere the double rule decides; that includes every sample
// triple whose magnitudes add up to 2^20 or more, as the margin then reaches ½, so the float sums
// that are rounded stay below 2^22.

namespace {

// v rounded to the nearest integer, and 1 in uncertain where v lies within margin of a
// half-integer (where the nearest integer is the rule's only away from ties). For |v| < 2^22,
// adding 1.5 · 2^23 leaves the nearest integer in the float's last place, exactly.
int RoundedUnlessNearHalf(float v, float margin, int& uncertain) {
  constexpr float kShift = 0x1.8p23f;
  const float shifted = v + kShift;
  const float nearest = shifted - kShift;
  uncertain |= static_cast<int>(std::fabs(v - nearest) >= 0.5f - margin);
  return static_cast<int>(std::bit_cast<std::uint32_t>(shifted) -
                          std::bit_cast<std::uint32_t>(kShift));
}

int FastRgbFromYCrCb(int y, int cr, int cb, int& r, int& g, int& b) {
  int uncertain = 0;
  const float fy = static_cast<float>(y), fcr = static_cast<float>(cr),
              fcb = static_cast<float>(cb);
  const float margin = 0x1p-21f * (std::fabs(fy) + std::fabs(fcr) + std::fabs(fcb));
  r = RoundedUnlessNearHalf(fy + 1.4026f * fcr, margin, uncertain);
  g = RoundedUnlessNearHalf(fy - 0.7144f * fcr - 0.3444f * fcb, margin, uncertain);
  b = RoundedUnlessNearHalf(fy + 1.773f * fcb, margin, uncertain);
  return uncertain;
}

}  // namespace

template <>
void InlinedConvertColor<YCrCb_RGB>::ConvertIntSpan(const int* in1, const int* in2, const int* in3,
                                                    int* out1, int* out2, int* out3,
                                                    std::size_t count) const {
  MapTriples(
      in1, in2, in3, out1, out2, out3, count,
      [](int y, int cr, int cb, int& r, int& g, int& b) {
        return FastRgbFromYCrCb(y, cr, cb, r, g, b);
      },
      [](int y, int cr, int cb, int& r, int& g, int& b) {
        IntRule<AsFloat, Rounded>(RgbFromYCrCb<double>, y, cr, cb, r, g, b);
      });
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

void XYZ_RGB::ConvertIntSample(int x, int y, int z, int& r, int& g, int& b) const {
  IntRule<AsFloat, Rounded>(RgbFromXyz<double>, x, y, z, r, g, b);
}

void XYZ_RGB::ConvertFloatSample(float x, float y, float z, float& r, float& g, float& b) const {
  RgbFromXyz<long double>(x, y, z, r, g, b);
}

void Lab_XYZ::ConvertIntSample(int l, int a, int b, int& x, int& y, int& z) const {
  IntRule<AsFloat, Times255Rounded>(XyzFromLab<double>, l, a, b, x, y, z);
}

void Lab_XYZ::ConvertFloatSample(float l, float a, float b, float& x, float& y, float& z) const {
  XyzFromLab<long double>(l, a, b, x, y, z);
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
template class InlinedConvertColor<XYZ_RGB>;
template class InlinedConvertColor<Lab_XYZ>;
template class InlinedConvertColor<Lab_RGB>;
template class CheckedConvertColor<RGB_HSV>;
template class CheckedConvertColor<HSV_RGB>;
template class CheckedConvertColor<RGB_XYZ>;
template class CheckedConvertColor<XYZ_Lab>;
template class CheckedConvertColor<RGB_Lab>;

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
