// Full-precision TIFF dumps: bit-exact round trips of all six types, the type probe, files that
// other writers lay out differently (several strips, compression), and refusal of files that do
// not fit the image or are truncated or hostile.
#include "image/tiff_dump.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "image/byte_stream.h"
#include "image/image.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

float FloatBits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// Distinct per position, with the values a lossy path would disturb: NaN payloads (quiet and
// signalling, both signs), −0, infinities, denormals and the int extremes.
template <class T>
T Sample(int c, int x, int y) {
  const int n = (c * 31 + y * 7 + x) % 11;
  const int v = c * 1000 + y * 37 + x;
  if constexpr (std::is_same_v<T, int>) {
    const int specials[] = {std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), -1,
                            0};
    return n < 4 ? specials[n] : v * (n % 2 ? -9973 : 9973);
  } else {
    const float specials[] = {FloatBits(0x7FC01234),
                              FloatBits(0xFFA00001),
                              FloatBits(0x7F800001),
                              -0.0f,
                              std::numeric_limits<float>::infinity(),
                              -3e38f,
                              FloatBits(0x00000003)};
    const float f = n < 7 ? specials[n] : static_cast<float>(v) / 7.0f;
    if constexpr (std::is_same_v<T, float>)
      return f;
    else
      return {f, n < 7 ? -static_cast<float>(v) / 3.0f : specials[(n + c) % 7]};
  }
}

template <class L>
void FillPattern(L& image, int width, int height) {
  image.Resize(width, height);
  for (int c = 0; c < L::kChannels; ++c)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) image.channels[c][y][x] = Sample<typename L::Sample>(c, x, y);
}

template <class L>
bool SameBits(const L& a, const L& b) {
  for (int c = 0; c < L::kChannels; ++c) {
    if (!a.channels[c].SameSize(b.channels[c])) return false;
    const std::size_t bytes = a.channels[c].SampleCount() * sizeof(typename L::Sample);
    if (bytes != 0 && std::memcmp(a.channels[c].Data(), b.channels[c].Data(), bytes) != 0)
      return false;
  }
  return true;
}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

template <class T>
T Tag(const std::string& path, ttag_t tag) {
  Tiff tif(TIFFOpen(path.c_str(), "r"));
  T value{};
  EXPECT_EQ(TIFFGetField(tif.get(), tag, &value), 1) << tag;
  return value;
}

// A file laid out as another writer might: interleaved samples in strips of rowsPerStrip rows,
// optionally compressed or tiled; sampleFormat 0 leaves the tag out.
struct Layout {
  int width = 0, height = 0;
  std::uint16_t samples = 1, bits = 32, sampleFormat = SAMPLEFORMAT_IEEEFP;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
  std::uint32_t rowsPerStrip = 0;  // 0: the whole image
  std::uint16_t compression = COMPRESSION_NONE;
  bool tiled = false;
  bool bigEndian = false;
};

void WriteTiff(const std::string& path, const Layout& l, const void* pixels) {
  Tiff tif(TIFFOpen(path.c_str(), l.bigEndian ? "wb" : "wl"));
  ASSERT_NE(tif, nullptr);
  TIFF* t = tif.get();
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(l.width));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(l.height));
  TIFFSetField(t, TIFFTAG_COMPRESSION, l.compression);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, l.photometric);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, l.samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, l.bits);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, l.planar);
  if (l.sampleFormat != 0) TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, l.sampleFormat);
  const tmsize_t rowBytes = static_cast<tmsize_t>(l.width) * l.samples * l.bits / 8;
  const auto* bytes = static_cast<const std::uint8_t*>(pixels);
  if (l.tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16u);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16u);
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(t)));
    ASSERT_GE(TIFFWriteEncodedTile(t, 0, tile.data(), static_cast<tmsize_t>(tile.size())), 0);
    return;
  }
  const std::uint32_t rows =
      l.rowsPerStrip != 0 ? l.rowsPerStrip : static_cast<std::uint32_t>(l.height);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows);
  for (std::uint32_t r = 0, strip = 0; r < static_cast<std::uint32_t>(l.height);
       r += rows, ++strip) {
    const std::uint32_t n = std::min(rows, static_cast<std::uint32_t>(l.height) - r);
    std::vector<std::uint8_t> copy(bytes + r * rowBytes, bytes + (r + n) * rowBytes);
    ASSERT_GE(TIFFWriteEncodedStrip(t, strip, copy.data(), static_cast<tmsize_t>(copy.size())), 0);
  }
}

