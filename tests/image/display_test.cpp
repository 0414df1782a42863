// The image display: how each image type, colour space and channel selection becomes the
// 8-bit picture, what a refresh without recompute reuses, the dimmed surroundings of the view,
// the blinking outline, and the texts beside the picture.
#include "image/display.h"

#include <gtest/gtest.h>

#include <cmath>

#include "image/color_convert.h"
#include "image/conversions.h"
#include "image/image.h"
#include "image/resample.h"

namespace kandrel::testing {
namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb PixelAt(const Picture& picture, int x, int y) {
  const std::uint8_t* p = picture.ScanLine(y) + 4 * x;
  return {p[2], p[1], p[0]};
}

// The display levels MapToDisplayLevels gives one plane of the image's attributes.
template <class T>
ByteArray Levels(const Array2D<T>& plane, const Image& image, bool absolute = true) {
  ByteArray out;
  const ViewRect& v = image.view;
  if constexpr (std::is_same_v<T, int>)
    MapToDisplayLevels(plane, TruncateToInt(image.whiteLevel), absolute, v.left, v.top, v.right,
                       v.bottom, out, image.gamma);
  else
    MapToDisplayLevels(plane, image.whiteLevel, absolute, v.left, v.top, v.right, v.bottom, out,
                       image.gamma);
  return out;
}

void ExpectPictureShows(const ImageDisplay& display, const ByteArray& r, const ByteArray& g,
                        const ByteArray& b) {
  const Picture& picture = display.GetPicture();
  ASSERT_EQ(picture.Width(), r.Width());
  ASSERT_EQ(picture.Height(), r.Height());
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x)
      ASSERT_EQ(PixelAt(picture, x, y), (Rgb{r[y][x], g[y][x], b[y][x]})) << x << "," << y;
}

template <class L>
void FillRamp(L& image, int width, int height, typename L::Sample scale) {
  image.Resize(width, height);
  for (int c = 0; c < L::kChannels; ++c)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        image.channels[c][y][x] =
            scale * static_cast<typename L::Sample>((x * 37 + y * 11 + c * 50) % 256);
}

TEST(ImageDisplayTest, RgbChannelsAreToneMappedAndCanBeSwitchedOff) {
  Int3Image image;
  FillRamp(image, 7, 5, 1);
  image.gamma = 2.2;
  ImageDisplay display(image);
  display.Refresh(true);
  ExpectPictureShows(display, Levels(image.channels[0], image), Levels(image.channels[1], image),
                     Levels(image.channels[2], image));

  // A switched-off channel shows as 0 (black in its component), the others are untouched.
  display.SetChannelShown(1, false);
  display.Refresh(true);
  IntArray zero(7, 5);
  std::fill(zero.begin(), zero.end(), 0);
  ExpectPictureShows(display, Levels(image.channels[0], image), Levels(zero, image),
                     Levels(image.channels[2], image));

  // Float images take the float tone mapping with their own white level; 1.0 at white 1 is 255.
  Float3Image f;
  FillRamp(f, 4, 3, 1.0f / 255);
  f.whiteLevel = 1;
  f.channels[0][0][0] = 1.0f;
  ImageDisplay floats(f);
  floats.Refresh(true);
  ExpectPictureShows(floats, Levels(f.channels[0], f), Levels(f.channels[1], f),
                     Levels(f.channels[2], f));
  EXPECT_EQ(PixelAt(floats.GetPicture(), 0, 0).r, 255);
}

TEST(ImageDisplayTest, OneChannelImagesAreGrey) {
  Int1Image image;
  FillRamp(image, 6, 2, 1);
  image.channels[0][1][5] = -200;  // mirrored with "Abs.", black without
  ImageDisplay display(image);
  display.Refresh(true);
  const ByteArray grey = Levels(image.channels[0], image);
  ExpectPictureShows(display, grey, grey, grey);
  display.SetAbsolute(false);
  display.Refresh(false);
  EXPECT_EQ(PixelAt(display.GetPicture(), 5, 1), (Rgb{0, 0, 0}));
  EXPECT_FALSE(display.ColorSpaceSelectable());
  EXPECT_FALSE(display.ChannelsSelectable());

  Float1Image f;
  FillRamp(f, 3, 3, 0.5f);
  ImageDisplay floats(f);
  floats.Refresh(true);
  const ByteArray fGrey = Levels(f.channels[0], f);
  ExpectPictureShows(floats, fGrey, fGrey, fGrey);
}

