// Block motion estimation by exhaustive block matching: for every block of the current frame
// (input 1) the displacement within ±searchRange that minimises the sum of absolute differences
// against the reference (input 2), written as one complex sample (x, y) of the vector field.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kMotionSearchProcessId = 10027;

class ProcMotionSearch : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t blockStep = 8;
    std::int32_t blockSize = 8;
    std::int32_t searchRange = 8;
    std::int32_t algorithm = 0;  // full search, the only one
    template <class F>
    void Fields(F& f) {
      f.I32(blockStep);
      f.I32(blockSize);
      f.I32(searchRange);
      f.I32(algorithm);
    }
  };

  explicit ProcMotionSearch(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// The vector field of current against reference (same size, at least one block).
template <class T>
void SearchMotion(const Array2D<T>& current, const Array2D<T>& reference,
                  const ProcMotionSearch::Params& p, ComplexArray& field);

void RegisterMotionSearchKinds();

}  // namespace kandrel
