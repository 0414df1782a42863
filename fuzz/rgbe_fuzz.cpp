// A Radiance .hdr file: header lines, the size line, flat and run-length scanlines.
#include "fuzz/fuzz_support.h"
#include "image/hdr_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  FloatArray r, g, b;
  double gamma = 0;
  ReadHDRPlanes(fuzz::InputFile(data, size, ".hdr"), r, g, b, gamma);
  return 0;
}
