// A video file through the frame source: opened, its first and last frames decoded, stepped back.
#include "fuzz/fuzz_support.h"
#include "io/video_sampler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  ZelVideoSampler sampler;
  if (!sampler.OpenFile(fuzz::InputFile(data, size, ".avi"))) return 0;
  IntArray r, g, b;
  sampler.GetFrame(r, g, b);
  sampler.SeekToFrame(sampler.EndFrame() - 1);
  sampler.GetFrame(r, g, b);
  sampler.StepFrames(-1);
  sampler.GetFrame(r, g, b);
  return 0;
}