// The samples of an image interleaved per pixel, as a file stores them.
template <class L>
std::vector<typename L::Sample> Interleaved(const L& image) {
  std::vector<typename L::Sample> v;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      for (int c = 0; c < L::kChannels; ++c) v.push_back(image.channels[c][y][x]);
  return v;
}

template <class L>
void ExpectRoundTrip(const TempDir& dir, int width, int height) {
  const std::string path = dir.File("dump" + std::to_string(L::kTypeId) + ".tif");
  L image;
  FillPattern(image, width, height);
  ASSERT_EQ(SaveImageTIFF(image, path), 0);

  constexpr bool kInt = std::is_same_v<typename L::Sample, int>;
  constexpr bool kComplex = std::is_same_v<typename L::Sample, std::complex<float>>;
  EXPECT_EQ(Tag<std::uint32_t>(path, TIFFTAG_IMAGEWIDTH), static_cast<std::uint32_t>(width));
  EXPECT_EQ(Tag<std::uint32_t>(path, TIFFTAG_IMAGELENGTH), static_cast<std::uint32_t>(height));
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_COMPRESSION), COMPRESSION_NONE);
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_PHOTOMETRIC),
            L::kChannels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_SAMPLESPERPIXEL), L::kChannels);
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_BITSPERSAMPLE), kComplex ? 64 : 32);
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_PLANARCONFIG), PLANARCONFIG_CONTIG);
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_ORIENTATION), ORIENTATION_TOPLEFT);
  EXPECT_EQ(Tag<std::uint16_t>(path, TIFFTAG_SAMPLEFORMAT), kInt       ? SAMPLEFORMAT_INT
                                                            : kComplex ? SAMPLEFORMAT_COMPLEXIEEEFP
                                                                       : SAMPLEFORMAT_IEEEFP);
  {
    Tiff tif(TIFFOpen(path.c_str(), "rc"));  // as stored, without libtiff's splitting of strips
    EXPECT_EQ(TIFFNumberOfStrips(tif.get()), 1u);
  }
  EXPECT_EQ(TIFFImageType(path), L::kTypeId);

  L loaded;
  FillPattern(loaded, 2, 9);  // another size: resized
  loaded.view = {1, 1, 2, 2};
  loaded.colorSpace = kHsv;
  ASSERT_EQ(LoadImageTIFF(loaded, path), 0);
  EXPECT_TRUE(SameBits(image, loaded)) << ImageTypeName(L::kTypeId);
  EXPECT_EQ(loaded.view, (ViewRect{0, 0, width, height}));
  EXPECT_EQ(loaded.colorSpace, kHsv);  // not part of a dump
}

TEST(TiffDumpTest, EveryTypeRoundTripsBitForBit) {
  TempDir dir;
  ExpectRoundTrip<Int1Image>(dir, 7, 5);
  ExpectRoundTrip<Float1Image>(dir, 7, 5);
  ExpectRoundTrip<Complex1Image>(dir, 7, 5);
  ExpectRoundTrip<Int3Image>(dir, 7, 5);
  ExpectRoundTrip<Float3Image>(dir, 7, 5);
  ExpectRoundTrip<Complex3Image>(dir, 7, 5);
  ExpectRoundTrip<Complex3Image>(dir, 1, 1);
  ExpectRoundTrip<Float3Image>(dir, 300, 200);  // larger than the strip libtiff would choose
}

