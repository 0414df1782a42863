// A picture file (BMP, JPEG, PNG or GIF, whatever its bytes say) through the still-image reader.
#include "fuzz/fuzz_support.h"
#include "io/read_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  fuzz::QuietHost host;
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(fuzz::InputFile(data, size, ".bmp"));
  reader.Reset();
  return 0;
}
