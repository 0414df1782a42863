// ProcStereoMatching: the disparity map of a rectified stereo pair (input 1 left, input 2 right,
// 8-bit grey in Int 1ch) by OpenCV's block matcher, in pixels as Float 1ch. The record holds the
// matcher's parameters in the order of the old C state structure's first eight fields.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kStereoMatchingProcessId = 10048;

class ProcStereoMatching : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t preFilterType = 0;  // 0: normalised response, 1: x Sobel
    std::int32_t preFilterSize = 9;
    std::int32_t preFilterCap = 30;
    std::int32_t SADWindowSize = 15;
    std::int32_t minDisparity = 0;
    std::int32_t numberOfDisparities = 64;
    std::int32_t textureThreshold = 10;
    std::int32_t uniquenessRatio = 15;
    template <class F>
    void Fields(F& f) {
      f.I32(preFilterType);
      f.I32(preFilterSize);
      f.I32(preFilterCap);
      f.I32(SADWindowSize);
      f.I32(minDisparity);
      f.I32(numberOfDisparities);
      f.I32(textureThreshold);
      f.I32(uniquenessRatio);
    }
  };

  explicit ProcStereoMatching(int processId);

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

void RegisterStereoMatchingKinds();

}  // namespace kandrel