TEST(ImageDisplayTest, HalfWidthChromaIsWidenedAndShownInItsOriginalColours) {
  // An RGB picture whose colours change every two columns, turned into YCrCb with the chroma of
  // the even columns only: the YUV10 layout.
  Int3Image rgb;
  FillRamp(rgb, 8, 3, 1);
  for (auto& channel : rgb.channels)
    for (int y = 0; y < 3; ++y)
      for (int x = 1; x < 8; x += 2) channel[y][x] = channel[y][x - 1];
  Int3Image ycrcb;
  IntArray fullCr, fullCb;
  RGB_YCrCb().ConvertIntArrays(rgb.channels[0], rgb.channels[1], rgb.channels[2], ycrcb.channels[0],
                               fullCr, fullCb);
  ycrcb.channels[1].Resize(4, 3);
  ycrcb.channels[2].Resize(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      ycrcb.channels[1][y][x] = fullCr[y][2 * x];
      ycrcb.channels[2][y][x] = fullCb[y][2 * x];
    }
  ycrcb.colorSpace = kYCrCb;
  ycrcb.ResetView();

  ImageDisplay display(ycrcb);
  display.Refresh(true);
  ASSERT_EQ(display.GetPicture().Width(), 8);
  // Rounding in both directions may move a component by a level or two, no more.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) {
      const Rgb shown = PixelAt(display.GetPicture(), x, y);
      EXPECT_NEAR(shown.r, rgb.channels[0][y][x], 2) << x << "," << y;
      EXPECT_NEAR(shown.g, rgb.channels[1][y][x], 2) << x << "," << y;
      EXPECT_NEAR(shown.b, rgb.channels[2][y][x], 2) << x << "," << y;
    }
  EXPECT_EQ(display.ChannelCaptions(), (std::array<std::string, 3>{"Y", "Cr", "Cb"}));
  ycrcb.colorSpace = kLab;
  EXPECT_EQ(display.ChannelCaptions(), (std::array<std::string, 3>{"L", "a", "b"}));
}

TEST(ImageDisplayTest, ComplexImagesShowMagnitudeAndOptionallyPhase) {
  Complex1Image image;
  image.Resize(3, 1);
  image.channels[0][0][0] = {0.6f, 0.8f};
  image.channels[0][0][1] = {-0.5f, 0.0f};
  image.channels[0][0][2] = {0.0f, -0.25f};
  image.whiteLevel = 1;
  image.gamma = 1;
  ImageDisplay display(image);
  EXPECT_TRUE(display.ChannelShown(0));
  EXPECT_FALSE(display.ChannelShown(1));
  EXPECT_FALSE(display.ChannelShown(2));
  EXPECT_EQ(display.ChannelCaptions(), (std::array<std::string, 3>{"絶対値", "実数Cr", "虚数Cb"}));
  EXPECT_FALSE(display.ColorSpaceSelectable());
  EXPECT_TRUE(display.ChannelsSelectable());
  display.Refresh(true);
  FloatArray magnitude;
  ComplexMagnitude(image.channels[0], magnitude);
  const ByteArray grey = Levels(magnitude, image);
  ExpectPictureShows(display, grey, grey, grey);

  // With the parts shown, the phase colours the picture: magnitude as Y, parts as Cr and Cb.
  display.SetChannelShown(1, true);
  display.SetChannelShown(2, true);
  display.Refresh(true);
  FloatArray re, im, r, g, b;
  SplitComplex(image.channels[0], re, im);
  YCrCb_RGB().ConvertFloatArrays(magnitude, re, im, r, g, b);
  ExpectPictureShows(display, Levels(r, image), Levels(g, image), Levels(b, image));
  EXPECT_NE(PixelAt(display.GetPicture(), 1, 0).r, PixelAt(display.GetPicture(), 1, 0).g);

  // Three complex channels show their magnitudes.
  Complex3Image three;
  three.Resize(2, 2);
  for (int c = 0; c < 3; ++c)
    for (auto& s : three.channels[c]) s = {0.3f * c, -0.4f};
  three.whiteLevel = 1;
  ImageDisplay threeDisplay(three);
  threeDisplay.Refresh(true);
  std::array<FloatArray, 3> m;
  for (int c = 0; c < 3; ++c) ComplexMagnitude(three.channels[c], m[c]);
  ExpectPictureShows(threeDisplay, Levels(m[0], three), Levels(m[1], three), Levels(m[2], three));
}

