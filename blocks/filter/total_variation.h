// Total-variation denoising: an image f splits into a smooth structure part u (output 1) and a
// texture part v = f − u (output 2) by a fixed number of loops of Chambolle's dual projection.
// Float images use float arithmetic (λ and r = τ/λ taken to float once); Int images an integer
// version with λ in steps of 1/8 and τ replaced by 2^−s, as the hardware cell does it. Other
// types go through those two handlers.
//
// The Int dual field keeps |P| ≤ L = trunc(8λ + 0.5), so with λ ≤ 10⁶ and s ≤ 16 every
// intermediate of its update fits the int64 it is computed in; u = f − v saturates at the int32
// limits. Records outside those bounds, with a negative loop count or a value that is not
// finite, fail the frame with a message. The Verilog parameters truncate toward zero, saturating
// at the int32 limits.
#pragma once

#include <cstdint>
#include <string>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kTotalVariationProcessId = 10020;
constexpr double kMaxTotalVariationLambda = 1e6;
// τ below 2^−16 (and above 0) would need a shift beyond 16 bits.
constexpr int kMaxTotalVariationShift = 16;

class ProcTotalVariation : public ProcStandardOut {
 public:
  struct Params {
    double lambda = 1.0;  // larger values take more away as texture
    std::int32_t loopCount = 10;
    double tau = 0.125;  // the step of one loop, meant to be at most 1/8
    // The size of the last frame processed: saved, ignored on load.
    std::int32_t lastWidth = 0;
    std::int32_t lastHeight = 0;
    template <class F>
    void Fields(F& f) {
      f.F64(lambda);
      f.I32(loopCount);
      f.Zeros(4);
      f.F64(tau);
      f.I32(lastWidth);
      f.I32(lastHeight);
    }
    // Int path: λ in units of 1/8, rounded.
    int LambdaSteps() const;
    // Int path: the smallest s ≥ 0 with 2^s·τ ≥ 1, for τ > 0.
    int TauShift() const;
    // Why the record cannot be run, as the dialog says it; empty when it can.
    std::string Problem() const;
  };

  explicit ProcTotalVariation(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  void WriteVerilogParams(std::vector<std::string>& lines,
                          const std::string& instance) const override;

  Params params;
};

void RegisterTotalVariationKinds();

}  // namespace kandrel
