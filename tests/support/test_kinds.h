// Stand-in process kinds, registered for the tests only: a source with a parameter record, a
// one-input scaler, a two-input adder, a kind with a dialog and one that fails every frame.
#pragma once

#include "process/proc_standard_out.h"

namespace kandrel::testing {

constexpr int kTestSourceId = 90001;
constexpr int kTestScaleId = 90002;
constexpr int kTestAddId = 90003;
constexpr int kTestDialogId = 90004;
constexpr int kTestFailId = 90005;

void RegisterTestKinds();

// Produces an image of a chosen type, size and value; its frame count is a parameter.
class TestSource : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t type = 2;
    std::int32_t width = 4;
    std::int32_t height = 3;
    double value = 1.0;
    std::int32_t frames = 1;
    std::string label;
    template <class F>
    void Fields(F& f) {
      f.I32(type);
      f.I32(width);
      f.I32(height);
      f.F64(value);
      f.I32(frames);
      f.Text(label, 40);
    }
  };

  explicit TestSource(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int FrameCount() override { return params.frames; }
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// Output = input × factor, for every type; only the Float handler is implemented.
class TestScale : public ProcStandardOut {
 public:
  explicit TestScale(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  float factor = 2.0f;
};

// Output = input 1 + input 2, for two inputs of one type.
class TestAdd : public ProcStandardOut {
 public:
  explicit TestAdd(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

}  // namespace kandrel::testing
