#include "ui/wire_drawing.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kandrel {

namespace {

// Wires leave an input and reach an output through short horizontal ends of this length.
constexpr int kEndLength = 10;
// A backward wire passes this far above or below the output it returns to.
constexpr int kDetour = 60;
constexpr int kIconWidth = 106;

const QColor kGrey(128, 128, 128);

}  // namespace

WireStyle WireStyleFor(int type) {
  const std::vector<QColor> rgb = {QColor(0, 128, 0), QColor(255, 0, 0), QColor(0, 0, 255)};
  switch (type) {
    case 1:
      return {3, {kGrey}};
    case 2:
      return {5, {kGrey}};
    case 3:
      return {4, {QColor(128, 0, 128)}};
    case 4:
      return {1, rgb};
    case 5:
      return {2, rgb};
    case 6:
      return {1, std::vector<QColor>(3, QColor(0, 0, 255))};
    default:
      return {4, {Qt::white}};
  }
}

std::vector<QPoint> WireRoute(QPoint in, QPoint out) {
  const int q = in.x() - kEndLength;
  const int r = out.x() + kEndLength;
  std::vector<QPoint> points = {in, {q, in.y()}};
  if (q < r) {
    // The input lies left of the output: the wire runs backwards around the icons.
    const int dy = out.y() - in.y();
    int detourY = 0;
    bool detour = true;
    if (dy >= 110)
      detourY = out.y() - kDetour;
    else if (dy < -109)
      detourY = out.y() + kDetour;
    else if (in.x() + kIconWidth < out.x())
      detourY = std::max(in.y(), out.y()) + kDetour;
    else
      detour = false;
    if (detour) {
      points.emplace_back(q, detourY);
      points.emplace_back(r, detourY);
    }
  }
  points.emplace_back(r, out.y());
  points.push_back(out);
  return points;
}

QPoint ParallelOffset(QPoint a, QPoint b) {
  const double dx = a.x() - b.x();
  const double dy = a.y() - b.y();
  const int length = static_cast<int>(std::sqrt(dy * dy + dx * dx) + 1);
  return {3 * (b.y() - a.y()) / length, 3 * (a.x() - b.x()) / length};
}

void DrawWireSegment(QPainter& painter, QPoint a, QPoint b, const WireStyle& style) {
  QPen pen(style.colours.front(), style.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  if (style.colours.size() == 1) {
    painter.setPen(pen);
    painter.drawLine(a, b);
    return;
  }
  const QPoint offset = ParallelOffset(a, b);
  for (int line = 0; line < 3; ++line) {
    const QPoint shift = offset * (1 - line);  // +offset, none, -offset
    pen.setColor(style.colours[line]);
    painter.setPen(pen);
    painter.drawLine(a + shift, b + shift);
  }
}

void DrawWire(QPainter& painter, QPoint in, QPoint out, int type) {
  const WireStyle style = WireStyleFor(type);
  const std::vector<QPoint> route = WireRoute(in, out);
  for (std::size_t i = 0; i + 1 < route.size(); ++i)
    DrawWireSegment(painter, route[i], route[i + 1], style);
}

}  // namespace kandrel
