// The image window's arithmetic without widgets: zoom entries, mouse mapping, the view-rectangle
// drag rules, the tiling grid, the dump's cells and text file, and the histogram's grid, bars and
// range changes.
#include "ui/image_view_rules.h"

#include <gtest/gtest.h>

#include <QRect>
#include <QSize>
#include <cmath>
#include <numeric>

namespace kandrel {
namespace {

TEST(ImageViewRulesTest, ZoomEntriesOutsideTenToSixteenHundredOrNotNumbersAreIgnored) {
  EXPECT_EQ(ZoomScaleFromText("1600"), 16.0);
  EXPECT_EQ(ZoomScaleFromText("10"), 0.1);
  EXPECT_DOUBLE_EQ(*ZoomScaleFromText(" 33.3 "), 0.333);
  for (const char* ignored : {"5", "9.99", "1600.5", "", "abc", "100%", "inf", "nan"})
    EXPECT_FALSE(ZoomScaleFromText(ignored)) << ignored;
}

TEST(ImageViewRulesTest, MousePositionsMapToClampedImagePixels) {
  EXPECT_EQ(ImagePointFromMouse(5, 7, 2.0, 10, 10), (ImagePoint{2, 3}));
  EXPECT_EQ(ImagePointFromMouse(31, 47, 16.0, 4, 3), (ImagePoint{1, 2}));
  EXPECT_EQ(ImagePointFromMouse(-3, 500, 1.0, 10, 20), (ImagePoint{0, 19}));
  EXPECT_EQ(ImagePointFromMouse(3, 3, 0.25, 10, 20), (ImagePoint{9, 12}));
  EXPECT_EQ(ImagePointFromMouse(4, 4, 1.0, 0, 0), (ImagePoint{0, 0}));  // no pixels: no crash
  EXPECT_EQ(ScrollToCentre(50, 2.0, 100), 50);
  EXPECT_EQ(ScrollToCentre(3, 1.0, 101), -47);  // the scroll bar clamps it
}

TEST(ImageViewRulesTest, DrawingSpansBothPointsIncludingTheEndPixel) {
  EXPECT_EQ(SpannedView({5, 2}, {1, 6}, 10, 10), (ViewRect{1, 2, 6, 7}));
  EXPECT_EQ(SpannedView({9, 9}, {9, 9}, 10, 10), (ViewRect{9, 9, 10, 10}));
  EXPECT_TRUE(IsAtMostOnePixel(SpannedView({3, 4}, {3, 4}, 10, 10)));
  EXPECT_FALSE(IsAtMostOnePixel(ViewRect{3, 4, 5, 5}));
  EXPECT_TRUE(PointInView({5, 5}, ViewRect{1, 1, 5, 5}));  // edges inclusive
  EXPECT_FALSE(PointInView({6, 5}, ViewRect{1, 1, 5, 5}));
}

TEST(ImageViewRulesTest, AMovedViewIsPushedBackInsideWithoutShrinking) {
  const ViewRect whole{0, 0, 20, 10};
  EXPECT_EQ(MovedView({2, 2, 6, 5}, 3, 1, whole), (ViewRect{5, 3, 9, 6}));
  EXPECT_EQ(MovedView({2, 2, 6, 5}, 30, -8, whole), (ViewRect{16, 0, 20, 3}));
  EXPECT_EQ(MovedView({2, 2, 6, 5}, -30, 30, whole), (ViewRect{0, 7, 4, 10}));
  // A stale view larger than the image ends up clamped, never outside it.
  EXPECT_EQ(MovedView({0, 0, 30, 5}, 4, 0, whole), (ViewRect{0, 0, 20, 5}));
}

TEST(ImageViewRulesTest, TilingUsesTheMostSquareGrid) {
  const std::pair<int, TileGrid> cases[] = {{0, {1, 1}}, {1, {1, 1}},  {2, {1, 2}},  {3, {2, 2}},
                                            {4, {2, 2}}, {5, {2, 3}},  {6, {2, 3}},  {7, {3, 3}},
                                            {9, {3, 3}}, {10, {3, 4}}, {12, {3, 4}}, {13, {4, 4}}};
  for (const auto& [n, grid] : cases) EXPECT_EQ(TileRowsColumns(n), grid) << n;
}

TEST(ImageViewRulesTest, ToolWindowsGoRightOfTheAnchorInsideTheWorkArea) {
  const QRect work(0, 0, 1920, 1040);
  EXPECT_EQ(ToolWindowPosition(QRect(100, 50, 800, 600), QSize(300, 400), work), QPoint(900, 50));
  EXPECT_EQ(ToolWindowPosition(QRect(1500, 900, 400, 100), QSize(300, 400), work),
            QPoint(1620, 640));
  EXPECT_EQ(ToolWindowPosition(QRect(-900, -50, 400, 100), QSize(300, 400), work), QPoint(0, 0));
}

TEST(ImageViewRulesTest, TheDumpCentresAndPansWithinItsCells) {
  // 100 image columns: 102 cells with the header and the spare one.
  EXPECT_EQ(DumpFirstVisibleForCentre(50, 10, 102), 46);
  EXPECT_EQ(DumpFirstVisibleForCentre(2, 10, 102), 1);
  EXPECT_EQ(DumpFirstVisibleForCentre(99, 10, 102), 95);
  EXPECT_EQ(DumpFirstVisibleForCentre(0, 10, 2), 1);  // an empty image
  EXPECT_EQ(DumpFirstVisibleAfterPan(10, -68, 102), 12);
  EXPECT_EQ(DumpFirstVisibleAfterPan(10, 33, 102), 10);
  EXPECT_EQ(DumpFirstVisibleAfterPan(10, 34 * 20, 102), 1);
  EXPECT_EQ(DumpFirstVisibleAfterPan(10, -34 * 200, 102), 100);
}

TEST(ImageViewRulesTest, ValueTextsFollowTheFormatBox) {
  EXPECT_EQ(DumpValueText(5, 0), "  5");
  EXPECT_EQ(DumpValueText(-1234, 0), "-1234");
  EXPECT_EQ(DumpValueText(255, 1), "  FF");
  EXPECT_EQ(DumpValueText(-1, 1), "FFFFFFFF");
  EXPECT_EQ(DumpValueText(65, 2), "A");
  EXPECT_EQ(DumpValueText(0x3042, 2), "あ");
  for (int control : {0, 7, 10, 127, -5, 0xD800, 0x110000})
    EXPECT_EQ(DumpValueText(control, 2), "");
  EXPECT_EQ(DumpValueText(0.1234567f, 0), "0.12346");
  EXPECT_EQ(DumpValueText(123456.0f, 0), "1.2346e+05");
  const std::complex<float> z(3, -4);
  EXPECT_EQ(DumpValueText(z, 0), "5");
  EXPECT_EQ(DumpValueText(z, 1), "3");
  EXPECT_EQ(DumpValueText(z, 2), "-4");
  EXPECT_EQ(DumpTextColour(0x000000), 0x808080u);
  EXPECT_EQ(DumpTextColour(0xFFFFFF), 0x80807Fu);  // carries run into the next component
  EXPECT_EQ(DumpTextColour(0x0000FF), 0x80817Fu);
}

// Int 3ch, 4 × 2, with half-width chroma (2 × 2) as a YUV10 frame has it.
std::unique_ptr<Image> HalfWidthChromaImage() {
  auto image = CreateImage(kTypeInt3);
  auto& c = As<Int3Image>(image.get())->channels;
  c[0].Resize(4, 2);
  c[1].Resize(2, 2);
  c[2].Resize(2, 2);
  std::iota(c[0].begin(), c[0].end(), 10);
  std::iota(c[1].begin(), c[1].end(), 100);
  std::iota(c[2].begin(), c[2].end(), 200);
  image->ResetView();
  return image;
}

TEST(ImageViewRulesTest, HalfWidthChromaIsShownOnlyInEvenColumns) {
  const std::unique_ptr<Image> image = HalfWidthChromaImage();
  const std::array<bool, 3> all{true, true, true};
  EXPECT_EQ(DumpCellTexts(*image, 2, 1, 0, all), (std::array<std::string, 3>{" 16", "103", "203"}));
  EXPECT_EQ(DumpCellTexts(*image, 3, 1, 0, all), (std::array<std::string, 3>{" 17", "", ""}));
  EXPECT_EQ(DumpCellTexts(*image, 3, 1, 0, {true, false, true}),
            (std::array<std::string, 3>{" 17", "", ""}));
  EXPECT_EQ(DumpCellTexts(*image, 0, 0, 0, {false, true, false}),
            (std::array<std::string, 3>{"", "100", ""}));
  EXPECT_EQ(DumpCellTexts(*image, 4, 0, 0, all), (std::array<std::string, 3>{}));  // outside
  EXPECT_EQ(DumpCsvText(*image, 0, all),
            " 10 100 200,  11  ,  12 101 201,  13  , \n"
            " 14 102 202,  15  ,  16 103 203,  17  , \n");
  image->view = ViewRect{1, 1, 3, 5};  // stale: reaches below the samples
  EXPECT_EQ(DumpCsvText(*image, 1, {true, true, false}), "   F  ,   10   67 , \n");
}

TEST(ImageViewRulesTest, VerticallySubSampledChromaIsShownOnlyInItsFirstRow) {
  auto image = CreateImage(kTypeFloat3);
  auto& c = As<Float3Image>(image.get())->channels;
  c[0].Resize(1, 4);
  c[1].Resize(1, 2);
  c[2].Resize(1, 2);
  std::fill(c[0].begin(), c[0].end(), 0.5f);
  std::fill(c[1].begin(), c[1].end(), 0.25f);
  std::fill(c[2].begin(), c[2].end(), 2.0f);
  image->ResetView();
  EXPECT_EQ(DumpCsvText(*image, 0, {true, true, true}),
            "0.5 0.25 2, \n0.5  , \n0.5 0.25 2, \n0.5  , \n");
}

TEST(ImageViewRulesTest, OneChannelImagesHaveOnlyTheFirstLineAndComplexOnesTheirPart) {
  auto image = CreateImage(kTypeComplex1);
  auto& c = As<Complex1Image>(image.get())->channels[0];
  c.Resize(2, 1);
  c[0][0] = {3, 4};
  c[0][1] = {-1, 0};
  image->ResetView();
  EXPECT_EQ(DumpCsvText(*image, 0, {true, true, true}), "5  , 1  , \n");
  EXPECT_EQ(DumpCsvText(*image, 2, {true, true, true}), "4  , 0  , \n");
  EXPECT_EQ(SampleKindOf(*image), SampleKind::kComplex);
}

TEST(ImageViewRulesTest, HistogramGridStepsAreRound) {
  EXPECT_EQ(GridStep(256), 100);
  EXPECT_EQ(GridStep(1000), 500);
  EXPECT_EQ(GridStep(60), 20);
  EXPECT_EQ(GridStep(1), 0.5);
  EXPECT_EQ(GridStep(0), 0);
  EXPECT_EQ(GridValues(-0.5, 255.5), (std::vector<double>{0, 100, 200}));
  EXPECT_EQ(GridValues(0, 100), (std::vector<double>{0, 50}));
  EXPECT_FALSE(std::signbit(GridValues(-0.5, 255.5)[0]));  // labelled "0", not "-0"
  EXPECT_EQ(GridValues(5, 5), std::vector<double>{});
  // Far from zero the steps vanish in rounding; the grid stays finite.
  EXPECT_LE(GridValues(1e300, 1e300 + 1e285).size(), 64u);
  EXPECT_EQ(ValueLineX(0, -0.5, 255.5), 0);
  EXPECT_EQ(ValueLineX(100, -0.5, 255.5), 100);
  EXPECT_EQ(ValueLineX(200, 0, 1000), 51);
  EXPECT_EQ(PercentLineY(0, 1), 100);
  EXPECT_EQ(PercentLineY(0.2, 1), 80);
}

TEST(ImageViewRulesTest, BarsAreScaledByMagnificationAndCappedAtTheTop) {
  EXPECT_EQ(BarHeight(1, 100, 256), 39);
  EXPECT_EQ(BarHeight(1, 256, 256), 100);
  EXPECT_EQ(BarHeight(5, 256, 256), 100);
  EXPECT_EQ(BarHeight(2147483647, 1e300, 1), 100);
  EXPECT_EQ(BarHeight(3, 100, 0), 0);
}

TEST(ImageViewRulesTest, DraggingAndTheWheelMoveAndZoomTheRange) {
  HistogramRange r{0, 256, 100};
  DragRange(r, 64);
  EXPECT_EQ(r.lo, -64);
  EXPECT_EQ(r.hi, 192);
  DragMagnification(r, 50, 0);
  EXPECT_EQ(r.magnification, 200);
  DragMagnification(r, 100, 0);  // started below the data area: no change
  EXPECT_EQ(r.magnification, 200);
  DragMagnification(r, 0, 99);
  EXPECT_EQ(r.magnification, 2);
  DragMagnification(r, 0, 99);
  EXPECT_EQ(r.magnification, 0.9);

  r = {0, 256, 100};
  WheelRange(r, 128, true);
  EXPECT_EQ(r.lo, -64);
  EXPECT_EQ(r.hi, 320);
  r = {0, 256, 100};
  WheelRange(r, 0, false);
  EXPECT_EQ(r.lo, 0);
  EXPECT_DOUBLE_EQ(r.hi, 512.0 / 3);
  r = {0, 0.005, 100};
  WheelRange(r, 10, false);  // already at the narrowest
  EXPECT_EQ(r.hi, 0.005);
  r = {0, 3e9, 100};
  WheelRange(r, 10, true);  // already at the widest
  EXPECT_EQ(r.hi, 3e9);
}

TEST(ImageViewRulesTest, AutoScaleFitsTheRangeAndTheTallestBin) {
  HistogramRange r;
  EXPECT_FALSE(AutoScaleRange(r, 7, 7));
  EXPECT_EQ(r.lo, -0.5);
  ASSERT_TRUE(AutoScaleRange(r, 0, 255));
  EXPECT_EQ(r.lo, 0);
  EXPECT_EQ(r.hi, 256);
  HistogramData h;
  h.counts[17] = 4;
  h.counts[256] = 99;  // below the range: not a bin
  ASSERT_TRUE(AutoScaleMagnification(r, h, 256));
  EXPECT_EQ(r.magnification, 64);
  EXPECT_EQ(BarHeight(4, r.magnification, 256), 100);
  EXPECT_FALSE(AutoScaleMagnification(r, HistogramData{}, 256));
  EXPECT_EQ(r.magnification, 64);
}

}  // namespace
}  // namespace kandrel
