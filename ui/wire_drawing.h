// The wires of the module editor: the orthogonal route from an input back to the output that
// feeds it, the pen of each image type, and the three parallel lines of three-channel types. The
// route and the offsets are plain functions so that they can be checked without a window.
#pragma once

#include <QColor>
#include <QPoint>
#include <vector>

class QPainter;

namespace kandrel {

// How segments of one image type are drawn: one line per colour, all of the same width.
struct WireStyle {
  int width = 4;
  std::vector<QColor> colours;
};

// The pen of wires carrying the image type id; unknown ids draw like type 0.
WireStyle WireStyleFor(int type);

// The corner points of a wire from an input end to an output end, input end first.
std::vector<QPoint> WireRoute(QPoint in, QPoint out);

// Shift of the outer two of three parallel lines drawn along the segment a–b.
QPoint ParallelOffset(QPoint a, QPoint b);

void DrawWireSegment(QPainter& painter, QPoint a, QPoint b, const WireStyle& style);
void DrawWire(QPainter& painter, QPoint in, QPoint out, int type);

}  // namespace kandrel
