// The picture codec: every kind of picture file the reader accepts becomes 8-bit R, G, B planes,
// and planes written as a BMP come back unchanged.
#include "image/picture.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <utility>

#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb PixelOf(const std::string& path, int x, int y) {
  Picture picture;
  EXPECT_TRUE(picture.Load(path)) << path;
  IntArray r, g, b;
  PictureToPlanes(picture, r, g, b);
  if (x >= r.Width() || y >= r.Height()) return {-1, -1, -1};
  return {r[y][x], g[y][x], b[y][x]};
}

TEST(PictureTest, PlanesSurviveABmpRoundTrip) {
  TempDir dir;
  // The second picture is large enough to be filled in row bands.
  for (const auto& [width, height] : {std::pair{5, 3}, std::pair{601, 300}}) {
    ByteArray p0(width, height), p1(width, height), p2(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        p0[y][x] = static_cast<unsigned char>(x * 50);
        p1[y][x] = static_cast<unsigned char>(y * 100);
        p2[y][x] = static_cast<unsigned char>(255 - x - y);
      }
    Picture picture;
    PlanesToPicture(p0, p1, p2, picture);
    ASSERT_TRUE(picture.SaveBmp(dir.File("a.bmp")));
    Picture loaded;
    ASSERT_TRUE(loaded.Load(dir.File("a.bmp")));
    IntArray r, g, b;
    PictureToPlanes(loaded, r, g, b);
    ASSERT_EQ(r.Width(), width);
    ASSERT_EQ(r.Height(), height);
    int mismatches = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        mismatches += r[y][x] != p0[y][x] || g[y][x] != p1[y][x] || b[y][x] != p2[y][x];
    EXPECT_EQ(mismatches, 0) << width << " x " << height;
  }
}

TEST(PictureTest, PaletteGreySixteenBitAndAlphaPngsGiveEightBitRgb) {
  TempDir dir;
  QImage palette(2, 1, QImage::Format_Indexed8);
  palette.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
  palette.setPixel(0, 0, 1);
  palette.setPixel(1, 0, 0);
  ASSERT_TRUE(palette.save(QString::fromStdString(dir.File("palette.png"))));
  EXPECT_EQ(PixelOf(dir.File("palette.png"), 0, 0), (Rgb{200, 100, 50}));
  EXPECT_EQ(PixelOf(dir.File("palette.png"), 1, 0), (Rgb{10, 20, 30}));

  QImage grey(1, 1, QImage::Format_Grayscale8);
  grey.fill(77);
  ASSERT_TRUE(grey.save(QString::fromStdString(dir.File("grey.png"))));
  EXPECT_EQ(PixelOf(dir.File("grey.png"), 0, 0), (Rgb{77, 77, 77}));

  QImage deep(1, 1, QImage::Format_RGBX64);
  deep.setPixelColor(0, 0, QColor::fromRgba64(0xFFFF, 0x8080, 0x0000));
  ASSERT_TRUE(deep.save(QString::fromStdString(dir.File("deep.png"))));
  EXPECT_EQ(PixelOf(dir.File("deep.png"), 0, 0), (Rgb{255, 128, 0}));

  QImage alpha(1, 1, QImage::Format_ARGB32);
  alpha.setPixel(0, 0, qRgba(40, 80, 120, 10));
  ASSERT_TRUE(alpha.save(QString::fromStdString(dir.File("alpha.png"))));
  EXPECT_EQ(PixelOf(dir.File("alpha.png"), 0, 0), (Rgb{40, 80, 120}));
}

TEST(PictureTest, JpegAndTheFirstFrameOfAnAnimatedGif) {
  TempDir dir;
  QImage flat(8, 8, QImage::Format_RGB32);
  flat.fill(qRgb(0, 0, 255));
  ASSERT_TRUE(flat.save(QString::fromStdString(dir.File("flat.jpg")), "JPEG", 100));
  const Rgb jpeg = PixelOf(dir.File("flat.jpg"), 4, 4);
  EXPECT_LE(std::abs(jpeg.r - 0) + std::abs(jpeg.g - 0) + std::abs(jpeg.b - 255), 6);

  // Two 1 × 1 frames over a red/blue palette: red first, then blue.
  const std::vector<std::uint8_t> gif = {
      'G',  'I',  'F',  '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,    0xFF, 0x00, 0x00, 0x00,
      0x00, 0xFF, 0x2C, 0,   0,   0,   0, 1, 0, 1, 0,    0, 2,    2,    0x44, 0x01, 0,
      0x2C, 0,    0,    0,   0,   1,   0, 1, 0, 0, 2,    2, 0x4C, 0x01, 0,    0x3B};
  WriteFileBytes(dir.File("two.gif"), gif);
  EXPECT_EQ(PixelOf(dir.File("two.gif"), 0, 0), (Rgb{255, 0, 0}));
}

TEST(PictureTest, FilesThatAreNoPicturesAreRefused) {
  TempDir dir;
  WriteFileBytes(dir.File("broken.png"), {0x89, 'P', 'N', 'G', 1, 2, 3});
  Picture picture;
  EXPECT_FALSE(picture.Load(dir.File("broken.png")));
  EXPECT_FALSE(picture.Load(dir.File("missing.png")));
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_FALSE(picture.SaveBmp(dir.File("empty.bmp")));
}

}  // namespace
}  // namespace kandrel::testing
