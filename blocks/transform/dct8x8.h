// ProcDCT8x8: the blockwise 8 × 8 DCT of image coding in integer fixed-point arithmetic. The
// forward direction transforms each whole block and quantises every coefficient by its step
// (table entry × scale, halves rounded away from zero); the inverse direction dequantises and
// transforms back. The matrix is 2^12·√8 times the orthonormal DCT-II and the two passes shift by
// 12 and 15 bits, so the coefficients are those of the orthonormal transform (DC = 8 × the block
// mean). Samples outside whole blocks are copied from the input. No sample value can overflow:
// blocks of samples within ±8191 are summed in int32, where that is safe, all others in 64 bits;
// the quantised coefficients (forward), the dequantised coefficients before the transform and
// the samples after it (inverse) saturate to the int32 range.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kDct8x8ProcessId = 10006;
constexpr int kDctBlockSize = 8;

// Quantiser steps by [row = vertical frequency][column = horizontal frequency].
using QuantTable = std::array<std::array<std::int32_t, kDctBlockSize>, kDctBlockSize>;

constexpr QuantTable FilledQuantTable(std::int32_t step) {
  QuantTable table{};
  for (auto& row : table) row.fill(step);
  return table;
}

// The default intra quantiser matrix of MPEG-1 and MPEG-2 video.
constexpr QuantTable kMpegIntraQuantTable = {{
    {8, 16, 19, 22, 26, 27, 29, 34},
    {16, 16, 22, 24, 27, 29, 34, 37},
    {19, 22, 26, 27, 29, 34, 34, 38},
    {22, 22, 26, 27, 29, 34, 37, 40},
    {22, 26, 27, 29, 32, 35, 40, 48},
    {26, 27, 29, 32, 35, 40, 48, 58},
    {26, 27, 29, 34, 38, 46, 56, 69},
    {27, 29, 35, 38, 46, 56, 69, 83},
}};

// Why the dialog refuses, and the frame fails, on a step outside 1..INT32_MAX.
inline constexpr const char* kQuantStepRefusedText =
    "量子化テーブル×Qスケールが 1～2147483647 を超えます。";

class ProcDCT8x8 : public ProcStandardOut {
 public:
  struct Params {
    QuantTable quantTable = FilledQuantTable(1);
    std::int32_t qScale = 1;
    std::int32_t inverse = 0;  // 0: transform and quantise; otherwise dequantise and invert
    template <class F>
    void Fields(F& f) {
      for (auto& row : quantTable)
        for (std::int32_t& step : row) f.I32(step);
      f.I32(qScale);
      f.I32(inverse);
    }
    // quantTable × qScale; nothing when a step is outside 1..INT32_MAX (a zero step would divide
    // by zero, a negative one turns the coefficients over).
    std::optional<QuantTable> Steps() const;
  };

  explicit ProcDCT8x8(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

void RegisterDct8x8Kinds();

}  // namespace kandrel
