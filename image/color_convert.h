// Colour converters: each maps one colour triple (three channel samples at one position) to
// another, for Int and Float data. The colour-space processes and the image display use them.
// Channel order is the order of the names: YCrCb = (Y, Cr, Cb), HSV = (H, S, V), and so on.
//
// Float mappings give the floats of a long double (x87 extended precision) evaluation, each
// result stored as float. Those of RGB_XYZ, XYZ_Lab, RGB_Lab and the HSV pair are checked
// mappings: they compute in double, which vectorizes, with a bound on the rounding error, and
// only where that bound leaves the float in doubt do they compute in long double.
// Int mappings convert the samples to float (scaled where the converter says so), apply the float
// mapping and round each result half away from zero, saturating at the ends of the int32 range
// (NaN gives 0). Those of RGB_YCrCb, YCrCb_RGB, XYZ_RGB and Lab_XYZ compute the mapping in
// double, which vectorizes and gave the same ints on every natural-scale input checked.
#pragma once

#include <cstddef>

#include "image/array2d.h"

namespace kandrel {

class ConvertColor {
 public:
  virtual ~ConvertColor() = default;
  // Resize the outputs to in1's size and convert every position (in2 and in3 read at the same
  // position; callers make the three the same size, and a sample missing from a smaller in2 or
  // in3 reads as 0). An output may be one of the inputs.
  virtual void ConvertIntArrays(const IntArray& in1, const IntArray& in2, const IntArray& in3,
                                IntArray& out1, IntArray& out2, IntArray& out3) const;
  virtual void ConvertFloatArrays(const FloatArray& in1, const FloatArray& in2,
                                  const FloatArray& in3, FloatArray& out1, FloatArray& out2,
                                  FloatArray& out3) const;
  // count positions of six runs of samples, no output being an input: the array operations
  // run these over bands of rows, and so can a caller that fuses the conversion with other work
  // on the same rows.
  virtual void ConvertIntSpan(const int* in1, const int* in2, const int* in3, int* out1, int* out2,
                              int* out3, std::size_t count) const;
  virtual void ConvertFloatSpan(const float* in1, const float* in2, const float* in3, float* out1,
                                float* out2, float* out3, std::size_t count) const;
  // Default: the float mapping of the samples as floats, each result rounded half away from 0.
  virtual void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const;
  // The mapping; the base has none and gives zeros, so that no output is ever left undefined.
  virtual void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const;

 protected:
  ConvertColor() = default;  // only concrete converters are made
};

// The row operations of the concrete converter C as tight loops with C's sample mapping
// inlined, and the default Int rule with C's float mapping inlined. Results are those of the
// virtual per-position operations of the base, bit for bit.
template <class C>
class InlinedConvertColor : public ConvertColor {
 public:
  void ConvertIntSpan(const int* in1, const int* in2, const int* in3, int* out1, int* out2,
                      int* out3, std::size_t count) const final;
  void ConvertFloatSpan(const float* in1, const float* in2, const float* in3, float* out1,
                        float* out2, float* out3, std::size_t count) const final;
  void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const override;
};

// The operations of a converter C with a checked mapping, from C's own pieces (in the source
// file): the mapping in double with its error bound, the mapping in long double, and the Int
// rule's scaling of inputs and results. Results are those of the long double mapping.
template <class C>
class CheckedConvertColor : public ConvertColor {
 public:
  void ConvertIntSpan(const int* in1, const int* in2, const int* in3, int* out1, int* out2,
                      int* out3, std::size_t count) const final;
  void ConvertFloatSpan(const float* in1, const float* in2, const float* in3, float* out1,
                        float* out2, float* out3, std::size_t count) const final;
  void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const final;
  void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const final;
};

// Cr and Cb are signed and centred on 0.
class RGB_YCrCb final : public InlinedConvertColor<RGB_YCrCb> {
 public:
  void ConvertIntSample(int r, int g, int b, int& y, int& cr, int& cb) const override;
  void ConvertFloatSample(float r, float g, float b, float& y, float& cr, float& cb) const override;
};

class YCrCb_RGB final : public InlinedConvertColor<YCrCb_RGB> {
 public:
  void ConvertIntSample(int y, int cr, int cb, int& r, int& g, int& b) const override;
  void ConvertFloatSample(float y, float cr, float cb, float& r, float& g, float& b) const override;
};

// Float H in units of 6° (0..60), S in 0..1; Int H in units of 2° (0..180), S in 0..255. V is on
// the input's scale.
class RGB_HSV final : public CheckedConvertColor<RGB_HSV> {};

class HSV_RGB final : public CheckedConvertColor<HSV_RGB> {};

// Linear: no gamma is removed.
class RGB_XYZ final : public CheckedConvertColor<RGB_XYZ> {};

class XYZ_RGB final : public InlinedConvertColor<XYZ_RGB> {
 public:
  void ConvertIntSample(int x, int y, int z, int& r, int& g, int& b) const override;
  void ConvertFloatSample(float x, float y, float z, float& r, float& g, float& b) const override;
};

// X, Y and Z are used as they are, without dividing by a reference white. Int XYZ is on the
// 0..255 scale of Int RGB, Int Lab on the natural scales (L 0..100).
class XYZ_Lab final : public CheckedConvertColor<XYZ_Lab> {};

class Lab_XYZ final : public InlinedConvertColor<Lab_XYZ> {
 public:
  void ConvertIntSample(int l, int a, int b, int& x, int& y, int& z) const override;
  void ConvertFloatSample(float l, float a, float b, float& x, float& y, float& z) const override;
};

// RGB_XYZ, then XYZ_Lab (the XYZ floats in between).
class RGB_Lab final : public CheckedConvertColor<RGB_Lab> {};

// Lab_XYZ, then XYZ_RGB.
class Lab_RGB final : public InlinedConvertColor<Lab_RGB> {
 public:
  void ConvertIntSample(int l, int a, int bStar, int& r, int& g, int& b) const override;
  void ConvertFloatSample(float l, float a, float bStar, float& r, float& g,
                          float& b) const override;

 private:
  Lab_XYZ toXyz_;
  XYZ_RGB toRgb_;
};

// The converter from colour-space tag 1..4 (YCrCb, HSV, XYZ, Lab) back to RGB; null otherwise.
const ConvertColor* ConverterToRgb(int colorSpace);

}  // namespace kandrel
