// ProcPSNR: the measuring sink that compares its two inputs frame by frame and adds one line to
// its result list per frame: the frame number (optionally), then the peak signal-to-noise ratio
// in dB of every selected channel, each image normalised by its own peak (white level).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process/proc_virtual.h"

namespace kandrel {

constexpr int kPsnrProcessId = 10050;

class ProcPSNR : public ProcVirtual {
 public:
  struct Params {
    std::int32_t showFrameNumber = 1;
    std::int32_t channelEnabled[3] = {1, 1, 1};
    double peak1 = 255.0;
    double peak2 = 255.0;
    template <class F>
    void Fields(F& f) {
      f.I32(showFrameNumber);
      for (std::int32_t& enabled : channelEnabled) f.I32(enabled);
      f.F64(peak1);
      f.F64(peak2);
    }
  };

  explicit ProcPSNR(int processId);

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  const std::vector<std::string>& Results() const { return results_; }
  void ClearResults() { results_.clear(); }
  // The list as a text file of one line per frame; false (with a message) when it cannot be
  // written. The earlier file of that name is replaced only by a complete one.
  bool SaveResults(const std::string& path) const;

  Params params;

 private:
  // Appends the measurement of a against b to line: "dd.dd, ", "∞   , " or "SizeErr, ".
  template <class T>
  void Measure(const Array2D<T>& a, const Array2D<T>& b, std::string& line) const;

  std::vector<std::string> results_;
};

void RegisterPsnrKinds();

}  // namespace kandrel
