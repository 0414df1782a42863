// Type and channel conversions: to Int, Float and Complex (optionally rescaling between two
// white levels), to one channel by a weighted sum, channel splitting, and the operations on
// complex images (magnitude, conjugate, real and imaginary parts). Except for the conjugate,
// each process dispatches on the concrete input and output types itself, in the caller's thread.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kToIntProcessId = 10007;
constexpr int kToDoubleProcessId = 10008;
constexpr int kToComplexProcessId = 10009;
constexpr int kToMonoProcessId = 10015;
constexpr int kExtractChProcessId = 10031;
constexpr int kExtractRealImagProcessId = 10034;
constexpr int kExtractAbsProcessId = 10036;
constexpr int kConjugateProcessId = 10038;

// Int and Float images to Int, rounding half away from zero. The output's white level is always
// outputWhiteLevel; with rescale the samples are also multiplied by output/input white level.
class ProcToInt : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t rescale = 0;
    double inputWhiteLevel = 255.0;
    double outputWhiteLevel = 255.0;
    template <class F>
    void Fields(F& f) {
      f.I32(rescale);
      f.Zeros(4);
      f.F64(inputWhiteLevel);
      f.F64(outputWhiteLevel);
    }
  };

  explicit ProcToInt(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// Int and Float images to Float.
class ProcToDouble : public ProcToInt {
 public:
  explicit ProcToDouble(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
};

// Real parts from input 1, imaginary parts from input 2 (either may be unlinked), at the size of
// the first linked input.
class ProcToComplex : public ProcToInt {
 public:
  explicit ProcToComplex(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
};

// A three-channel image to one channel: weight1 × ch1 + weight2 × ch2 + weight3 × ch3 + offset.
// Channels smaller than channel 1 contribute 0 outside their own bounds.
class ProcToMono : public ProcStandardOut {
 public:
  struct Params {
    double weight1 = 0.299;
    double weight2 = 0.587;
    double weight3 = 0.114;
    double offset = 0.0;
    template <class F>
    void Fields(F& f) {
      f.F64(weight1);
      f.F64(weight2);
      f.F64(weight3);
      f.F64(offset);
    }
  };

  explicit ProcToMono(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// A three-channel image to three single-channel images, each at its channel's own size.
class ProcExtractCh : public ProcStandardOut {
 public:
  explicit ProcExtractCh(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
};

// The magnitude of a Complex image, as Float.
class ProcExtractAbs : public ProcStandardOut {
 public:
  explicit ProcExtractAbs(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  virtual void ProcessAbsChannel(const ComplexArray& in, FloatArray& out);
};

// The complex conjugate; three channels run on the standard channel threads.
class ProcConjugate : public ProcStandardOut {
 public:
  explicit ProcConjugate(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
};

// Real parts on output 1, imaginary parts on output 2.
class ProcExtractRealImag : public ProcStandardOut {
 public:
  explicit ProcExtractRealImag(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  virtual void ProcessRealImagChannel(const ComplexArray& in, FloatArray& real, FloatArray& imag);
};

void RegisterTypeConversionKinds();

}  // namespace kandrel
