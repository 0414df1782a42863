#include "io/yuv10.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace kandrel {
namespace {

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;
constexpr int kBlockPixels = 6;
constexpr int kBlockBytes = 16;
constexpr int kBlocksPerRow = kFrameWidth / kBlockPixels;
constexpr std::size_t kRowBytes = kBlocksPerRow * kBlockBytes;
constexpr int kChromaOffset = 512;

enum Plane { kY, kCr, kCb };
struct SampleSlot {
  Plane plane;
  int column;  // within the block: 0..5 for luma, 0..2 for chroma
};
// The twelve samples of a block, word by word, high bits first.
// clang-format off
constexpr std::array<SampleSlot, 12> kBlockLayout = {{
    {kCb, 0}, {kY, 0},  {kCr, 0},
    {kY, 1},  {kCb, 1}, {kY, 2},
    {kCr, 1}, {kY, 3},  {kCb, 2},
    {kY, 4},  {kCr, 2}, {kY, 5},
}};
// clang-format on

std::uint32_t LoadBigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

int ReadYUV10(IntArray& y, IntArray& cr, IntArray& cb, const std::string& fileName) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"),
                                                       &std::fclose);
  if (file == nullptr) return -1;
  y.Resize(kFrameWidth, kFrameHeight);
  cr.Resize(kFrameWidth / 2, kFrameHeight);
  cb.Resize(kFrameWidth / 2, kFrameHeight);
  std::array<std::uint8_t, kRowBytes> bytes;
  for (int row = 0; row < kFrameHeight; ++row) {
    // Whatever a short file lacks reads as zero bytes.
    const std::size_t got = std::fread(bytes.data(), 1, kRowBytes, file.get());
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(got), bytes.end(), std::uint8_t{0});
    int* const planes[3] = {y[row], cr[row], cb[row]};
    for (int block = 0; block < kBlocksPerRow; ++block) {
      const std::uint8_t* b = &bytes[static_cast<std::size_t>(block) * kBlockBytes];
      for (std::size_t k = 0; k < kBlockLayout.size(); ++k) {
        const std::uint32_t word = LoadBigEndian32(b + 4 * (k / 3));
        const int sample = static_cast<int>(word >> (22 - 10 * (k % 3)) & 1023);
        const SampleSlot slot = kBlockLayout[k];
        if (slot.plane == kY)
          planes[kY][kBlockPixels * block + slot.column] = sample;
        else
          planes[slot.plane][kBlockPixels / 2 * block + slot.column] = sample - kChromaOffset;
      }
    }
  }
  return 0;
}

}  // namespace kandrel
