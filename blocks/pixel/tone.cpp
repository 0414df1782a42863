#include "blocks/pixel/tone.h"

#include <algorithm>
#include <cmath>

#include "blocks/pixel/sample_ops.h"
#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using Complex = std::complex<float>;

// The product is rounded to float before the float addition, as two scalar operations would.
KANDREL_VECTOR_CLONES void ScaleAndShift(const float* __restrict in, float* __restrict out,
                                         std::size_t count, double gain, float offset) {
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<float>(in[i] * gain) + offset;
}

}  // namespace

// ---- ProcContrast

ProcContrast::ProcContrast(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Contrast");
  SetVerilogName("Contrast");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormContrast");
}

bool ProcContrast::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferInputType(inTypes, outTypes);
}

int ProcContrast::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  const double gain = params.gain;
  const int offset = TruncateToInt(params.offset);
  return MapSamples(in, out, [=](int s) { return WrapAdd(TruncateToInt(s * gain), offset); });
}

int ProcContrast::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  out[0]->Resize(in[0]->Width(), in[0]->Height());
  ScaleAndShift(in[0]->Data(), out[0]->Data(), in[0]->SampleCount(), params.gain,
                static_cast<float>(params.offset));
  return 0;
}

int ProcContrast::ProcessComplexChannel(const InArrays<Complex>& in,
                                        const OutArrays<Complex>& out) {
  const float gain = static_cast<float>(params.gain);
  const float offset = static_cast<float>(params.offset);
  return MapSamples(in, out, [=](Complex s) {
    const float re = s.real() * gain;
    return Complex(re + offset, s.imag() * gain);
  });
}

int ProcContrast::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcContrast::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcGammaDbl

ProcGammaDbl::ProcGammaDbl(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Gamma");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormGammaCorrection");
}

bool ProcGammaDbl::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferInputType(inTypes, outTypes);
}

int ProcGammaDbl::Process(const InputImages& inputs, OutputImages& outputs) {
  if (params.gammaValue <= 0) return Refuse("負のガンマ値は無効です。");
  // The dialog accepts a white level of 0, which would divide every sample by zero.
  if (params.fixWhiteLevel != 0 && params.whiteLevelParam == 0)
    return Refuse("WhiteLevel に 0 は使えません。");
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcGammaDbl::Refuse(const std::string& text) {
  Message(text);
  SetStatus("err：" + text);
  return 1;
}

int ProcGammaDbl::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  const double exponent = params.direction != kGamma ? params.gammaValue : 1.0 / params.gammaValue;
  // Without a fixed white level the curve is taken relative to 1: dividing and multiplying by 1
  // is exact, so one loop serves both.
  const double white = params.fixWhiteLevel != 0 ? params.whiteLevelParam : 1.0;
  return MapSamples(in, out, [=](float x) {
    const double d = x / white;
    const double y = d >= 0 ? std::pow(d, exponent) : -std::pow(-d, exponent);
    return static_cast<float>(y * white);
  });
}

int ProcGammaDbl::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcGammaDbl::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterToneKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(
      KindOf<ProcContrast>(kContrastProcessId, "ProcContrast", "明るさ・コントラスト..."));
  catalogue.Register(KindOf<ProcGammaDbl>(kGammaProcessId, "ProcGammaDbl", "ガンマ・デガンマ補正..."));
}

}  // namespace kandrel
