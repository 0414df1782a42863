// The pattern generator: a source without inputs that computes a single-channel test image every
// frame: a flat field, a sine, cosine or sinc grating, a circular zone plate, or a contrast-
// sensitivity chart. Float 1ch around 0..1, or Int 1ch around 0..255.
#pragma once

#include <cstdint>
#include <string>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kSineWaveProcessId = 10019;

class ProcSineWave : public ProcStandardOut {
 public:
  enum Pattern : std::int32_t { kFlat = 0, kGrating = 1, kZonePlate = 2, kChart = 3 };
  enum Waveform : std::int32_t { kSine = 0, kCosine = 1, kSinc = 2 };

  // The 80-byte record; the dialog keeps width and height within 2..2048.
  struct Params {
    std::int32_t width = 640;
    std::int32_t height = 480;
    std::int32_t intOutput = 0;
    std::int32_t patternKind = kGrating;
    double flatValue = 0.0;
    std::int32_t waveform = kCosine;
    std::int32_t halfPixel = 0;
    double cyclesPerWidth = 1.0;
    double cyclesPerHeight = 0.0;
    std::int32_t centerOrigin = 1;
    double leftFrequency = 0.01;
    double rightFrequency = 0.5;
    double phaseShift = 0.0;
    template <class F>
    void Fields(F& f) {
      f.I32(width);
      f.I32(height);
      f.I32(intOutput);
      f.I32(patternKind);
      f.F64(flatValue);
      f.I32(waveform);
      f.I32(halfPixel);
      f.F64(cyclesPerWidth);
      f.F64(cyclesPerHeight);
      f.I32(centerOrigin);
      f.Zeros(4);
      f.F64(leftFrequency);
      f.F64(rightFrequency);
      f.F64(phaseShift);
    }
  };

  explicit ProcSineWave(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  // Refuses a stored record the dialog could not have written: a width or height below 1, or a
  // pattern or waveform outside its list. Larger sizes than the dialog's are drawn.
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  // Draws the pattern in float; an Int output is rounded from it by the framework.
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 private:
  // Shows the name followed by text, sets the status "err" and fails.
  int Refuse(const std::string& text);
};

void RegisterPatternKinds();

}  // namespace kandrel
