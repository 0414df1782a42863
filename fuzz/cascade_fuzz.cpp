// A Haar cascade file: loaded by the detector's reset, then searched with over a small picture.
#include "blocks/analysis/haar_detect.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  fuzz::QuietHost host;
  ProcHaarDetect detector(kHaarDetectProcessId);
  detector.params.cascadePath = fuzz::InputFile(data, size, ".xml");
  detector.params.minWidth = detector.params.minHeight = 0;
  detector.Reset();
  IntArray picture(48, 40);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) picture[y][x] = (x * x + 3 * y * y) % 256;
  std::vector<DetectedRect> found;
  detector.Detect(picture, found);
  return 0;
}
