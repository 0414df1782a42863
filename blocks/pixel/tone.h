// Tone adjustment: a gain and an offset (contrast and brightness), and a power law (gamma
// encoding or decoding, optionally relative to a fixed white level), sample by sample, for every
// image type; the output has the input's type.
#pragma once

#include <cstdint>
#include <string>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kContrastProcessId = 10021;
constexpr int kGammaProcessId = 10010;

// Int: trunc(s × gain) + trunc(offset); Float: s × gain + offset in float; Complex: both parts
// times the gain, the offset added to the real part. No clamping: an Int product no int holds
// saturates, the Int addition wraps like 32-bit machine arithmetic.
class ProcContrast : public ProcStandardOut {
 public:
  struct Params {
    double gain = 1.0;
    double offset = 0.0;
    template <class F>
    void Fields(F& f) {
      f.F64(gain);
      f.F64(offset);
    }
  };

  explicit ProcContrast(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// y = x^e, point-symmetric for negative samples (e = gamma for "Degamma", 1 / gamma for
// "Gamma"), or relative to a fixed white level W: y = W · (x / W)^e. Only the Float handler is
// its own: Int samples are rounded back, Complex parts are mapped separately. A gamma of 0 or
// below, and a fixed white level of 0, fail the frame.
class ProcGammaDbl : public ProcStandardOut {
 public:
  enum Direction : std::int32_t { kGamma = 0, kDegamma = 1 };

  struct Params {
    double gammaValue = 2.2;
    std::int32_t direction = kDegamma;
    std::int32_t fixWhiteLevel = 0;
    double whiteLevelParam = 255.0;
    template <class F>
    void Fields(F& f) {
      f.F64(gammaValue);
      f.I32(direction);
      f.I32(fixWhiteLevel);
      f.F64(whiteLevelParam);
    }
  };

  explicit ProcGammaDbl(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  // Refuses the parameters above before the frame runs.
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 private:
  // Shows text, puts it in the status after "err：" and fails.
  int Refuse(const std::string& text);
};

void RegisterToneKinds();

}  // namespace kandrel
