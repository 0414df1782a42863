// The YUV10 reader against a bit-stream packer of the 4:2:2 sample sequence, the chroma offset,
// and files that are short, empty or missing.
#include "io/yuv10.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Frame {
  IntArray y{1920, 1080}, cb{960, 1080}, cr{960, 1080};  // raw 10-bit samples
};

// Each row is the sequence Cb Y Cr Y per pixel pair, 10 bits a sample, most significant bit
// first, with two unused bits after every third sample.
Bytes Pack(const Frame& frame) {
  Bytes bytes;
  std::uint64_t pending = 0;
  int pendingBits = 0;
  int samples = 0;
  auto put = [&](int value, int bits) {
    pending = pending << bits | static_cast<std::uint64_t>(value);
    for (pendingBits += bits; pendingBits >= 8; pendingBits -= 8)
      bytes.push_back(static_cast<std::uint8_t>(pending >> (pendingBits - 8)));
  };
  auto sample = [&](int value) {
    put(value, 10);
    if (++samples % 3 == 0) put(0, 2);
  };
  for (int row = 0; row < 1080; ++row)
    for (int pair = 0; pair < 960; ++pair) {
      sample(frame.cb[row][pair]);
      sample(frame.y[row][2 * pair]);
      sample(frame.cr[row][pair]);
      sample(frame.y[row][2 * pair + 1]);
    }
  return bytes;
}

// Index of the first sample where read differs from expected − offset, or -1.
std::ptrdiff_t FirstDifference(const IntArray& read, const IntArray& expected, int offset) {
  if (!read.SameSize(expected)) return 0;
  for (std::size_t i = 0; i < read.SampleCount(); ++i)
    if (read.Data()[i] != expected.Data()[i] - offset) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

TEST(Yuv10Test, BlocksUnpackIntoLumaAndOffsetChroma) {
  Frame frame;
  std::mt19937 random(3);
  for (IntArray* plane : {&frame.y, &frame.cb, &frame.cr})
    for (int& sample : *plane) sample = static_cast<int>(random() % 1024);
  frame.y[0][0] = 0;
  frame.cb[0][0] = 0;
  frame.y[1079][1919] = 1023;
  frame.cr[1079][959] = 1023;
  TempDir dir;
  const Bytes bytes = Pack(frame);
  ASSERT_EQ(bytes.size(), 5529600u);
  WriteFileBytes(dir.File("frame.yuv10"), bytes);
  IntArray y, cr, cb;
  ASSERT_EQ(ReadYUV10(y, cr, cb, dir.File("frame.yuv10")), 0);
  EXPECT_EQ(FirstDifference(y, frame.y, 0), -1);
  EXPECT_EQ(FirstDifference(cr, frame.cr, 512), -1);
  EXPECT_EQ(FirstDifference(cb, frame.cb, 512), -1);
  EXPECT_EQ(cb[0][0], -512);
  EXPECT_EQ(cr[1079][959], 511);
}

TEST(Yuv10Test, ShortFilesReadZeroBytesForTheMissingBlocks) {
  TempDir dir;
  // A full first row of zero bytes, then half a block: Cb 512, Y 128, Cr 512 and Y1 Cb1 Y2 = 1 2 3.
  Bytes bytes = {0x80, 0x08, 0x08, 0x00, 0x00, 0x40, 0x20, 0x0c};
  bytes.insert(bytes.begin(), 5120, 0);
  WriteFileBytes(dir.File("short.yuv10"), bytes);
  IntArray y, cr, cb;
  ASSERT_EQ(ReadYUV10(y, cr, cb, dir.File("short.yuv10")), 0);
  EXPECT_EQ(y[0][0], 0);
  EXPECT_EQ(cb[0][959], -512);
  EXPECT_EQ(cr[0][0], -512);
  EXPECT_EQ(cb[1][0], 0);
  EXPECT_EQ(y[1][0], 128);
  EXPECT_EQ(cr[1][0], 0);
  EXPECT_EQ(y[1][1], 1);
  EXPECT_EQ(cb[1][1], 2 - 512);
  EXPECT_EQ(y[1][2], 3);
  EXPECT_EQ(cr[1][1], -512);
  EXPECT_EQ(y[1][5], 0);
  EXPECT_EQ(y[1079][1919], 0);
  EXPECT_EQ(cr[1079][959], -512);

  WriteFileBytes(dir.File("empty.yuv10"), {});
  ASSERT_EQ(ReadYUV10(y, cr, cb, dir.File("empty.yuv10")), 0);
  EXPECT_EQ(y[1][0], 0);
  EXPECT_EQ(cb[1][0], -512);

  IntArray untouched;
  EXPECT_EQ(ReadYUV10(untouched, cr, cb, dir.File("missing.yuv10")), -1);
  EXPECT_EQ(untouched.Width(), 0);
}

}  // namespace
}  // namespace kandrel::testing