TEST(TiffDumpTest, TypeProbeMapsOnlyDumpLayouts) {
  TempDir dir;
  const std::vector<std::uint8_t> grey(6 * 4 * 2, 100);
  auto probe = [&](Layout l) {
    const std::string path = dir.File("probe.tif");
    WriteTiff(path, l, grey.data());
    return TIFFImageType(path);
  };
  EXPECT_EQ(probe({.width = 6, .height = 4, .bits = 8, .sampleFormat = 0}), 0);
  EXPECT_EQ(probe({.width = 6, .height = 4, .bits = 16, .sampleFormat = SAMPLEFORMAT_UINT}), 0);
  EXPECT_EQ(probe({.width = 3, .height = 4, .bits = 32, .sampleFormat = SAMPLEFORMAT_COMPLEXINT}),
            0);
  EXPECT_EQ(
      probe({.width = 6, .height = 2, .samples = 2, .bits = 8, .sampleFormat = SAMPLEFORMAT_INT}),
      0);
  EXPECT_EQ(probe({.width = 3, .height = 4, .bits = 32, .sampleFormat = SAMPLEFORMAT_INT}),
            kTypeInt1);
  EXPECT_EQ(probe({.width = 1,
                   .height = 2,
                   .samples = 3,
                   .sampleFormat = SAMPLEFORMAT_IEEEFP,
                   .photometric = PHOTOMETRIC_RGB}),
            kTypeFloat3);
  EXPECT_EQ(TIFFImageType(dir.File("missing.tif")), 0);
  WriteFileBytes(dir.File("text.tif"), Bytes{'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'});
  EXPECT_EQ(TIFFImageType(dir.File("text.tif")), 0);
}

// Files from other writers: several strips (the last one short), compression, and no
// RowsPerStrip tag at all (which means one strip).
template <class L>
void ExpectReadsLayout(const TempDir& dir, Layout l) {
  L source;
  FillPattern(source, l.width, l.height);
  l.samples = L::kChannels;
  l.bits = sizeof(typename L::Sample) * 8;
  l.photometric = L::kChannels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  l.sampleFormat = std::is_same_v<typename L::Sample, int>     ? SAMPLEFORMAT_INT
                   : std::is_same_v<typename L::Sample, float> ? SAMPLEFORMAT_IEEEFP
                                                               : SAMPLEFORMAT_COMPLEXIEEEFP;
  const std::string path = dir.File("layout.tif");
  WriteTiff(path, l, Interleaved(source).data());
  ASSERT_EQ(TIFFImageType(path), L::kTypeId);
  L loaded;
  ASSERT_EQ(LoadImageTIFF(loaded, path), 0)
      << "rows per strip " << l.rowsPerStrip << " compression " << l.compression;
  EXPECT_TRUE(SameBits(source, loaded))
      << "rows per strip " << l.rowsPerStrip << " compression " << l.compression;
}

