// The real desktop program on a private X server: started on the showcase graph, it steps a
// frame and photographs the screen. A window that fails to come up, or comes up empty, fails here.
#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <cstdlib>
#include <string>

namespace {

TEST(DesktopTest, TheShowcaseComesUpWithItsPictures) {
  const std::string work = std::string(KANDREL_WORK_DIR) + "/desktop";
  const std::string command = std::string("sh ") + KANDREL_SOURCE_DIR + "/tests/gui/screenshot.sh " +
                              KANDREL_BINARY + " " + KANDREL_SOURCE_DIR + " " + work;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  QImage screen;
  ASSERT_TRUE(screen.load(QString::fromStdString(work + "/screen.png")));
  EXPECT_EQ(screen.size(), QSize(1280, 1024));
  // Menus and a tree give a handful of colours; the sample's ramps shown in an image window give
  // thousands.
  QSet<QRgb> colours;
  for (int y = 0; y < screen.height(); y += 2)
    for (int x = 0; x < screen.width(); x += 2) colours.insert(screen.pixel(x, y));
  EXPECT_GT(colours.size(), 2000) << "no picture on the screen";
}

}  // namespace
