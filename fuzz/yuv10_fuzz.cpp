// A raw .yuv10 frame of any length: short files read as zeros, long ones are cut.
#include "fuzz/fuzz_support.h"
#include "io/yuv10.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  IntArray y, cr, cb;
  ReadYUV10(y, cr, cb, fuzz::InputFile(data, size, ".yuv10"));
  return 0;
}