TEST(TiffDumpTest, ReadsStripByStripWhateverTheStripLayout) {
  TempDir dir;
  ExpectReadsLayout<Float3Image>(dir, {.width = 5, .height = 10, .rowsPerStrip = 3});
  ExpectReadsLayout<Int1Image>(dir, {.width = 4, .height = 10, .rowsPerStrip = 1});
  ExpectReadsLayout<Complex1Image>(dir, {.width = 3, .height = 10, .rowsPerStrip = 4});
  ExpectReadsLayout<Complex3Image>(dir, {.width = 6, .height = 7, .rowsPerStrip = 20});
  ExpectReadsLayout<Float1Image>(
      dir, {.width = 9, .height = 10, .rowsPerStrip = 3, .compression = COMPRESSION_LZW});
  ExpectReadsLayout<Int3Image>(
      dir, {.width = 9, .height = 10, .rowsPerStrip = 4, .compression = COMPRESSION_ADOBE_DEFLATE});
  ExpectReadsLayout<Float3Image>(dir,
                                 {.width = 64, .height = 50, .compression = COMPRESSION_PACKBITS});
  // Uncompressed strips larger than the band that is read at a time, the last band short.
  ExpectReadsLayout<Float1Image>(dir, {.width = 700, .height = 190});
  ExpectReadsLayout<Complex3Image>(dir, {.width = 2000, .height = 25, .rowsPerStrip = 12});
  // Samples in the other byte order must be swapped, not copied.
  ExpectReadsLayout<Float3Image>(dir, {.width = 5, .height = 10, .rowsPerStrip = 3, .bigEndian = true});
  ExpectReadsLayout<Complex1Image>(dir, {.width = 6, .height = 4, .bigEndian = true});
  ExpectReadsLayout<Int3Image>(dir, {.width = 6, .height = 4, .bigEndian = true});
}

// Little-endian IFD editing on the bytes of a small dump (libtiff writes the IFD after the data).
std::uint16_t Load16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::size_t IfdOffset(const Bytes& b) { return static_cast<std::uint32_t>(LoadI32(&b[4])); }
std::size_t FindEntry(const Bytes& b, std::uint16_t tag) {
  const std::size_t ifd = IfdOffset(b);
  for (std::size_t i = 0; i < Load16(b, ifd); ++i)
    if (Load16(b, ifd + 2 + 12 * i) == tag) return ifd + 2 + 12 * i;
  return 0;
}
bool HasTag(const Bytes& b, std::uint16_t tag) { return FindEntry(b, tag) != 0; }
// Rewrites a single-valued tag as a LONG.
Bytes WithTag(Bytes b, std::uint16_t tag, std::uint32_t value) {
  const std::size_t at = FindEntry(b, tag);
  if (at == 0) {
    ADD_FAILURE() << "no tag " << tag;
    return b;
  }
  b[at + 2] = TIFF_LONG;
  b[at + 3] = 0;
  StoreI32(&b[at + 4], 1);
  StoreI32(&b[at + 8], static_cast<std::int32_t>(value));
  return b;
}
Bytes WithoutTag(Bytes b, std::uint16_t tag) {
  const std::size_t at = FindEntry(b, tag);
  const std::size_t ifd = IfdOffset(b);
  const std::uint16_t count = Load16(b, ifd);
  const std::size_t end = ifd + 2 + 12 * count;
  std::memmove(&b[at], &b[at + 12], end + 4 - (at + 12));  // entries after it and the next-IFD link
  b[ifd] = static_cast<std::uint8_t>(count - 1);
  b[ifd + 1] = static_cast<std::uint8_t>((count - 1) >> 8);
  return b;
}

// Without RowsPerStrip the whole image is one strip. Dumps are written so; libtiff splits large
// uncompressed strips as it reads, but leaves compressed ones whole.
TEST(TiffDumpTest, AMissingRowsPerStripMeansOneStrip) {
  TempDir dir;
  Float3Image image;
  FillPattern(image, 4, 6);
  ASSERT_EQ(SaveImageTIFF(image, dir.File("dump.tif")), 0);
  EXPECT_FALSE(HasTag(ReadFileBytes(dir.File("dump.tif")), TIFFTAG_ROWSPERSTRIP));

  const std::vector<float> samples = Interleaved(image);
  WriteTiff(dir.File("lzw.tif"),
            {.width = 4,
             .height = 6,
             .samples = 3,
             .photometric = PHOTOMETRIC_RGB,
             .compression = COMPRESSION_LZW},
            samples.data());
  Bytes lzw = ReadFileBytes(dir.File("lzw.tif"));
  if (HasTag(lzw, TIFFTAG_ROWSPERSTRIP)) lzw = WithoutTag(lzw, TIFFTAG_ROWSPERSTRIP);
  WriteFileBytes(dir.File("lzw.tif"), lzw);
  for (const char* name : {"dump.tif", "lzw.tif"}) {
    Float3Image loaded;
    ASSERT_EQ(LoadImageTIFF(loaded, dir.File(name)), 0) << name;
    EXPECT_TRUE(SameBits(image, loaded)) << name;
  }
}

