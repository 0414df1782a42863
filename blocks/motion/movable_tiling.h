// Block motion compensation: the output is built from square blocks of the reference (input 2),
// each taken from where its motion vector (input 1, one complex (x, y) per block) says its
// content lies: the block at (dx, dy) comes from (dx − vx, dy − vy).
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kMovableTilingProcessId = 10028;
// Outputs stay within what an image window can hold.
constexpr int kMaxTiledLength = 32768;

class ProcMovableTiling : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t blockSize = 8;
    template <class F>
    void Fields(F& f) {
      f.I32(blockSize);
    }
  };

  explicit ProcMovableTiling(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

// destination = the blocks of source moved by vectors; 0 when every block lay inside the source,
// 2 at the first one that did not (the blocks after it stay 0).
template <class T>
int TileBlocks(const ComplexArray& vectors, const Array2D<T>& source, int blockSize,
               Array2D<T>& destination);

void RegisterMovableTilingKinds();

}  // namespace kandrel
