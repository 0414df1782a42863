#include "tests/support/test_kinds.h"

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel::testing {

namespace {

// Has a parameter dialog of its own.
class TestDialogKind : public TestScale {
 public:
  explicit TestDialogKind(int processId) : TestScale(processId) {
    SetDefaultName("WithDialog");
    CreateParameterDialog("TFormTest");
  }
};

// Accepts every type and fails every frame.
class TestFail : public TestScale {
 public:
  explicit TestFail(int processId) : TestScale(processId) {
    SetDefaultName("Fail");
  }
  int ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) override { return 1; }
};

}  // namespace

TestSource::TestSource(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Source");
  SetPortCounts(0, 1);
}

bool TestSource::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = params.type;
  return params.type >= 1 && params.type <= kImageTypeCount;
}

int TestSource::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>& out) {
  out[0]->Resize(params.width, params.height);
  for (float& s : *out[0]) s = static_cast<float>(params.value + FrameCounter());
  return 0;
}

int TestSource::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int TestSource::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

TestScale::TestScale(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Scale");
  SetPortCounts(1, 1);
}

bool TestScale::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  outTypes[0] = inTypes[0];
  return inTypes[0] >= 1 && inTypes[0] <= kImageTypeCount;
}

int TestScale::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  out[0]->Resize(in[0]->Width(), in[0]->Height());
  std::transform(in[0]->begin(), in[0]->end(), out[0]->begin(), [this](float s) { return s * factor; });
  return 0;
}

TestAdd::TestAdd(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Add");
  SetPortCounts(2, 1);
}

bool TestAdd::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  outTypes[0] = inTypes[0];
  return inTypes[0] >= 1 && inTypes[0] <= kImageTypeCount && inTypes[0] == inTypes[1];
}

int TestAdd::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  out[0]->Resize(in[0]->Width(), in[0]->Height());
  std::transform(in[0]->begin(), in[0]->end(), in[1]->begin(), out[0]->begin(), std::plus<float>());
  return 0;
}

void RegisterTestKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<TestSource>(kTestSourceId, "TestSource"));
  catalogue.Register(KindOf<TestScale>(kTestScaleId, "TestScale"));
  catalogue.Register(KindOf<TestAdd>(kTestAddId, "TestAdd"));
  catalogue.Register(KindOf<TestDialogKind>(kTestDialogId, "TestDialogKind"));
  catalogue.Register(KindOf<TestFail>(kTestFailId, "TestFail"));
}

}  // namespace kandrel::testing
