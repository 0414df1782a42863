// Colour-space conversions: Int 3ch and Float 3ch images between RGB and YCrCb, HSV, XYZ or
// L*a*b*, the result tagged with its colour space. Every output sample depends on all three
// input channels, so the channels are converted together in the caller's thread, and an image
// whose channels differ in size is refused.
#pragma once

#include <cstdint>

#include "image/color_convert.h"
#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kRgbToYCrCbProcessId = 10017;
constexpr int kYCrCbToRgbProcessId = 10018;
constexpr int kRgbToHSVProcessId = 10051;
constexpr int kHSVToRgbProcessId = 10052;
constexpr int kRgbToXYZProcessId = 10053;
constexpr int kXYZToRgbProcessId = 10054;
constexpr int kRgbToLabProcessId = 10055;
constexpr int kLabToRgbProcessId = 10056;

// The common base. Its four conversion operations mirror those of ConvertColor, defaults
// included, so that a subclass either delegates to a converter or supplies sample operations.
class ProcConvertColor : public ProcStandardOut {
 public:
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessFloat3(const InputImages& inputs, const InputImages& outputs) override;

  virtual void ConvertIntArrays(const IntArray& in1, const IntArray& in2, const IntArray& in3,
                                IntArray& out1, IntArray& out2, IntArray& out3) const;
  virtual void ConvertFloatArrays(const FloatArray& in1, const FloatArray& in2,
                                  const FloatArray& in3, FloatArray& out1, FloatArray& out2,
                                  FloatArray& out3) const;
  virtual void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const;
  virtual void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const;

  // The colour-space tag of every output image.
  const std::int32_t outputColourTag;

 protected:
  ProcConvertColor(int processId, std::int32_t outputColourTag);

 private:
  template <class L, class Convert>
  int ConvertChannels(const InputImages& inputs, const InputImages& outputs, Convert convert);
};

// A process that delegates all four operations to the converter C, built on the stack for each
// call. Its array operations are C's tight loops.
template <class C>
class ProcConvertColorWith : public ProcConvertColor {
 public:
  void ConvertIntArrays(const IntArray& in1, const IntArray& in2, const IntArray& in3,
                        IntArray& out1, IntArray& out2, IntArray& out3) const override {
    C().ConvertIntArrays(in1, in2, in3, out1, out2, out3);
  }
  void ConvertFloatArrays(const FloatArray& in1, const FloatArray& in2, const FloatArray& in3,
                          FloatArray& out1, FloatArray& out2, FloatArray& out3) const override {
    C().ConvertFloatArrays(in1, in2, in3, out1, out2, out3);
  }
  void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const override {
    C().ConvertIntSample(a, b, c, x, y, z);
  }
  void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const override {
    C().ConvertFloatSample(a, b, c, x, y, z);
  }

 protected:
  using ProcConvertColor::ProcConvertColor;
};

class ProcRgbToYCrCb final : public ProcConvertColorWith<RGB_YCrCb> {
 public:
  explicit ProcRgbToYCrCb(int processId);
};

class ProcYCrCbToRgb final : public ProcConvertColorWith<YCrCb_RGB> {
 public:
  explicit ProcYCrCbToRgb(int processId);
};

class ProcRgbToHSV final : public ProcConvertColorWith<RGB_HSV> {
 public:
  explicit ProcRgbToHSV(int processId);
};

class ProcHSVToRgb final : public ProcConvertColorWith<HSV_RGB> {
 public:
  explicit ProcHSVToRgb(int processId);
};

class ProcRgbToXYZ final : public ProcConvertColorWith<RGB_XYZ> {
 public:
  explicit ProcRgbToXYZ(int processId);
};

class ProcXYZToRgb final : public ProcConvertColorWith<XYZ_RGB> {
 public:
  explicit ProcXYZToRgb(int processId);
};

class ProcRgbToLab final : public ProcConvertColorWith<RGB_Lab> {
 public:
  explicit ProcRgbToLab(int processId);
};

class ProcLabToRgb final : public ProcConvertColorWith<Lab_RGB> {
 public:
  explicit ProcLabToRgb(int processId);
};

void RegisterColorSpaceKinds();

}  // namespace kandrel