TEST(ImageDisplayTest, ToneMappingAloneReusesTheCachedPlanes) {
  Int3Image image;
  FillRamp(image, 5, 4, 1);
  ImageDisplay display(image);
  display.Refresh(true);
  const std::array<IntArray, 3> before = image.channels;

  // New samples without recompute: the picture still shows the old ones, with the new white
  // level and view applied.
  for (auto& channel : image.channels) std::fill(channel.begin(), channel.end(), 3);
  image.whiteLevel = 128;
  image.view = ViewRect{1, 1, 3, 3};
  display.Refresh(false);
  ExpectPictureShows(display, Levels(before[0], image), Levels(before[1], image),
                     Levels(before[2], image));
  // Outside the view everything is at half brightness of what it would show inside.
  Int3Image whole;
  whole.channels = before;
  whole.whiteLevel = 128;
  whole.ResetView();
  const ByteArray inside = Levels(before[0], whole);
  const Rgb corner = PixelAt(display.GetPicture(), 0, 0);
  EXPECT_NEAR(corner.r, inside[0][0] / 2, 1);
  EXPECT_EQ(PixelAt(display.GetPicture(), 1, 1).r, inside[1][1]);

  display.Refresh(true);
  EXPECT_EQ(PixelAt(display.GetPicture(), 1, 1), PixelAt(display.GetPicture(), 2, 2));

  // A tag with no converter keeps the last planes instead of showing something undefined.
  image.colorSpace = 9;
  const Rgb kept = PixelAt(display.GetPicture(), 2, 2);
  for (auto& channel : image.channels) std::fill(channel.begin(), channel.end(), 90);
  display.Refresh(true);
  EXPECT_EQ(PixelAt(display.GetPicture(), 2, 2), kept);
}

TEST(ImageDisplayTest, LargePicturesShowWhatTheWholePictureOperationsGive) {
  // Large enough to be refreshed in row bands on several threads, a few rows at a time; an odd
  // height so that the last step of a band is short.
  constexpr int kWidth = 640, kHeight = 251;
  Int3Image ycrcb;
  FillRamp(ycrcb, kWidth, kHeight, 4);
  for (int c = 1; c < 3; ++c) {
    ycrcb.channels[c].Resize(kWidth / 2, kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth / 2; ++x)
        ycrcb.channels[c][y][x] = (x * 7 + y * (c + 2)) % 512 - 256;
  }
  ycrcb.colorSpace = kYCrCb;
  ycrcb.whiteLevel = 1023;
  ycrcb.gamma = 2.2;
  ycrcb.view = ViewRect{100, 50, 400, 200};
  ImageDisplay display(ycrcb);
  display.SetAbsolute(false);
  display.Refresh(true);

  std::array<IntArray, 3> wide, rgb;
  wide[0] = ycrcb.channels[0];
  for (int c = 1; c < 3; ++c)
    NearestNeighbor(kWidth, kHeight).ResizeInt(ycrcb.channels[c], wide[c]);
  YCrCb_RGB().ConvertIntArrays(wide[0], wide[1], wide[2], rgb[0], rgb[1], rgb[2]);
  ExpectPictureShows(display, Levels(rgb[0], ycrcb, false), Levels(rgb[1], ycrcb, false),
                     Levels(rgb[2], ycrcb, false));

  // A channel switched off is zeros before the conversion.
  display.SetChannelShown(2, false);
  display.Refresh(true);
  std::fill(wide[2].begin(), wide[2].end(), 0);
  YCrCb_RGB().ConvertIntArrays(wide[0], wide[1], wide[2], rgb[0], rgb[1], rgb[2]);
  ExpectPictureShows(display, Levels(rgb[0], ycrcb, false), Levels(rgb[1], ycrcb, false),
                     Levels(rgb[2], ycrcb, false));

  // One float channel is grey.
  Float1Image grey;
  FillRamp(grey, kWidth, kHeight, 0.5f);
  grey.whiteLevel = 100;
  grey.view = ViewRect{-5, 10, 700, 120};
  ImageDisplay greyDisplay(grey);
  greyDisplay.Refresh(true);
  const ByteArray levels = Levels(grey.channels[0], grey);
  ExpectPictureShows(greyDisplay, levels, levels, levels);
}

