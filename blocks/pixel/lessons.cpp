#include "blocks/pixel/lessons.h"

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

// ---- ProcLesson1

ProcLesson1::ProcLesson1(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Lesson1");
  SetPortCounts(1, 1);
}

bool ProcLesson1::InferOutputTypes(const TypeList&, TypeList&) { return false; }

int ProcLesson1::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
}

// ---- ProcLesson2

ProcLesson2::ProcLesson2(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Lesson2");
  SetPortCounts(3, 1);
  CreateParameterDialog("TFormLesson2");
}

bool ProcLesson2::InferOutputTypes(const TypeList&, TypeList&) { return false; }

int ProcLesson2::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  return 1;
}

int ProcLesson2::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcLesson2::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcLesson3

ProcLesson3::ProcLesson3(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Lesson3");
  SetPortCounts(1, 1);
}

bool ProcLesson3::InferOutputTypes(const TypeList&, TypeList&) { return false; }

int ProcLesson3::Process(const InputImages&, OutputImages&) { return 1; }

void RegisterLessonKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcLesson1>(kLesson1ProcessId, "ProcLesson1", "Lesson1（１in１out）"));
  catalogue.Register(
      KindOf<ProcLesson2>(kLesson2ProcessId, "ProcLesson2", "Lesson2（3in1out、Dialogあり）"));
  catalogue.Register(KindOf<ProcLesson3>(kLesson3ProcessId, "ProcLesson3", "Lesson3（色Channel操作）"));
}

}  // namespace kandrel
