#include "blocks/pixel/pattern.h"

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

ProcSineWave::ProcSineWave(int processId) : ProcStandardOut(processId) {
  SetDefaultName("PatternGene");
  SetPortCounts(0, 1);
  CreateParameterDialog("TFormSineWave");
}

bool ProcSineWave::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = params.intOutput != 0 ? kTypeInt1 : kTypeFloat1;
  return true;
}

int ProcSineWave::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
}

int ProcSineWave::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcSineWave::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterPatternKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcSineWave>(kSineWaveProcessId, "ProcSineWave", "パターン生成..."));
}

}  // namespace kandrel
