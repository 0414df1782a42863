// TFormHistogram: the "Histogram" tool window shared by all image windows, with one
// TFrameHistBox per channel of the image of the last activated or refreshed window. Each box
// counts its channel over the view rectangle when it is next painted; dragging and the wheel move
// and zoom its value range, "AutoScale" fits range and bars to the data.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "image/conversions.h"
#include "ui/image_view_rules.h"

class QLineEdit;

namespace kandrel {

class Image;
class HistPlot;

class TFrameHistBox : public QWidget {
  Q_OBJECT

 public:
  TFrameHistBox(int channel, const QString& label, QColor barColour, QWidget* parent = nullptr);

  // The image to count (null: none); counted again on the next paint.
  void SetImage(const Image* image);
  void MarkForRecompute();

  const HistogramData& Data() const { return data_; }
  const HistogramRange& Range() const { return range_; }
  // Brings the counts up to date now if they are marked stale (painting does the same).
  void RecomputeIfNeeded();
  std::int64_t PixelCount() const { return pixels_; }

  void AutoScale();
  // The plot's mouse handling, in plot coordinates.
  void PlotPress(QPoint at);
  void PlotDrag(QPoint at);
  void PlotRelease() { dragging_ = false; }
  void PlotHover(QPoint at) { lastMouse_ = at; }
  void SetMouseInside(bool inside) { mouseInside_ = inside; }
  // A wheel step; ignored while the mouse is outside the plot.
  void Wheel(bool up);
  void PaintPlot(QPainter& painter);

 private:
  const Image* image_ = nullptr;
  int channel_;
  QColor barColour_;
  HistogramData data_;
  HistogramRange range_;
  std::int64_t pixels_ = 0;
  bool dragging_ = false;
  QPoint lastMouse_{0, 50};
  bool mouseInside_ = false;
  bool recompute_ = true;
  HistPlot* plot_;
  std::array<QLineEdit*, 3> statistics_;  // "Min", "Max", "Mean"
};

class TFormHistogram : public QWidget {
  Q_OBJECT

 public:
  explicit TFormHistogram(QWidget* parent = nullptr);

  // Sets the image (null: none) on the three boxes, channels 0, 1 and 2.
  void SetImage(const Image* image);
  const Image* ShownImage() const { return image_; }
  TFrameHistBox& Box(int channel) { return *boxes_[channel]; }

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  const Image* image_ = nullptr;
  std::array<TFrameHistBox*, 3> boxes_;
};

}  // namespace kandrel
