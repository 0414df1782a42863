// The Gabor kernel generator: a source without inputs that draws a small Gabor kernel every
// frame, K · exp(j·2π(x cos θ + y sin θ)/T) · exp(−(x² + y²)/2σ²) with the origin at the image
// centre, as a complex image or as its real or imaginary part alone. It is made to feed the
// kernel input of the convolution.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kGaborFilterProcessId = 10070;
constexpr int kMinGaborSize = 2;
constexpr int kMaxGaborSize = 31;

class ProcGaborFilter : public ProcStandardOut {
 public:
  enum OutputKind : std::int32_t { kComplex = 0, kRealPart = 1, kImaginaryPart = 2 };

  struct Params {
    std::int32_t kernelWidth = 21;
    std::int32_t kernelHeight = 21;
    double theta = 0.0;  // degrees
    double sigma = 3.0;  // pixels
    double period = 3.0;  // pixels, at least 1
    double amplitude = 255.0;
    std::int32_t outputKind = kComplex;
    std::int32_t intOutput = 0;  // for the real or imaginary part alone
    template <class F>
    void Fields(F& f) {
      f.I32(kernelWidth);
      f.I32(kernelHeight);
      f.F64(theta);
      f.F64(sigma);
      f.F64(period);
      f.F64(amplitude);
      f.I32(outputKind);
      f.I32(intOutput);
    }
  };

  explicit ProcGaborFilter(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  // Refuses a stored record the dialog could not have written: a size outside 2..31, a period
  // below 1 or an output kind outside its list.
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

void RegisterGaborKinds();

}  // namespace kandrel
