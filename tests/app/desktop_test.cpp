// The real desktop program on a private X server: started on the showcase graph, it steps a
// frame and photographs the screen. A window that fails to come up, or comes up empty, fails here.
// Killed with unsaved work, it offers the work back at its next start.
#include <gtest/gtest.h>

#include <QImage>
#include <QSet>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

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

TEST(DesktopTest, AGraphLeftByACrashWaitsAsTheBackup) {
  const std::string work = std::string(KANDREL_WORK_DIR) + "/crash";
  fs::remove_all(work);
  fs::create_directories(work);
  QImage picture(6, 4, QImage::Format_RGB32);
  picture.fill(qRgb(200, 40, 90));
  ASSERT_TRUE(picture.save(QString::fromStdString(work + "/picture.bmp"), "BMP"));
  const std::string command = std::string("sh ") + KANDREL_SOURCE_DIR +
                              "/tests/gui/crash_recovery.sh " + KANDREL_BINARY + " " +
                              KANDREL_SOURCE_DIR + " " + work;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_FALSE(fs::exists(work + "/~autosave.knd"));
  ASSERT_TRUE(fs::exists(work + "/~backup.knd"));
  // The backup holds the picture's reader, which still finds its picture.
  const std::string describe = std::string(KANDREL_BINARY) + " --batch --describe '" + work +
                               "/~backup.knd' >'" + work + "/describe.txt'";
  ASSERT_EQ(std::system(describe.c_str()), 0) << describe;
  std::ostringstream text;
  text << std::ifstream(work + "/describe.txt").rdbuf();
  EXPECT_NE(text.str().find(" [10001] "), std::string::npos) << text.str();
}

}  // namespace
