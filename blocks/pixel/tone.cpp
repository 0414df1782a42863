#include "blocks/pixel/tone.h"

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// Any linked type gives the same type; an unlinked input is refused.
bool InferInputType(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount) return false;
  outTypes[0] = inTypes[0];
  return true;
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

int ProcContrast::ProcessIntChannel(const InArrays<int>&, const OutArrays<int>&) { return 1; }

int ProcContrast::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
}

int ProcContrast::ProcessComplexChannel(const InArrays<std::complex<float>>&,
                                        const OutArrays<std::complex<float>>&) {
  return 1;
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
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcGammaDbl::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
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
