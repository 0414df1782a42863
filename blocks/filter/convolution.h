// The neighbourhood filters built on the convolution engine (blocks/filter/convolve.h), all of
// which replicate the edge samples so that the output keeps the input's size: ProcConvolution
// convolves or correlates input 1 with a kernel image on input 2 (at most 1000 samples),
// optionally divided by the kernel's L1 or L2 norm; ProcCustomFilter5x5 correlates with an edited
// 5 × 5 matrix divided by a scale, and writes its coefficients as Verilog parameters; ProcMedian
// takes the median of every 3 × 3 neighbourhood.
#pragma once

#include <array>
#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kConvolutionProcessId = 10047;
constexpr int kCustomFilter5x5ProcessId = 10014;
constexpr int kMedianProcessId = 10071;
constexpr int kMaxKernelSamples = 1000;

class ProcConvolution : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t flipKernel = 1;  // nonzero: the kernel applied as stored (a correlation)
    std::int32_t normalize = 1;   // nonzero: divided by the kernel's norm
    std::int32_t centered = 0;    // nonzero: the kernel's origin at its centre
    std::int32_t normKind = 0;    // 0: L1 norm Σ|b|, any other value: L2 norm √Σ|b|²
    template <class F>
    void Fields(F& f) {
      f.I32(flipKernel);
      f.I32(normalize);
      f.I32(centered);
      f.I32(normKind);
    }
  };

  explicit ProcConvolution(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

class ProcCustomFilter5x5 : public ProcStandardOut {
 public:
  static constexpr int kSize = 5;
  struct Params {
    std::array<std::array<double, kSize>, kSize> coef;  // [y][x]
    double scale = 25.0;                                // the denominator
    Params() {
      for (auto& row : coef) row.fill(1.0);
    }
    template <class F>
    void Fields(F& f) {
      for (auto& row : coef)
        for (double& c : row) f.F64(c);
      f.F64(scale);
    }
  };

  explicit ProcCustomFilter5x5(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  // Int images are divided by the scale before the quotient becomes an integer: a scale of 0 or
  // one that is not finite fails their frame. Float images keep the IEEE quotient.
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  void WriteVerilogParams(std::vector<std::string>& lines,
                          const std::string& instance) const override;

  Params params;
};

class ProcMedian : public ProcStandardOut {
 public:
  explicit ProcMedian(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

void RegisterConvolutionKinds();

}  // namespace kandrel
