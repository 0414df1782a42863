// Byte streams: the little-endian field helpers, reads that run short, and memory and file
// streams behaving alike.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "image/byte_stream.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ByteStreamTest, FieldsAreLittleEndian) {
  MemoryStream s;
  WriteI8(s, -1);
  WriteI32(s, 0x01020304);
  WriteI32(s, -2);
  WriteF32(s, 1.0f);
  WriteF64(s, -2.0);
  EXPECT_EQ(s.Bytes(), (Bytes{0xFF, 4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0x80, 0x3F,
                              0, 0, 0, 0, 0, 0, 0, 0xC0}));
  s.Seek(0);
  EXPECT_EQ(ReadI8(s), -1);
  EXPECT_EQ(ReadI32(s), 0x01020304);
  EXPECT_EQ(ReadI32(s), -2);
  EXPECT_EQ(ReadF32(s), 1.0f);
  EXPECT_EQ(ReadF64(s), -2.0);
  EXPECT_FALSE(s.Damaged());

  std::uint8_t buffer[8];
  StoreI32(buffer, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(buffer[3], 0x80);
  EXPECT_EQ(LoadI32(buffer), std::numeric_limits<std::int32_t>::min());
  StoreF32(buffer, -0.5f);
  EXPECT_EQ(LoadF32(buffer), -0.5f);
  StoreF64(buffer, 255.0);
  EXPECT_EQ(buffer[7], 0x40);
  EXPECT_EQ(buffer[6], 0x6F);
  EXPECT_EQ(LoadF64(buffer), 255.0);
}

TEST(ByteStreamTest, ShortReadsZeroFillMarkTheStreamAndReturnFallbacks) {
  MemoryStream s(Bytes{0x11, 0x22});
  std::uint8_t dst[4];
  std::memset(dst, 0xAA, sizeof dst);
  EXPECT_FALSE(s.Read(dst, sizeof dst));
  EXPECT_EQ(dst[0], 0x11);
  EXPECT_EQ(dst[1], 0x22);
  EXPECT_EQ(dst[2], 0);
  EXPECT_EQ(dst[3], 0);
  EXPECT_TRUE(s.Damaged());
  EXPECT_EQ(s.Position(), 2);

  s.ClearErrors();
  EXPECT_TRUE(s.Read(dst, 0));  // nothing asked, nothing missing
  EXPECT_FALSE(s.Damaged());
  EXPECT_EQ(ReadI32(s, 77), 77);
  EXPECT_EQ(ReadF64(s, -1.5), -1.5);
  EXPECT_EQ(ReadI8(s, 9), 9);
  EXPECT_TRUE(s.Damaged());

  // A field cut in the middle also gives the fallback, not its first bytes.
  MemoryStream cut(Bytes{1, 0, 0});
  EXPECT_EQ(ReadI32(cut, -1), -1);
  EXPECT_TRUE(cut.Damaged());
}

TEST(ByteStreamTest, MemoryStreamSeeksSkipsAndOverwrites) {
  MemoryStream s;
  WriteI32(s, 1);
  WriteI32(s, 2);
  EXPECT_EQ(s.Size(), 8);
  EXPECT_EQ(s.Remaining(), 0);
  EXPECT_FALSE(s.Seek(9));
  EXPECT_FALSE(s.Seek(-1));
  ASSERT_TRUE(s.Seek(2));
  WriteI32(s, -1);  // overwrites bytes 2..5 and keeps the rest
  EXPECT_EQ(s.Bytes(), (Bytes{1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
  WriteI32(s, 0x0A0B0C0D);  // runs past the end and extends
  EXPECT_EQ(s.Size(), 10);

  ASSERT_TRUE(s.Seek(0));
  EXPECT_TRUE(s.Skip(4));
  EXPECT_TRUE(s.Skip(0));
  EXPECT_TRUE(s.Skip(-3));  // never backwards
  EXPECT_EQ(s.Position(), 4);
  EXPECT_EQ(s.Remaining(), 6);
  EXPECT_FALSE(s.Damaged());
  EXPECT_FALSE(s.Skip(7));
  EXPECT_EQ(s.Position(), 10);
  EXPECT_TRUE(s.Damaged());

  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_FALSE(s.Damaged());
}

TEST(ByteStreamTest, FileStreamWritesClosesAndReadsBack) {
  TempDir dir;
  const std::string path = dir.File("fields.bin");
  {
    FileStream out;
    ASSERT_TRUE(out.Open(path, FileStream::Mode::kWrite));
    WriteI32(out, 0x01020304);
    WriteF64(out, 0.5);
    EXPECT_EQ(out.Size(), 12);
    ASSERT_TRUE(out.Seek(0));
    WriteI8(out, 9);  // rewriting the start keeps the size
    EXPECT_EQ(out.Size(), 12);
    EXPECT_TRUE(out.Close());
    EXPECT_FALSE(out.IsOpen());
  }
  const Bytes written = ReadFileBytes(path);
  ASSERT_EQ(written.size(), 12u);
  EXPECT_EQ(written[0], 9);
  EXPECT_EQ(written[1], 3);
  EXPECT_EQ(written[11], 0x3F);

  FileStream in;
  ASSERT_TRUE(in.Open(path, FileStream::Mode::kRead));
  EXPECT_EQ(in.Size(), 12);
  EXPECT_EQ(ReadI32(in), 0x01020309);
  EXPECT_EQ(ReadF64(in), 0.5);
  EXPECT_FALSE(in.Damaged());
  ASSERT_TRUE(in.Seek(10));
  EXPECT_FALSE(in.Skip(5));
  EXPECT_EQ(in.Position(), 12);
  EXPECT_TRUE(in.Damaged());
  EXPECT_EQ(ReadI32(in, 5), 5);

  // Reopening for reading starts clean.
  ASSERT_TRUE(in.Open(path, FileStream::Mode::kRead));
  EXPECT_FALSE(in.Damaged());
  EXPECT_EQ(in.Position(), 0);
}

TEST(ByteStreamTest, FileStreamFailuresAreReported) {
  TempDir dir;
  FileStream s;
  EXPECT_FALSE(s.Open(dir.File("missing.bin"), FileStream::Mode::kRead));
  EXPECT_FALSE(s.Open(dir.File("no/such/dir.bin"), FileStream::Mode::kWrite));
  WriteI32(s, 1);  // on a stream that is not open
  EXPECT_TRUE(s.WriteFailed());
  EXPECT_FALSE(s.Close());
  EXPECT_EQ(ReadI32(s, 3), 3);
  EXPECT_TRUE(s.Damaged());
}

}  // namespace
}  // namespace kandrel::testing