TEST(ImageDisplayTest, OutlineMarksTheViewEdgesAndBlinksOnlyForAPart) {
  Int3Image image;
  FillRamp(image, 6, 5, 1);
  ImageDisplay display(image);
  display.Refresh(true);
  EXPECT_FALSE(display.Blink());  // the view is the whole picture
  EXPECT_EQ(display.BlinkPhase(), ImageDisplay::kOutlineOff);

  image.view = ViewRect{1, 1, 4, 5};
  display.Refresh(false);
  std::vector<Rgb> plain;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) plain.push_back(PixelAt(display.GetPicture(), x, y));

  ASSERT_TRUE(display.Blink());
  EXPECT_EQ(display.BlinkPhase(), ImageDisplay::kOutlineOn);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool edge = x >= 1 && x <= 3 && y >= 1 && (x == 1 || x == 3 || y == 1 || y == 4);
      const Rgb was = plain[y * 6 + x];
      const Rgb expected =
          edge ? Rgb{(was.r + 128) % 256, (was.g + 128) % 256, (was.b + 128) % 256} : was;
      EXPECT_EQ(PixelAt(display.GetPicture(), x, y), expected) << x << "," << y;
    }
  ASSERT_TRUE(display.Blink());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(PixelAt(display.GetPicture(), x, y), plain[y * 6 + x]);

  // A stale view reaching outside the picture is clipped, not drawn out of bounds.
  image.view = ViewRect{-3, 2, 60, 90};
  display.DrawOutline(ImageDisplay::kOutlineOn);
  EXPECT_FALSE(display.Blink());
}

TEST(ImageDisplayTest, StatusTextsAndDegenerateImages) {
  Float3Image image;
  image.Resize(640, 2);
  image.name = "shot.png";
  ImageDisplay display(image);
  EXPECT_EQ(display.StatusTexts(),
            (std::array<std::string, 3>{"640 x 2", "Float 3ch", "shot.png"}));
  EXPECT_TRUE(display.ColorSpaceSelectable());
  EXPECT_EQ(display.ChannelCaptions(), (std::array<std::string, 3>{"R", "G", "B"}));

  // Empty images and empty chroma channels give an empty or zero-filled picture, never a read
  // outside the arrays.
  Int3Image empty;
  ImageDisplay none(empty);
  none.Refresh(true);
  EXPECT_TRUE(none.GetPicture().IsEmpty());
  Int3Image noChroma;
  noChroma.channels[0].Resize(3, 2);
  std::fill(noChroma.channels[0].begin(), noChroma.channels[0].end(), 255);
  noChroma.ResetView();
  ImageDisplay partial(noChroma);
  partial.Refresh(true);
  EXPECT_EQ(PixelAt(partial.GetPicture(), 2, 1), (Rgb{255, 0, 0}));
}

}  // namespace
}  // namespace kandrel::testing
