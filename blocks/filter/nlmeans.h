// Non-local means denoising: every pixel becomes the mean of the pixels in a search window around
// it, each weighted by how alike the B × B blocks around the two are. Block distances come, for
// one displacement at a time, from an integral image of squared sample differences, so the cost
// does not grow with the block size. Int images use integer sums and a 161-step weight table,
// Float images the exponential; other types go through those two handlers. A channel is
// filtered in bands of rows on threads of their own, each band in tiles that stay in cache.
//
// Block distances are summed in unsigned 64-bit (32-bit where that cannot overflow) integers,
// exactly on both paths: a sample's difference is capped where its block would weigh nothing
// anyway (see nlmeans.cpp). The Int divisor n = trunc(h²·B²) saturates at the int32 limit, the
// accumulators are 64-bit, and the quotient, a weighted mean of int32 samples, always fits an
// int32. Records the arithmetic cannot run (sizes outside 1..2047, h not finite, h²·B² below 1)
// fail the frame with a message. The Verilog HParam is h truncated toward zero, saturating at
// the int32 limits (NaN gives 0).
#pragma once

#include <cstdint>
#include <string>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kNLMeansProcessId = 10072;
// Blocks and search windows at most this wide keep every sum within 64 bits.
constexpr int kMaxNLMeansSize = 2047;

class ProcNLMeans : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t blockSize = 5;   // B, meant to be odd
    std::int32_t searchSize = 7;  // displacements −S..S with S = searchSize div 2
    double h = 10.0;              // strength: larger values smooth more
    template <class F>
    void Fields(F& f) {
      f.I32(blockSize);
      f.I32(searchSize);
      f.F64(h);
    }
    // h²·B², the divisor of every block distance.
    double Spread() const;
    // Why the record cannot be run, as the dialog says it; empty when it can.
    std::string Problem() const;
  };

  explicit ProcNLMeans(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  void WriteVerilogParams(std::vector<std::string>& lines,
                          const std::string& instance) const override;

  Params params;
};

void RegisterNLMeansKinds();

}  // namespace kandrel
