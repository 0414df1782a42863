#include "ui/image_view_rules.h"

#include <QSize>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "ui/number_text.h"

namespace kandrel {

namespace {

// Clamping that stays defined when the range is empty (an image without pixels).
int ClampLow(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

std::string Format(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// The code point as UTF-8; control codes and non-characters give nothing rather than bytes that
// would break the cell or the text file.
std::string CharacterText(int code) {
  if (code < 0x20 || code == 0x7F || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return std::string();
  const char32_t c = static_cast<char32_t>(code);
  return QString::fromUcs4(&c, 1).toStdString();
}

template <class T>
std::string ChannelText(const Array2D<T>& channel, const Array2D<T>& first, int x, int y,
                        int format) {
  if (channel.SameSize(first)) return DumpValueText(channel[y][x], format);
  if (channel.Width() == 0 || channel.Height() == 0) return std::string();
  // A sub-sampled channel shows its value in the first pixel of each of its samples only.
  const auto map = [](int i, int own, int full) {
    return static_cast<int>(static_cast<std::int64_t>(i) * own / full);
  };
  const int cx = map(x, channel.Width(), first.Width());
  const int cy = map(y, channel.Height(), first.Height());
  if (x > 0 && map(x - 1, channel.Width(), first.Width()) == cx) return std::string();
  if (y > 0 && map(y - 1, channel.Height(), first.Height()) == cy) return std::string();
  return DumpValueText(channel[cy][cx], format);
}

}  // namespace

std::optional<double> ZoomScaleFromText(const QString& text) {
  const std::optional<double> percent = TryStrToFloat(text.trimmed());
  if (!percent || *percent < 10 || *percent > 1600) return std::nullopt;
  return *percent / 100;
}

ImagePoint ImagePointFromMouse(int mouseX, int mouseY, double scale, int width, int height) {
  const auto map = [scale](int m, int extent) {
    const double v = std::trunc(m / scale);
    return static_cast<int>(std::clamp(v, 0.0, std::max(0.0, extent - 1.0)));
  };
  return {map(mouseX, width), map(mouseY, height)};
}

int ScrollToCentre(int coordinate, double scale, int clientExtent) {
  return static_cast<int>(std::trunc(coordinate * scale - clientExtent / 2.0));
}

bool PointInView(const ImagePoint& p, const ViewRect& view) {
  return p.x >= view.left && p.x <= view.right && p.y >= view.top && p.y <= view.bottom;
}

namespace {
ViewRect ClampIntoImage(ViewRect v, int width, int height) {
  v.left = std::clamp(v.left, 0, width);
  v.right = std::clamp(v.right, 0, width);
  v.top = std::clamp(v.top, 0, height);
  v.bottom = std::clamp(v.bottom, 0, height);
  return v;
}
}  // namespace

ViewRect SpannedView(const ImagePoint& a, const ImagePoint& b, int width, int height) {
  const ViewRect v{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1,
                   std::max(a.y, b.y) + 1};
  return ClampIntoImage(v, width, height);
}

ViewRect MovedView(const ViewRect& atPress, int dx, int dy, const ViewRect& whole) {
  ViewRect v{atPress.left + dx, atPress.top + dy, atPress.right + dx, atPress.bottom + dy};
  const auto pushIn = [](int& low, int& high, int min, int max) {
    if (low < min) {
      high += min - low;
      low = min;
    } else if (high > max) {
      low -= high - max;
      high = max;
    }
  };
  pushIn(v.left, v.right, whole.left, whole.right);
  pushIn(v.top, v.bottom, whole.top, whole.bottom);
  return ClampIntoImage(v, whole.right, whole.bottom);
}

bool IsAtMostOnePixel(const ViewRect& view) {
  return view.right - view.left <= 1 && view.bottom - view.top <= 1;
}

TileGrid TileRowsColumns(int n) {
  int r = 1;
  while (r * r < n) {
    if (r * (r + 1) >= n) return {r, r + 1};
    ++r;
  }
  return {r, r};
}

QPoint ToolWindowPosition(const QRect& anchorFrame, const QSize& toolFrame, const QRect& workArea) {
  const int x = std::max(
      workArea.left(), std::min(anchorFrame.right() + 1, workArea.right() + 1 - toolFrame.width()));
  const int y = std::max(workArea.top(),
                         std::min(anchorFrame.top(), workArea.bottom() + 1 - toolFrame.height()));
  return {x, y};
}

std::string SaveFailureMessage(const std::string& path) { return path + " を保存できません。"; }

int DumpFirstVisibleForCentre(int point, int visibleCount, int cellCount) {
  return ClampLow(std::min(std::max(0, point - visibleCount / 2), cellCount - 3) + 1, 1,
                  std::max(1, cellCount - 2));
}

int DumpFirstVisibleAfterPan(int startCell, int deltaPixels, int cellCount) {
  return ClampLow(startCell - deltaPixels / kDumpCellPitch, 1, std::max(1, cellCount - 2));
}

SampleKind SampleKindOf(const Image& image) {
  switch (image.TypeId()) {
    case kTypeInt1:
    case kTypeInt3:
      return SampleKind::kInt;
    case kTypeComplex1:
    case kTypeComplex3:
      return SampleKind::kComplex;
    default:
      return SampleKind::kFloat;
  }
}

std::string DumpValueText(int value, int format) {
  char text[16];
  switch (format) {
    case 1:
      std::snprintf(text, sizeof text, "%4X", static_cast<unsigned>(value));
      return text;
    case 2:
      return CharacterText(value);
    default:
      std::snprintf(text, sizeof text, "%3d", value);
      return text;
  }
}

std::string DumpValueText(float value, int) { return Format("%.5g", value); }

std::string DumpValueText(const std::complex<float>& value, int format) {
  switch (format) {
    case 1:
      return Format("%.5g", value.real());
    case 2:
      return Format("%.5g", value.imag());
    default:
      return Format("%.5g", std::abs(value));
  }
}

std::array<std::string, 3> DumpCellTexts(const Image& image, int x, int y, int format,
                                         const std::array<bool, 3>& shown) {
  std::array<std::string, 3> texts;
  VisitLayers(image, [&](const auto& layers) {
    const auto& first = layers.channels[0];
    if (x < 0 || y < 0 || x >= first.Width() || y >= first.Height()) return;
    for (std::size_t c = 0; c < layers.channels.size(); ++c)
      if (shown[c]) texts[c] = ChannelText(layers.channels[c], first, x, y, format);
  });
  return texts;
}

std::string DumpCsvText(const Image& image, int format, const std::array<bool, 3>& shown) {
  // A stale view may reach beyond the samples; only pixels that exist are written.
  const ViewRect v = ClampIntoImage(image.view, image.Width(), image.Height());
  std::string text;
  for (int y = v.top; y < v.bottom; ++y) {
    for (int x = v.left; x < v.right; ++x) {
      const std::array<std::string, 3> cell = DumpCellTexts(image, x, y, format, shown);
      text += cell[0] + " " + cell[1] + " " + cell[2] + ", ";
    }
    text += "\n";
  }
  return text;
}

std::uint32_t DumpTextColour(std::uint32_t backgroundBgr) {
  return (backgroundBgr + 0x808080u) & 0xFFFFFFu;
}

bool AccumulateImageChannel(HistogramData& h, const Image& image, int c) {
  const ViewRect& v = image.view;
  const bool found = VisitChannel(image, c, [&](const auto& channel) {
    AccumulateHistogram(h, channel, v.left, v.top, v.right, v.bottom);
  });
  if (!found) ClearHistogram(h);
  return found;
}

std::int64_t ViewPixelCount(const Image& image, int c) {
  std::int64_t n = 0;
  VisitChannel(image, c, [&](const auto& channel) {
    const ViewRect v = ClampIntoImage(image.view, channel.Width(), channel.Height());
    n = static_cast<std::int64_t>(std::max(0, v.right - v.left)) * std::max(0, v.bottom - v.top);
  });
  return n;
}

double GridStep(double span) {
  if (!(span > 0) || !std::isfinite(span)) return 0;
  double step = std::pow(10.0, std::floor(std::log10(span)));
  if (span / step >= 5)
    step *= 2;
  else if (span / step <= 1.5)
    step /= 2;
  return step;
}

std::vector<double> GridValues(double lo, double hi) {
  std::vector<double> values;
  const double step = GridStep(hi - lo);
  if (step == 0 || !std::isfinite(lo)) return values;
  const double start = std::trunc(lo / step) * step + 0.0;  // no "-0" label
  // Counted steps: adding step to a far-off start could stall in rounding.
  for (int k = 0; k < 64; ++k) {
    const double v = start + k * step;
    if (v >= hi) break;
    values.push_back(v);
  }
  return values;
}

int ValueLineX(double v, double lo, double hi) {
  return static_cast<int>(std::trunc((v - lo) * kPlotWidth / (hi - lo)));
}

int PercentLineY(double v, double topPercent) {
  return kPlotHeight - static_cast<int>(std::trunc(v * kPlotHeight / topPercent));
}

int BarHeight(std::int32_t count, double magnification, std::int64_t pixels) {
  if (pixels <= 0) return 0;
  const double h = std::trunc(count * magnification / static_cast<double>(pixels) * 100);
  return static_cast<int>(std::clamp(h, 0.0, 100.0));
}

void DragRange(HistogramRange& r, int dx) {
  const double shift = dx * (r.hi - r.lo) / kPlotWidth;
  r.lo -= shift;
  r.hi -= shift;
}

void DragMagnification(HistogramRange& r, int previousY, int y) {
  if (previousY >= kPlotHeight || y >= kPlotHeight) return;
  r.magnification *= static_cast<double>(kPlotHeight - y) / (kPlotHeight - previousY);
  if (r.magnification < 0.9) r.magnification = 0.9;
}

void WheelRange(HistogramRange& r, int mouseX, bool up) {
  const double c = r.lo + mouseX * (r.hi - r.lo) / kPlotWidth;
  if (up && r.hi - r.lo < 2147483647.0) {
    r.lo = (3 * r.lo - c) / 2;
    r.hi = (3 * r.hi - c) / 2;
  } else if (!up && r.hi - r.lo > 0.01) {
    r.lo = (2 * r.lo + c) / 3;
    r.hi = (2 * r.hi + c) / 3;
  }
}

bool AutoScaleRange(HistogramRange& r, double min, double max) {
  if (!(max > min)) return false;
  r.lo = min;
  r.hi = min + (max - min) * 256 / 255;
  return true;
}

bool AutoScaleMagnification(HistogramRange& r, const HistogramData& h, std::int64_t pixels) {
  const std::int32_t largest = *std::max_element(h.counts, h.counts + 256);
  if (largest <= 0 || pixels <= 0) return false;
  r.magnification = static_cast<double>(pixels) / largest;
  return true;
}

}  // namespace kandrel
