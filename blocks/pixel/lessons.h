// The teaching examples: three small processes that show how a process is written on the
// framework. Lesson1 implements only the Float single-channel handler (1 − x) and lets the
// framework serve every other type; Lesson2 adds three inputs, parameters, a dialog and their
// persistence; Lesson3 replaces Process itself to turn an Int 3ch image into its luma.
#pragma once

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kLesson1ProcessId = 10061;
constexpr int kLesson2ProcessId = 10062;
constexpr int kLesson3ProcessId = 10063;

class ProcLesson1 : public ProcStandardOut {
 public:
  explicit ProcLesson1(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

// offset + weight1 × input 1 + weight2 × input 2 + weight3 × input 3, for any subset of the
// inputs, which must all have one size.
class ProcLesson2 : public ProcStandardOut {
 public:
  struct Params {
    double weight1 = 1.0 / 3.0;
    double weight2 = 1.0 / 3.0;
    double weight3 = 1.0 / 3.0;
    double offset = 0.0;
    template <class F>
    void Fields(F& f) {
      f.F64(weight1);
      f.F64(weight2);
      f.F64(weight3);
      f.F64(offset);
    }
  };

  explicit ProcLesson2(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// 0.299·R + 0.587·G + 0.114·B of an Int 3ch image whose channels share one size, rounded half
// away from zero, as Int 1ch (saturated where no int holds the sum).
class ProcLesson3 : public ProcStandardOut {
 public:
  explicit ProcLesson3(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
};

void RegisterLessonKinds();

}  // namespace kandrel
