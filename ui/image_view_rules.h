// The arithmetic behind the image window, the pixel dump and the histogram boxes, kept apart from
// the widgets so that it can be checked on its own: zoom entries, mouse-to-image mapping, the
// view-rectangle drag rules, the tiling grid, the dump's cell range and value texts, and the
// histogram's grid, bars and range changes.
#pragma once

#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/conversions.h"
#include "image/image.h"

namespace kandrel {

// --- Image window ---

// The zoom factor of a "Size(％)" entry (percent); nothing for an entry that is not a number or
// lies outside 10..1600.
std::optional<double> ZoomScaleFromText(const QString& text);

struct ImagePoint {
  int x = 0;
  int y = 0;
  bool operator==(const ImagePoint&) const = default;
};

// The pixel under a mouse position on a picture zoomed by scale, clamped into the image.
ImagePoint ImagePointFromMouse(int mouseX, int mouseY, double scale, int width, int height);
// The scroll position that centres an image coordinate in a client extent.
int ScrollToCentre(int coordinate, double scale, int clientExtent);
// Edges inclusive, as the press test wants it.
bool PointInView(const ImagePoint& p, const ViewRect& view);
// Drawing: the rectangle spanned by the two points, including the end pixel.
ViewRect SpannedView(const ImagePoint& a, const ImagePoint& b, int width, int height);
// Moving: the view at the press shifted by (dx, dy), pushed back inside whole without shrinking.
ViewRect MovedView(const ViewRect& atPress, int dx, int dy, const ViewRect& whole);
// A rectangle of at most one pixel means "no selection": the whole image.
bool IsAtMostOnePixel(const ViewRect& view);

struct TileGrid {
  int rows = 1;
  int columns = 1;
  bool operator==(const TileGrid&) const = default;
};
// The most square grid that holds n windows, one row fewer than columns when that suffices.
TileGrid TileRowsColumns(int n);

// Where a tool window goes: right of the anchor's frame at its top, pulled back into the work area.
QPoint ToolWindowPosition(const QRect& anchorFrame, const QSize& toolFrame, const QRect& workArea);

// The message when a picture, an image or a text file could not be written.
std::string SaveFailureMessage(const std::string& path);

// --- Pixel dump ---

constexpr int kDumpCellPitch = 34;
constexpr int kDumpCellSize = 33;

// The first non-header column (or row) shown when centring on an image coordinate; cellCount
// includes the header and the spare cell.
int DumpFirstVisibleForCentre(int point, int visibleCount, int cellCount);
// Panning by a drag of delta pixels from a first visible cell.
int DumpFirstVisibleAfterPan(int startCell, int deltaPixels, int cellCount);

// The format box's entries by sample kind: int "Pixel value", "Hexadecimal", "Character code";
// complex "Absolute value", "Real part", "Imaginary part"; float "Pixel value".
enum class SampleKind { kInt, kFloat, kComplex };
SampleKind SampleKindOf(const Image& image);
std::string DumpValueText(int value, int format);
std::string DumpValueText(float value, int format);
std::string DumpValueText(const std::complex<float>& value, int format);

// The texts of channels 1..3 at pixel (x, y): empty when the channel is not shown, does not exist,
// or (sub-sampled chroma) the pixel is not the first one of its chroma sample.
std::array<std::string, 3> DumpCellTexts(const Image& image, int x, int y, int format,
                                         const std::array<bool, 3>& shown);
// The text file of the view rectangle: "a b c, " per pixel, one line per row.
std::string DumpCsvText(const Image& image, int format, const std::array<bool, 3>& shown);
// A cell's text colour: the background's 0x00BBGGRR value plus 0x808080, carries included.
std::uint32_t DumpTextColour(std::uint32_t backgroundBgr);

// Calls f with the image as its concrete Layers type (const as the image is); false for an image
// of no known type.
template <class ImageT, class F>
bool VisitLayers(ImageT& image, F&& f) {
  switch (image.TypeId()) {
    case kTypeInt1:
      f(*As<Int1Image>(&image));
      return true;
    case kTypeFloat1:
      f(*As<Float1Image>(&image));
      return true;
    case kTypeComplex1:
      f(*As<Complex1Image>(&image));
      return true;
    case kTypeInt3:
      f(*As<Int3Image>(&image));
      return true;
    case kTypeFloat3:
      f(*As<Float3Image>(&image));
      return true;
    case kTypeComplex3:
      f(*As<Complex3Image>(&image));
      return true;
    default:
      return false;
  }
}

// Calls f with channel c of the image as its typed array; false when there is no such channel.
template <class F>
bool VisitChannel(const Image& image, int c, F&& f) {
  bool found = false;
  VisitLayers(image, [&](const auto& layers) {
    if (c < 0 || c >= static_cast<int>(layers.channels.size())) return;
    f(layers.channels[c]);
    found = true;
  });
  return found;
}

// --- Histogram ---

constexpr int kPlotWidth = 256;
constexpr int kPlotHeight = 100;

// The histogram of channel c over the image's view; false (h cleared) without such a channel.
bool AccumulateImageChannel(HistogramData& h, const Image& image, int c);
// Pixels of the view rectangle inside channel c.
std::int64_t ViewPixelCount(const Image& image, int c);

// A round grid step for a span: a power of ten, doubled or halved to give 2 to 5 lines.
double GridStep(double span);
// The values of grid lines from trunc(lo / step) · step below hi (none for an empty span).
std::vector<double> GridValues(double lo, double hi);
int ValueLineX(double v, double lo, double hi);
int PercentLineY(double v, double topPercent);
int BarHeight(std::int32_t count, double magnification, std::int64_t pixels);

struct HistogramRange {
  double lo = -0.5;
  double hi = 255.5;
  double magnification = 100.0;
};
// Horizontal drag: the range follows the mouse.
void DragRange(HistogramRange& r, int dx);
// Vertical drag inside the data area scales the bars; never below 0.9.
void DragMagnification(HistogramRange& r, int previousY, int y);
// Wheel up widens the range by half around the mouse, wheel down narrows it to two thirds.
void WheelRange(HistogramRange& r, int mouseX, bool up);
// Fits the range to [min, max] and the tallest bin to the top; false when there is nothing to fit.
bool AutoScaleRange(HistogramRange& r, double min, double max);
bool AutoScaleMagnification(HistogramRange& r, const HistogramData& h, std::int64_t pixels);

}  // namespace kandrel