TEST(TiffDumpTest, RefusesFilesThatDoNotFitTheImage) {
  TempDir dir;
  Float3Image rgb;
  FillPattern(rgb, 4, 3);
  Complex3Image complex;
  FillPattern(complex, 4, 3);
  ASSERT_EQ(SaveImageTIFF(rgb, dir.File("rgb.tif")), 0);
  ASSERT_EQ(SaveImageTIFF(complex, dir.File("complex.tif")), 0);
  const std::vector<float> floats(4 * 3 * 3, 0.5f);
  WriteTiff(dir.File("planar.tif"),
            {.width = 4,
             .height = 3,
             .samples = 3,
             .photometric = PHOTOMETRIC_RGB,
             .planar = PLANARCONFIG_SEPARATE},
            floats.data());
  WriteTiff(dir.File("grey3.tif"), {.width = 4, .height = 3, .samples = 3}, floats.data());
  WriteTiff(dir.File("tiled.tif"), {.width = 4, .height = 3, .tiled = true}, floats.data());
  WriteTiff(dir.File("bytes.tif"), {.width = 4, .height = 3, .bits = 8, .sampleFormat = 0},
            floats.data());

  Float1Image grey;
  FillPattern(grey, 2, 2);
  Float1Image before;
  before.channels = grey.channels;
  for (const char* name : {"rgb.tif", "grey3.tif", "tiled.tif", "bytes.tif", "missing.tif"}) {
    grey.view = {1, 1, 1, 1};
    EXPECT_EQ(LoadImageTIFF(grey, dir.File(name)), -1) << name;
    EXPECT_TRUE(SameBits(grey, before)) << name;  // a refused file changes no sample
    EXPECT_EQ(grey.view, (ViewRect{0, 0, 2, 2})) << name;
  }
  Float3Image colour;
  EXPECT_EQ(LoadImageTIFF(colour, dir.File("complex.tif")), -1);
  EXPECT_EQ(LoadImageTIFF(colour, dir.File("planar.tif")), -1);
  Int3Image ints;
  EXPECT_EQ(LoadImageTIFF(ints, dir.File("complex.tif")), -1);
}

TEST(TiffDumpTest, WritesNothingForImagesWithoutOneLayout) {
  TempDir dir;
  Int3Image subsampled;  // 4:2:2 chroma, as the YUV10 reader delivers
  subsampled.channels[0].Resize(8, 4);
  subsampled.channels[1].Resize(4, 4);
  subsampled.channels[2].Resize(4, 4);
  EXPECT_EQ(SaveImageTIFF(subsampled, dir.File("yuv.tif")), -1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("yuv.tif")));
  EXPECT_EQ(SaveImageTIFF(Float1Image(), dir.File("empty.tif")), -1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("empty.tif")));
  Float1Image one;
  one.Resize(1, 1);
  one.Fill(1);
  EXPECT_EQ(SaveImageTIFF(one, dir.File("no/such/dir.tif")), -1);
}

