// Arithmetic processes: sums, differences, products and quotients of two images, a weighted sum
// of three, three single-channel images assembled into one, and the absolute value. Samples are
// combined one by one without clamping: Int results wrap like 32-bit machine arithmetic, Float
// and Complex results are single precision.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kAdderProcessId = 10022;
constexpr int kMultiAdderProcessId = 10023;
constexpr int k3chMixerProcessId = 10024;
constexpr int kMultiplierProcessId = 10040;
constexpr int kDifferenceProcessId = 10041;
constexpr int kAbsProcessId = 10042;
constexpr int kDividerProcessId = 10043;

// Input 1 + input 2. The output has input 1's size; input 2 is added where it overlaps input 1
// (anchored top-left) and input 1's samples are kept elsewhere. The same holds for the other
// two-input members.
class ProcAdder : public ProcStandardOut {
 public:
  explicit ProcAdder(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
};

// Input 1 − input 2.
class ProcDifference : public ProcStandardOut {
 public:
  explicit ProcDifference(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
};

// Input 1 × input 2; optionally gives the output a fixed white level after each frame.
class ProcMultiplier : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t recomputeWhiteLevel = 0;
    double outputWhiteLevel = 255.0;
    template <class F>
    void Fields(F& f) {
      f.I32(recomputeWhiteLevel);
      f.Zeros(4);
      f.F64(outputWhiteLevel);
    }
  };

  explicit ProcMultiplier(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// Input 1 ÷ input 2. An Int division by zero fails the frame with a message; the smallest int
// divided by −1 wraps to itself; Float follows IEEE (±infinity, NaN); a Complex zero divisor
// gives NaN in both parts. Its dialog (the multiplier's) tells the modes apart by process ID.
class ProcDivider : public ProcMultiplier {
 public:
  explicit ProcDivider(int processId);
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
};

// offset + weight1 × input 1 + weight2 × input 2 + weight3 × input 3, at input 1's size; each
// term only where its input overlaps.
class ProcMultiAdder : public ProcStandardOut {
 public:
  struct Params {
    double weight1 = 0.5;
    double weight2 = 0.5;
    double weight3 = 0.0;
    double offset = 0.0;
    template <class F>
    void Fields(F& f) {
      f.F64(weight1);
      f.F64(weight2);
      f.F64(weight3);
      f.F64(offset);
    }
  };

  explicit ProcMultiAdder(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// Three single-channel images of one type become the channels of one three-channel image; each
// channel keeps its input's own size, an unlinked input gives a zero channel.
class Proc3chMixer : public ProcStandardOut {
 public:
  explicit Proc3chMixer(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
};

// |x| of Int and Float images; the smallest int stays itself, as 32-bit negation wraps.
class ProcAbs : public ProcStandardOut {
 public:
  explicit ProcAbs(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

void RegisterArithmeticKinds();

}  // namespace kandrel
