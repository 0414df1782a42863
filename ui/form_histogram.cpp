#include "ui/form_histogram.h"

#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cstdio>

#include "image/image.h"
#include "ui/form_dump.h"

namespace kandrel {

namespace {

QString FormatNumber(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return QString::fromUtf8(text);
}

}  // namespace

// The data area (256 × 100 at the origin) with the value labels below and the percentages right.
class HistPlot : public QWidget {
 public:
  explicit HistPlot(TFrameHistBox& box) : box_(box) {
    setFixedSize(kPlotWidth + 60, kPlotHeight + 18);
    setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    box_.PaintPlot(painter);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) box_.PlotPress(event->position().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (event->buttons() & Qt::LeftButton)
      box_.PlotDrag(event->position().toPoint());
    else
      box_.PlotHover(event->position().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent*) override { box_.PlotRelease(); }
  void enterEvent(QEnterEvent*) override { box_.SetMouseInside(true); }
  void leaveEvent(QEvent*) override { box_.SetMouseInside(false); }

 private:
  TFrameHistBox& box_;
};

TFrameHistBox::TFrameHistBox(int channel, const QString& label, QColor barColour, QWidget* parent)
    : QWidget(parent), channel_(channel), barColour_(barColour), plot_(new HistPlot(*this)) {
  data_.lo = range_.lo;
  data_.hi = range_.hi;
  auto* side = new QGridLayout;
  side->addWidget(new QLabel(label), 0, 0, 1, 2);
  const char* captions[] = {"Min", "Max", "Mean"};
  for (int k = 0; k < 3; ++k) {
    statistics_[k] = new QLineEdit;
    statistics_[k]->setReadOnly(true);
    statistics_[k]->setObjectName(QString::fromUtf8(captions[k]));
    side->addWidget(new QLabel(QString::fromUtf8(captions[k])), k + 1, 0);
    side->addWidget(statistics_[k], k + 1, 1);
  }
  auto* autoScale = new QPushButton(QStringLiteral("AutoScale"));
  connect(autoScale, &QPushButton::clicked, this, &TFrameHistBox::AutoScale);
  side->addWidget(autoScale, 4, 0, 1, 2);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(plot_);
  layout->addLayout(side);
}

void TFrameHistBox::SetImage(const Image* image) {
  image_ = image;
  MarkForRecompute();
}

void TFrameHistBox::MarkForRecompute() {
  recompute_ = true;
  plot_->update();
}

void TFrameHistBox::RecomputeIfNeeded() {
  if (!recompute_) return;
  recompute_ = false;
  data_.lo = range_.lo;
  data_.hi = range_.hi;
  const bool counted = image_ != nullptr && AccumulateImageChannel(data_, *image_, channel_);
  if (!counted) ClearHistogram(data_);
  pixels_ = counted ? ViewPixelCount(*image_, channel_) : 0;
  const double values[] = {data_.min, data_.max, data_.mean};
  for (int k = 0; k < 3; ++k)
    statistics_[k]->setText(counted ? FormatNumber("%.5g", values[k]) : QString());
}

void TFrameHistBox::AutoScale() {
  RecomputeIfNeeded();
  if (pixels_ <= 0 || !AutoScaleRange(range_, data_.min, data_.max)) return;
  recompute_ = true;
  RecomputeIfNeeded();
  AutoScaleMagnification(range_, data_, pixels_);
  plot_->update();
}

void TFrameHistBox::PlotPress(QPoint at) {
  dragging_ = true;
  lastMouse_ = at;
}

void TFrameHistBox::PlotDrag(QPoint at) {
  if (!dragging_) return;
  DragRange(range_, at.x() - lastMouse_.x());
  DragMagnification(range_, lastMouse_.y(), at.y());
  lastMouse_ = at;
  MarkForRecompute();
}

void TFrameHistBox::Wheel(bool up) {
  if (!mouseInside_) return;
  WheelRange(range_, lastMouse_.x(), up);
  MarkForRecompute();
}

void TFrameHistBox::PaintPlot(QPainter& painter) {
  RecomputeIfNeeded();
  painter.fillRect(painter.window(), QColor(0x80, 0x80, 0x80));
  painter.fillRect(QRect(0, 0, kPlotWidth, kPlotHeight), Qt::black);
  const QColor grid(0, 0xFF, 0);
  for (double v : GridValues(range_.lo, range_.hi)) {
    const int x = ValueLineX(v, range_.lo, range_.hi);
    if (x < 0) continue;
    painter.setPen(grid);
    painter.drawLine(x, 0, x, kPlotHeight - 1);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(x, kPlotHeight + 4 + painter.fontMetrics().ascent()),
                     FormatNumber("%.5g", v));
  }
  const double topPercent = 100 / range_.magnification;
  for (double v : GridValues(0, topPercent)) {
    const int y = PercentLineY(v, topPercent);
    painter.setPen(grid);
    painter.drawLine(0, y, kPlotWidth - 1, y);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(kPlotWidth + 4, y), FormatNumber("%.5g %%", v));
  }
  if (pixels_ <= 0) return;
  painter.setPen(barColour_);
  for (int i = 0; i < kPlotWidth; ++i) {
    const int h = BarHeight(data_.counts[i], range_.magnification, pixels_);
    if (h > 0) painter.drawLine(i, kPlotHeight, i, kPlotHeight - h);
  }
}

TFormHistogram::TFormHistogram(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  const char* labels[] = {"Ch1", "Ch2", "Ch3"};
  const QColor colours[] = {Qt::red, QColor(0, 0x80, 0), Qt::blue};
  for (int c = 0; c < 3; ++c) {
    boxes_[c] = new TFrameHistBox(c, QString::fromUtf8(labels[c]), colours[c]);
    layout->addWidget(boxes_[c]);
  }
  MakeToolWindow(*this, QStringLiteral("Histogram"));
}

void TFormHistogram::SetImage(const Image* image) {
  image_ = image;
  for (TFrameHistBox* box : boxes_) box->SetImage(image);
}

void TFormHistogram::wheelEvent(QWheelEvent* event) {
  const bool up = event->angleDelta().y() > 0;
  if (event->angleDelta().y() != 0)
    for (TFrameHistBox* box : boxes_) box->Wheel(up);
  event->accept();
}

}  // namespace kandrel