TEST(TiffDumpTest, TruncatedAndHostileFilesAreRefused) {
  TempDir dir;
  Complex3Image image;
  FillPattern(image, 3, 2);
  const std::string good = dir.File("good.tif");
  ASSERT_EQ(SaveImageTIFF(image, good), 0);
  const Bytes bytes = ReadFileBytes(good);
  const std::string bad = dir.File("bad.tif");

  for (std::size_t n = 0; n < bytes.size(); ++n) {
    WriteFileBytes(bad, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)));
    Complex3Image loaded;
    const int result = LoadImageTIFF(loaded, bad);
    // Only the link to a next directory may be missing from a file that still loads.
    if (result == 0)
      EXPECT_TRUE(SameBits(image, loaded)) << "prefix " << n;
    else
      EXPECT_EQ(result, -1) << "prefix " << n;
    EXPECT_LE(TIFFImageType(bad), kTypeComplex3);
  }
  // Every byte damaged in turn: no crash, and a failed load into an image of the same size
  // leaves it either untouched or empty, never half overwritten.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    Bytes damaged = bytes;
    damaged[i] ^= 0xA5;
    WriteFileBytes(bad, damaged);
    Complex3Image loaded;
    loaded.Resize(image.Width(), image.Height());
    loaded.Fill(7);
    Complex3Image untouched;
    untouched.Resize(image.Width(), image.Height());
    untouched.Fill(7);
    const int result = LoadImageTIFF(loaded, bad);
    EXPECT_TRUE(result == 0 || result == -1);
    if (result == -1 && loaded.Width() != 0) {
      EXPECT_TRUE(SameBits(untouched, loaded)) << "byte " << i;
    }
    EXPECT_EQ(loaded.view, (ViewRect{0, 0, loaded.Width(), loaded.Height()}));
  }

  // Dimensions and strips that promise far more than the file holds (ASan would stop a huge
  // allocation). libtiff may repair a single strip's byte count; the samples must then be right.
  std::vector<Bytes> hostile = {
      WithTag(WithTag(bytes, TIFFTAG_IMAGEWIDTH, 0x7FFFFFFF), TIFFTAG_IMAGELENGTH, 0x7FFFFFFF),
      WithTag(WithTag(bytes, TIFFTAG_IMAGEWIDTH, 100000), TIFFTAG_IMAGELENGTH, 100000),
      WithTag(bytes, TIFFTAG_IMAGEWIDTH, 0xFFFFFFFF),
      WithTag(bytes, TIFFTAG_IMAGELENGTH, 0x80000000),
      WithTag(bytes, TIFFTAG_STRIPBYTECOUNTS, 10),
      WithTag(bytes, TIFFTAG_STRIPBYTECOUNTS, 0xFFFFFFF0),
      WithTag(bytes, TIFFTAG_STRIPOFFSETS, 0x7FFFFFF0),
      WithTag(bytes, TIFFTAG_STRIPOFFSETS, static_cast<std::uint32_t>(bytes.size() - 20)),
      WithTag(bytes, TIFFTAG_SAMPLESPERPIXEL, 1),
      WithTag(bytes, TIFFTAG_COMPRESSION, COMPRESSION_LZW),
      WithTag(bytes, TIFFTAG_BITSPERSAMPLE, 8),
  };
  // A compressed strip may expand, but not to a billion rows from a few hundred bytes.
  const std::vector<float> samples(4 * 6 * 3 * 2, 0.5f);
  WriteTiff(bad,
            {.width = 4,
             .height = 6,
             .samples = 3,
             .bits = 64,
             .sampleFormat = SAMPLEFORMAT_COMPLEXIEEEFP,
             .photometric = PHOTOMETRIC_RGB,
             .compression = COMPRESSION_ADOBE_DEFLATE},
            samples.data());
  hostile.push_back(WithTag(ReadFileBytes(bad), TIFFTAG_IMAGELENGTH, 1 << 30));
  hostile.push_back(WithTag(hostile.back(), TIFFTAG_ROWSPERSTRIP, 1 << 30));
  for (std::size_t i = 0; i < hostile.size(); ++i) {
    WriteFileBytes(bad, hostile[i]);
    Complex3Image loaded;
    if (LoadImageTIFF(loaded, bad) == 0)
      EXPECT_TRUE(SameBits(image, loaded)) << "hostile file " << i;
    else
      EXPECT_EQ(loaded.Width(), 0) << "hostile file " << i;
  }
}

}  // namespace
}  // namespace kandrel::testing
