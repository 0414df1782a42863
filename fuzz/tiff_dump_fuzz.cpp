// A TIFF dump as the reader meets it: typed from its tags, then read into an image of that type.
#include "fuzz/fuzz_support.h"
#include "image/image.h"
#include "image/tiff_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  const std::string path = fuzz::InputFile(data, size, ".tif");
  const int type = TIFFImageType(path);
  if (type == kTypeUnknown) return 0;
  std::unique_ptr<Image> image = CreateImage(type);
  if (image != nullptr) LoadImageTIFF(*image, path);
  return 0;
}
