#include "blocks/pixel/lessons.h"

#include <algorithm>

#include "blocks/pixel/sample_ops.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

// ---- ProcLesson1

ProcLesson1::ProcLesson1(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Lesson1");
  SetPortCounts(1, 1);
}

bool ProcLesson1::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferInputType(inTypes, outTypes);
}

// Only this handler is written; every other type reaches it through the framework's routes.
int ProcLesson1::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return MapSamples(in, out, [](float x) { return 1.0f - x; });
}

// ---- ProcLesson2

ProcLesson2::ProcLesson2(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Lesson2");
  SetPortCounts(3, 1);
  CreateParameterDialog("TFormLesson2");
}

bool ProcLesson2::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  int type = 0;
  for (int k = 0; k < 3; ++k)
    if (inTypes[k] != 0) type = inTypes[k];
  if (type < 1 || type > kImageTypeCount) return false;
  for (int k = 0; k < 3; ++k)
    if (inTypes[k] != 0 && inTypes[k] != type) return false;
  outTypes[0] = type;
  return true;
}

int ProcLesson2::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  const FloatArray* last = nullptr;
  for (int k = 0; k < 3; ++k)
    if (in[k] != nullptr) last = in[k];
  if (last == nullptr || out[0] == nullptr) return 1;
  for (int k = 0; k < 3; ++k) {
    if (in[k] != nullptr && !in[k]->SameSize(*last)) {
      Message("入力画像のサイズがそろっていません。");
      return 1;
    }
  }
  FloatArray& sum = *out[0];
  sum.Resize(last->Width(), last->Height());
  std::fill(sum.begin(), sum.end(), static_cast<float>(params.offset));
  const double weights[] = {params.weight1, params.weight2, params.weight3};
  for (int k = 0; k < 3; ++k) {
    if (in[k] == nullptr) continue;
    // Each term is formed in extended precision and rounded into the sum on its own.
    const long double weight = weights[k];
    std::transform(in[k]->begin(), in[k]->end(), sum.begin(), sum.begin(),
                   [weight](float x, float s) { return static_cast<float>(x * weight + s); });
  }
  return 0;
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

bool ProcLesson3::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeInt3) return false;
  outTypes[0] = kTypeInt1;
  return true;
}

// Replaces the whole standard frame: no type check, no attribute copy, no channel threads.
int ProcLesson3::Process(const InputImages& inputs, OutputImages& outputs) {
  const Int3Image* input = As<Int3Image>(inputs[0]);
  Int1Image* output = As<Int1Image>(outputs[0].get());
  if (input == nullptr || output == nullptr) {
    Message("入出力エラー");
    return 1;
  }
  const auto& [r, g, b] = input->channels;
  int result = 0;
  if (!g.SameSize(r) || !b.SameSize(r)) {
    Message(Name() + "への入力の各チャンネルのサイズが異なります。");
    result = 1;
  } else {
    IntArray& luma = output->channels[0];
    luma.Resize(r.Width(), r.Height());
    for (std::size_t i = 0; i < luma.SampleCount(); ++i)
      luma.Data()[i] =
          RoundHalfAwayFromZero(0.299 * r.Data()[i] + 0.587 * g.Data()[i] + 0.114 * b.Data()[i]);
  }
  output->ResetView();
  return result;
}

void RegisterLessonKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcLesson1>(kLesson1ProcessId, "ProcLesson1", "Lesson1（１in１out）"));
  catalogue.Register(
      KindOf<ProcLesson2>(kLesson2ProcessId, "ProcLesson2", "Lesson2（3in1out、Dialogあり）"));
  catalogue.Register(KindOf<ProcLesson3>(kLesson3ProcessId, "ProcLesson3", "Lesson3（色Channel操作）"));
}

}  // namespace kandrel
