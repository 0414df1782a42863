// Wire routes, the offsets of three-line wires, the pens of the image types and icon heights.
#include "ui/wire_drawing.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "ui/proc_frame.h"

namespace kandrel {
namespace {

using Route = std::vector<QPoint>;

TEST(WireRouteTest, BackwardWiresGoAroundAndForwardWiresRunStraight) {
  // The input far below and left of its output: out left, up to 60 below the output, across,
  // up to the output's height and back into its end.
  EXPECT_EQ(WireRoute({100, 300}, {200, 50}),
            (Route{{100, 300}, {90, 300}, {90, 110}, {210, 110}, {210, 50}, {200, 50}}));
  // Far above: the detour runs 60 above the output.
  EXPECT_EQ(WireRoute({100, 50}, {200, 160}),
            (Route{{100, 50}, {90, 50}, {90, 100}, {210, 100}, {210, 160}, {200, 160}}));
  // Close in height but more than an icon's width apart: below both ends.
  EXPECT_EQ(WireRoute({100, 50}, {207, 159}),
            (Route{{100, 50}, {90, 50}, {90, 219}, {217, 219}, {217, 159}, {207, 159}}));
  // Exactly an icon's width apart: no detour.
  EXPECT_EQ(WireRoute({100, 50}, {206, 159}), (Route{{100, 50}, {90, 50}, {216, 159}, {206, 159}}));
  // An input 20 pixels right of its output end has one straight middle segment; 19 is backwards.
  EXPECT_EQ(WireRoute({220, 300}, {200, 50}),
            (Route{{220, 300}, {210, 300}, {210, 50}, {200, 50}}));
  EXPECT_EQ(WireRoute({219, 300}, {200, 50}).size(), 6u);
}

TEST(WireRouteTest, ParallelOffsetsTruncateTowardZero) {
  EXPECT_EQ(ParallelOffset({10, 20}, {60, 20}), QPoint(0, -2));  // 3·(−50)/51
  EXPECT_EQ(ParallelOffset({0, 0}, {0, 5}), QPoint(2, 0));       // 15/6
  EXPECT_EQ(ParallelOffset({0, 0}, {3, 4}), QPoint(2, -1));      // −9/6 is −1, not −2
  EXPECT_EQ(ParallelOffset({5, 5}, {5, 5}), QPoint(0, 0));       // a point: length 1
}

TEST(WireStyleTest, EachTypeHasItsPen) {
  EXPECT_EQ(WireStyleFor(1).width, 3);
  EXPECT_EQ(WireStyleFor(2).width, 5);
  EXPECT_EQ(WireStyleFor(2).colours, std::vector<QColor>{QColor(128, 128, 128)});
  EXPECT_EQ(WireStyleFor(3).colours, std::vector<QColor>{QColor(128, 0, 128)});
  const std::vector<QColor> rgb = {QColor(0, 128, 0), QColor(255, 0, 0), QColor(0, 0, 255)};
  EXPECT_EQ(WireStyleFor(4).colours, rgb);
  EXPECT_EQ(WireStyleFor(5).width, 2);
  EXPECT_EQ(WireStyleFor(5).colours, rgb);
  EXPECT_EQ(WireStyleFor(6).colours, std::vector<QColor>(3, QColor(0, 0, 255)));
  for (int unknown : {0, -1, 7}) {
    EXPECT_EQ(WireStyleFor(unknown).width, 4);
    EXPECT_EQ(WireStyleFor(unknown).colours, std::vector<QColor>{QColor(Qt::white)});
  }
}

TEST(WireStyleTest, ThreeChannelWiresDrawThreeShiftedLines) {
  QImage canvas(80, 40, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  {
    QPainter painter(&canvas);
    DrawWireSegment(painter, {10, 20}, {60, 20}, WireStyleFor(4));
  }
  EXPECT_EQ(canvas.pixelColor(30, 18), QColor(0, 128, 0));
  EXPECT_EQ(canvas.pixelColor(30, 20), QColor(255, 0, 0));
  EXPECT_EQ(canvas.pixelColor(30, 22), QColor(0, 0, 255));
  EXPECT_EQ(canvas.pixelColor(30, 24), QColor(Qt::black));
}

TEST(IconGeometryTest, HeightFollowsTheLongerPortColumn) {
  EXPECT_EQ(IconHeight(5, 2), 112);
  EXPECT_EQ(IconHeight(3, 3), 76);
  EXPECT_EQ(IconHeight(0, 1), 76);
  EXPECT_EQ(IconHeight(1, 10), 202);
}

}  // namespace
}  // namespace kandrel
