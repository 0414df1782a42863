// A super-resolution dictionary: header and tree, then a small picture enlarged through it.
#include "blocks/analysis/super_resolution.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  CSuperResolution engine;
  if (!engine.LoadDictionary(fuzz::InputFile(data, size, ".dic"))) return 0;
  FloatArray picture(9, 7);
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      picture[y][x] = static_cast<float>((x * 37 + y * 91) % 256);
  FloatArray enlarged;
  engine.Upscale(picture, enlarged);
  return 0;
}
