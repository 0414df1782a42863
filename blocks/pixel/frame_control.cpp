#include "blocks/pixel/frame_control.h"

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

// ---- ProcFrameBuffer

ProcFrameBuffer::ProcFrameBuffer(int processId) : ProcStandardOut(processId) {
  SetDefaultName("FrameBuf");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormFrameBuffer");
}

ProcFrameBuffer::~ProcFrameBuffer() = default;

int ProcFrameBuffer::GetOutputType(int i) { return i == 0 ? params.bufferType : 0; }

bool ProcFrameBuffer::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != 0 && inTypes[0] != params.bufferType) return false;
  outTypes[0] = params.bufferType;
  return true;
}

int ProcFrameBuffer::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcFrameBuffer::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

int ProcFrameBuffer::PrepareOutputs(const InputImages& inputs, OutputImages& outputs) {
  return ProcStandardOut::PrepareOutputs(inputs, outputs);
}

int ProcFrameBuffer::Process(const InputImages& inputs, OutputImages& outputs) {
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcFrameBuffer::ResetOutputs(OutputImages& outputs) {
  return ProcStandardOut::ResetOutputs(outputs);
}

int ProcFrameBuffer::ProcessInt3(const InputImages&, const InputImages&) { return 1; }
int ProcFrameBuffer::ProcessFloat3(const InputImages&, const InputImages&) { return 1; }
int ProcFrameBuffer::ProcessComplex3(const InputImages&, const InputImages&) { return 1; }
int ProcFrameBuffer::ProcessIntChannel(const InArrays<int>&, const OutArrays<int>&) { return 1; }
int ProcFrameBuffer::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
}
int ProcFrameBuffer::ProcessComplexChannel(const InArrays<std::complex<float>>&,
                                           const OutArrays<std::complex<float>>&) {
  return 1;
}

bool ProcFrameBuffer::EnsureBuffer() { return false; }
void ProcFrameBuffer::Initialise(Image&) const {}

// ---- ProcPeriodSwitch

ProcPeriodSwitch::ProcPeriodSwitch(int processId) : ProcVirtual(processId) {
  SetDefaultName("Switch");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormPeriodSwitch");
}

Image* ProcPeriodSwitch::GetOutput(int i) const {
  return i >= 0 && i < OutputCount() ? GetInput(selectedInput_) : nullptr;
}

bool ProcPeriodSwitch::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  outTypes[0] = inTypes[selectedInput_];
  return true;
}

int ProcPeriodSwitch::Process(const InputImages&, OutputImages&) { return 1; }

int ProcPeriodSwitch::ResetOutputs(OutputImages&) {
  ResetFrameCounter();
  selectedInput_ = 0;
  return 0;
}

int ProcPeriodSwitch::SaveParams(ByteStream& stream) {
  ProcVirtual::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcPeriodSwitch::LoadParams(ByteStream& stream) {
  const int header = ProcVirtual::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcInterlace

ProcInterlace::ProcInterlace(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Interlace");
  SetVerilogName("Interlace");
  SetPortCounts(1, 2);
}

bool ProcInterlace::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount) return false;
  outTypes[0] = outTypes[1] = inTypes[0];
  return true;
}

int ProcInterlace::ProcessIntChannel(const InArrays<int>&, const OutArrays<int>&) { return 1; }
int ProcInterlace::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
}

// ---- ProcPaste

ProcPaste::ProcPaste(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Paste");
  SetPortCounts(0, 1);
}

bool ProcPaste::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = kTypeInt3;
  return true;
}

int ProcPaste::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteI32(stream, 0);
  return 0;
}

int ProcPaste::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  ReadI32(stream, 0);
  return header;
}

int ProcPaste::ProcessInt3(const InputImages&, const InputImages&) { return 1; }

void RegisterFrameControlKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(
      KindOf<ProcFrameBuffer>(kFrameBufferProcessId, "ProcFrameBuffer", "フレーム遅延バッファ"));
  catalogue.Register(
      KindOf<ProcPeriodSwitch>(kPeriodSwitchProcessId, "ProcPeriodSwitch", "周期スイッチ"));
  catalogue.Register(
      KindOf<ProcInterlace>(kInterlaceProcessId, "ProcInterlace", "インターレース分離"));
  catalogue.Register(KindOf<ProcPaste>(kPasteProcessId, "ProcPaste"));
}

}  // namespace kandrel
