// Image windows, the pixel dump and the histogram as real widgets on the headless host: numbering,
// zoom and mouse editing of the view, the number boxes, saving, docking, tiling, following, and
// what the tool windows show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <numeric>
#include <stdexcept>

#include "tests/support/kandrel_test.h"
#include "ui/form_dump.h"
#include "ui/form_histogram.h"
#include "ui/form_image_win.h"

namespace kandrel::testing {
namespace {

// Gives images the real window, as the desktop host does.
class WindowHost : public HeadlessHost {
 public:
  std::unique_ptr<ImageWindow> CreateImageWindow(Image& image) override {
    return std::make_unique<TFormImageWin>(&image);
  }
};

class ImageWinTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override {
    images.clear();
    SetDockSite(nullptr);
    DestroyToolWindows();
    SetHost(nullptr);
  }

  // An image of the type with ramp samples, its window created (not shown).
  Image& AddImage(int type, int width, int height) {
    images.push_back(CreateImage(type));
    Image& image = *images.back();
    VisitLayers(image, [&](auto& layers) {
      for (auto& c : layers.channels) {
        c.Resize(width, height);
        int i = 0;
        for (auto& sample : c) sample = static_cast<std::remove_reference_t<decltype(sample)>>(i++);
      }
    });
    image.ResetView();
    image.name = "Pic";
    image.CreateWindow();
    return image;
  }

  static TFormImageWin& Window(Image& image) {
    return *static_cast<TFormImageWin*>(image.Window());
  }

  static QComboBox& Box(TFormImageWin& w, const char* name) {
    auto* box = w.findChild<QComboBox*>(QString::fromUtf8(name));
    if (box == nullptr) throw std::logic_error(name);
    return *box;
  }
  static QCheckBox& Check(TFormImageWin& w, const QString& caption) {
    for (QCheckBox* box : w.findChildren<QCheckBox*>())
      if (box->text() == caption) return *box;
    throw std::logic_error(caption.toStdString());
  }
  static QWidget& Picture(TFormImageWin& w) { return *w.findChild<QScrollArea*>()->widget(); }
  static void SelectMode(TFormImageWin& w) {
    for (QToolButton* b : w.findChildren<QToolButton*>())
      if (b->text() == "Select") b->setChecked(true);
  }
  static void Mouse(QWidget& target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const QPointF local(at);
    QMouseEvent event(type, local, target.mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
  }
  static void Drag(TFormImageWin& w, QPoint from, QPoint to) {
    Mouse(Picture(w), QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(Picture(w), QEvent::MouseMove, to, Qt::LeftButton);
    Mouse(Picture(w), QEvent::MouseButtonRelease, to, Qt::NoButton);
  }
  static void Trigger(QWidget& w, const QString& text) {
    for (QAction* a : w.findChildren<QAction*>())
      if (a->text() == text) return a->trigger();
    throw std::logic_error(text.toStdString());
  }

  WindowHost host;
  std::vector<std::unique_ptr<Image>> images;
};

TEST_F(ImageWinTest, ANullImageIsRefused) {
  try {
    TFormImageWin window(nullptr);
    FAIL();
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "TFormImageWin　にNULLが渡されました。");
  }
  EXPECT_EQ(ImageWindowRegistry::Instance().RegisteredCount(), 0);
}

TEST_F(ImageWinTest, WindowsAreNumberedByFreeSlotAndTheHundredAndFirstIsNot) {
  for (int i = 0; i < 101; ++i) AddImage(kTypeInt1, 2, 2);
  EXPECT_EQ(images[0]->WindowName(), "Image0");
  EXPECT_EQ(images[99]->WindowName(), "Image99");
  EXPECT_EQ(images[100]->WindowName(), "Image");
  EXPECT_EQ(Window(*images[100]).windowTitle(), "Image");
  images.erase(images.begin() + 5);  // the image closes its window, freeing slot 5
  EXPECT_EQ(AddImage(kTypeInt1, 2, 2).WindowName(), "Image5");
  images.clear();
  EXPECT_EQ(ImageWindowRegistry::Instance().RegisteredCount(), 0);
}

TEST_F(ImageWinTest, ControlsFollowTheImageType) {
  TFormImageWin& grey = Window(AddImage(kTypeInt1, 4, 3));
  grey.Show();
  EXPECT_FALSE(Box(grey, "ColorSpace").isEnabled());
  EXPECT_FALSE(Check(grey, "Y").isEnabled());
  EXPECT_EQ(grey.StatusText(0), "4 x 3");
  EXPECT_EQ(grey.StatusText(1), "Int 1ch");
  EXPECT_EQ(grey.StatusText(2), "Pic");
  EXPECT_EQ(Box(grey, "WhiteLevel").currentText(), "255");
  EXPECT_EQ(Box(grey, "Gamma").currentText(), "2.2");

  TFormImageWin& complex = Window(AddImage(kTypeComplex1, 4, 3));
  complex.Show();
  EXPECT_FALSE(Box(complex, "ColorSpace").isEnabled());
  EXPECT_TRUE(Check(complex, "絶対値").isChecked());
  EXPECT_FALSE(Check(complex, "実数Cr").isChecked());
  EXPECT_FALSE(Check(complex, "虚数Cb").isChecked());
  EXPECT_TRUE(Check(complex, "実数Cr").isEnabled());

  Image& colour = AddImage(kTypeInt3, 4, 3);
  TFormImageWin& rgb = Window(colour);
  rgb.Show();
  EXPECT_TRUE(Box(rgb, "ColorSpace").isEnabled());
  EXPECT_EQ(Box(rgb, "ColorSpace").currentIndex(), 0);
  EXPECT_EQ(Check(rgb, "G").text(), "G");
  Box(rgb, "ColorSpace").activated(2);
  EXPECT_EQ(colour.colorSpace, kHsv);
  for (const char* caption : {"H", "S", "V"}) EXPECT_TRUE(Check(rgb, caption).isEnabled());
  Check(rgb, "S").setChecked(false);
  EXPECT_FALSE(rgb.Display().ChannelShown(1));
}

TEST_F(ImageWinTest, ZoomEntriesOutOfRangeChangeNothing) {
  Image& image = AddImage(kTypeInt1, 4, 3);
  TFormImageWin& w = Window(image);
  w.Show();
  EXPECT_EQ(w.PictureSize(), QSize(4, 3));
  QComboBox& zoom = Box(w, "Size(％)");
  zoom.setEditText("5");
  EXPECT_EQ(w.Scale(), 1.0);
  EXPECT_EQ(w.PictureSize(), QSize(4, 3));
  zoom.setEditText("1600");
  EXPECT_EQ(w.PictureSize(), QSize(64, 48));  // each pixel a 16 × 16 block
  zoom.setEditText("abc");
  EXPECT_EQ(w.Scale(), 16.0);
  zoom.setCurrentIndex(zoom.findText("50"));
  EXPECT_EQ(w.PictureSize(), QSize(2, 1));

  w.WheelStep(true);  // 75
  EXPECT_EQ(w.Scale(), 0.75);
  zoom.setCurrentIndex(zoom.count() - 1);
  EXPECT_FALSE(DumpWindow().isVisible());
  w.WheelStep(true);  // past the last entry: the dump comes up instead
  EXPECT_EQ(w.Scale(), 16.0);
  EXPECT_TRUE(DumpWindow().isVisible());
  EXPECT_EQ(DumpWindow().ShownDisplay(), &w.Display());
  w.WheelStep(false);
  EXPECT_EQ(w.Scale(), 10.0);
}

TEST_F(ImageWinTest, MouseEditsTheViewRectangle) {
  Image& image = AddImage(kTypeInt1, 20, 10);
  TFormImageWin& w = Window(image);
  w.Show();
  Box(w, "Size(％)").setEditText("200");
  SelectMode(w);

  Drag(w, QPoint(10, 4), QPoint(3, 13));  // pixels (5, 2) to (1, 6)
  EXPECT_EQ(image.view, (ViewRect{1, 2, 6, 7}));
  EXPECT_EQ(w.DragMode(), 0);

  Drag(w, QPoint(4, 6), QPoint(40, 6));  // inside: moves, pushed back at the right edge
  EXPECT_EQ(image.view, (ViewRect{15, 2, 20, 7}));

  // A click outside the view draws a 1 × 1 rectangle: the whole image again.
  Drag(w, QPoint(2, 2), QPoint(2, 2));
  EXPECT_EQ(image.view, (ViewRect{0, 0, 20, 10}));
  EXPECT_EQ(w.CurrentPoint(), (ImagePoint{1, 1}));

  Drag(w, QPoint(0, 0), QPoint(7, 7));
  EXPECT_EQ(image.view, (ViewRect{0, 0, 4, 4}));
  Trigger(w, "Select all");
  EXPECT_EQ(image.view, (ViewRect{0, 0, 20, 10}));

  // In scroll mode dragging leaves the view alone.
  for (QToolButton* b : w.findChildren<QToolButton*>())
    if (b->text() == "Hand") b->setChecked(true);
  Drag(w, QPoint(0, 0), QPoint(7, 7));
  EXPECT_EQ(image.view, (ViewRect{0, 0, 20, 10}));
}

TEST_F(ImageWinTest, MovingInSelectionModeFeedsAVisibleDump) {
  Image& image = AddImage(kTypeInt1, 300, 200);
  TFormImageWin& w = Window(image);
  w.Show();
  SelectMode(w);
  DumpWindow().show();
  Mouse(Picture(w), QEvent::MouseMove, QPoint(150, 100), Qt::NoButton);
  EXPECT_EQ(DumpWindow().ShownDisplay(), &w.Display());
  EXPECT_GT(DumpWindow().FirstColumn(), 100);
  EXPECT_LE(DumpWindow().FirstColumn(), 151);
  EXPECT_EQ(DumpWindow().CellTexts(150, 100)[0], QString::number(100 * 300 + 150).toStdString());
}

TEST_F(ImageWinTest, NumberBoxesStoreOnlyPositiveNumbers) {
  Image& image = AddImage(kTypeFloat1, 4, 3);
  TFormImageWin& w = Window(image);
  w.Show();
  QComboBox& white = Box(w, "WhiteLevel");
  white.setEditText("abc");
  EXPECT_EQ(image.whiteLevel, 1.0);
  white.setEditText("-4");
  EXPECT_EQ(image.whiteLevel, 1.0);
  white.setEditText("0");
  EXPECT_EQ(image.whiteLevel, 1.0);
  white.setEditText("1023");
  EXPECT_EQ(image.whiteLevel, 1023.0);
  white.setCurrentIndex(white.findText("0.5"));
  EXPECT_EQ(image.whiteLevel, 0.5);
  Box(w, "Gamma").setEditText("1.5");
  EXPECT_EQ(image.gamma, 1.5);
  Box(w, "Gamma").setEditText("1.");  // a value being typed is left as typed
  EXPECT_EQ(Box(w, "Gamma").currentText(), "1.");
  EXPECT_EQ(image.gamma, 1.0);

  QCheckBox& abs = Check(w, "Abs.");
  EXPECT_EQ(abs.palette().color(QPalette::WindowText), QColor(Qt::red));
  abs.setChecked(false);
  EXPECT_NE(abs.palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_FALSE(w.Display().Absolute());
  QCheckBox& sync = Check(w, "Sync.");
  EXPECT_EQ(sync.palette().color(QPalette::WindowText), QColor(Qt::red));
  SetAllSync(false);
  EXPECT_FALSE(sync.isChecked());
  EXPECT_NE(sync.palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(ImageWinTest, SynchronisedWindowsFollowTheZoom) {
  TFormImageWin& a = Window(AddImage(kTypeInt1, 50, 50));
  TFormImageWin& b = Window(AddImage(kTypeInt1, 50, 50));
  TFormImageWin& c = Window(AddImage(kTypeInt1, 50, 50));
  a.Show();
  b.Show();
  c.Show();
  c.SetSync(false);
  Box(a, "Size(％)").setEditText("400");
  EXPECT_EQ(b.Scale(), 4.0);
  EXPECT_EQ(Box(b, "Size(％)").currentText(), "400");
  EXPECT_EQ(c.Scale(), 1.0);
}

TEST_F(ImageWinTest, SaveCommandsAskTheHostAndForceTheExtension) {
  TempDir dir;
  Image& image = AddImage(kTypeFloat3, 4, 3);
  TFormImageWin& w = Window(image);
  w.Show();

  host.QueueFileAnswer(dir.File("shot.png"));
  Trigger(w, "Save image as HDR（32 bit RGBE）...");
  EXPECT_TRUE(std::filesystem::exists(dir.File("shot.hdr")));
  EXPECT_EQ(host.FileBoxesAsked().back().filter, "32 bit HDR|*.hdr;");

  host.QueueFileAnswer(dir.File("dump"));
  Trigger(w, "Save image as TIFF (32 bit Full precision /ch）...");
  EXPECT_TRUE(std::filesystem::exists(dir.File("dump.tif")));

  host.QueueFileAnswer(dir.File("shot.bmp"));
  Trigger(w, "Save image as BMP（.bmp）...");
  EXPECT_TRUE(std::filesystem::exists(dir.File("shot.bmp")));
  EXPECT_EQ(host.FileBoxesAsked().back().filter, "Bitmap (*.bmp)|*.bmp");
  EXPECT_EQ(host.FileBoxesAsked().back().initialName, "Untitled");
  EXPECT_TRUE(host.FileBoxesAsked().back().confirmOverwrite);

  Trigger(w, "Save image as BMP（.bmp）...");  // cancelled: nothing happens
  EXPECT_TRUE(host.Messages().empty());

  // A save that cannot be written says so instead of losing the image silently.
  host.QueueFileAnswer(dir.File("missing/shot.bmp"));
  Trigger(w, "Save image as BMP（.bmp）...");
  EXPECT_EQ(host.LastMessage(), dir.File("missing/shot.bmp") + " を保存できません。");
  Image& complex = AddImage(kTypeComplex1, 2, 2);
  host.QueueFileAnswer(dir.File("z.hdr"));
  Trigger(Window(complex), "Save image as HDR（32 bit RGBE）...");
  EXPECT_EQ(host.LastMessage(), dir.File("z.hdr") + " を保存できません。");
}

TEST_F(ImageWinTest, DockedWindowsArePagesAndLeaveTheSiteWhenTheyGo) {
  QTabWidget site;
  SetDockSite(&site);
  Image& first = AddImage(kTypeInt1, 4, 3);
  Image& second = AddImage(kTypeInt1, 4, 3);
  ASSERT_EQ(site.count(), 2);
  EXPECT_EQ(site.tabText(0), "Image0");
  EXPECT_TRUE(Window(first).IsDocked());
  EXPECT_TRUE(first.IsWindowVisible());

  Window(first).resize(300, 200);
  Trigger(Window(first), "Undock window");
  EXPECT_EQ(site.count(), 1);
  EXPECT_TRUE(Window(first).isWindow());
  EXPECT_TRUE(Window(first).isVisible());
  EXPECT_EQ(Window(first).pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
  EXPECT_EQ(Window(first).size(), QSize(300, 200));
  Trigger(Window(first), "Dock window");
  EXPECT_EQ(site.count(), 2);
  EXPECT_EQ(site.currentWidget(), &Window(first));

  Trigger(Window(second), "Close");
  EXPECT_FALSE(second.IsWindowVisible());
  EXPECT_EQ(site.count(), 1);
  second.ShowWindow();
  EXPECT_EQ(site.count(), 2);
  EXPECT_EQ(site.currentWidget(), &Window(second));

  images.erase(images.begin());  // destroying the image removes its page
  ASSERT_EQ(site.count(), 1);
  EXPECT_EQ(site.tabText(0), "Image1");
  EXPECT_EQ(DumpWindow().ShownDisplay(), nullptr);
  EXPECT_EQ(HistogramWindow().ShownImage(), nullptr);
}

TEST_F(ImageWinTest, WindowsSurviveTheirDockSite) {
  auto site = std::make_unique<QTabWidget>();
  SetDockSite(site.get());
  Image& image = AddImage(kTypeInt1, 4, 3);
  TFormImageWin* window = &Window(image);
  site.reset();
  EXPECT_EQ(image.Window(), window);
  EXPECT_FALSE(window->IsDocked());
  image.ShowWindow();
  EXPECT_TRUE(window->isVisible());
  images.clear();
}

TEST_F(ImageWinTest, TileAllFloatsVisibleWindowsIntoAGrid) {
  QTabWidget site;
  SetDockSite(&site);
  std::vector<TFormImageWin*> windows;
  for (int i = 0; i < 3; ++i) windows.push_back(&Window(AddImage(kTypeInt1, 1000, 1000)));
  Image& small = AddImage(kTypeInt1, 10, 10);
  small.HideWindow();  // a hidden window is not tiled
  TileAll();
  EXPECT_EQ(site.count(), 0);
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  const QPoint cells[] = {work.topLeft(), work.topLeft() + QPoint(work.width() / 2, 0),
                          work.topLeft() + QPoint(0, work.height() / 2)};
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(windows[k]->isWindow());
    EXPECT_TRUE(windows[k]->isVisible());
    EXPECT_EQ(windows[k]->pos(), cells[k]) << k;
    EXPECT_EQ(windows[k]->size(), QSize(work.width() / 2, work.height() / 2)) << k;
  }
  EXPECT_FALSE(small.IsWindowVisible());
  small.ShowWindow();
  TileAll();
  EXPECT_EQ(Window(small).size(), QSize(100, 78));  // shrunk to its picture
  DockAll();
  EXPECT_EQ(site.count(), 4);
  HideAllImageWindows();
  EXPECT_EQ(site.count(), 0);
}

TEST_F(ImageWinTest, TheDumpWritesTheViewAsText) {
  TempDir dir;
  images.push_back(CreateImage(kTypeInt3));
  Image& image = *images.back();
  auto& c = As<Int3Image>(&image)->channels;
  c[0].Resize(4, 1);
  c[1].Resize(2, 1);
  c[2].Resize(2, 1);
  std::iota(c[0].begin(), c[0].end(), 1);
  std::iota(c[1].begin(), c[1].end(), 20);
  std::iota(c[2].begin(), c[2].end(), 30);
  image.ResetView();
  image.CreateWindow();
  image.ShowWindow();
  TFormDump& dump = DumpWindow();
  ASSERT_EQ(dump.ShownDisplay(), &Window(image).Display());
  EXPECT_EQ(dump.ColumnCount(), 6);
  EXPECT_EQ(dump.CellTexts(2, 0), (std::array<std::string, 3>{"  3", " 21", " 31"}));
  EXPECT_EQ(dump.CellTexts(3, 0), (std::array<std::string, 3>{"  4", "", ""}));

  host.QueueFileAnswer(dir.File("values.csv"));
  dump.SaveTextFile();
  const FileBoxRequest& asked = host.FileBoxesAsked().back();
  EXPECT_EQ(asked.title, "Save Pixel Values as \".csv\"");
  EXPECT_EQ(asked.filter, "*.csv|*.csv");
  EXPECT_EQ(asked.initialName, "PixelValues");
  EXPECT_EQ(asked.defaultExtension, "csv");
  const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("values.csv"));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "  1  20  30,   2  ,   3  21  31,   4  , \n");

  // The formats of the dump's box: the second channel off, hexadecimal.
  dump.findChildren<QCheckBox*>()[1]->setChecked(false);
  for (QComboBox* box : dump.findChildren<QComboBox*>())
    if (box->isVisibleTo(&dump)) box->setCurrentIndex(1);
  EXPECT_EQ(dump.CellTexts(2, 0), (std::array<std::string, 3>{"   3", "", "  1F"}));

  images.clear();
  EXPECT_EQ(dump.ShownDisplay(), nullptr);
}

TEST_F(ImageWinTest, HistogramOfARampPutsEachValueInItsBinAndAutoScaleFillsTheTop) {
  Image& image = AddImage(kTypeInt1, 16, 16);  // 0..255
  image.ShowWindow();
  TFormHistogram& histogram = HistogramWindow();
  ASSERT_EQ(histogram.ShownImage(), &image);
  TFrameHistBox& box = histogram.Box(0);
  box.RecomputeIfNeeded();
  EXPECT_EQ(box.PixelCount(), 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(box.Data().counts[i], 1) << i;
  EXPECT_EQ(box.Data().min, 0);
  EXPECT_EQ(box.Data().max, 255);
  EXPECT_EQ(box.Data().mean, 127.5);
  EXPECT_EQ(BarHeight(1, box.Range().magnification, box.PixelCount()), 39);
  histogram.Box(1).RecomputeIfNeeded();
  EXPECT_EQ(histogram.Box(1).PixelCount(), 0);  // one channel: the other boxes stay empty

  box.AutoScale();
  EXPECT_EQ(box.Range().lo, 0);
  EXPECT_EQ(box.Range().hi, 256);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(box.Data().counts[i], 1) << i;
  EXPECT_EQ(BarHeight(1, box.Range().magnification, box.PixelCount()), 100);

  // A new view is counted on the next paint.
  Window(image).SelectAll();
  image.view = ViewRect{0, 0, 16, 2};
  Window(image).Refresh(false);
  box.RecomputeIfNeeded();
  EXPECT_EQ(box.PixelCount(), 32);
  EXPECT_EQ(box.Data().max, 31);
  histogram.grab();  // painting with data must not trip anything
}

}  // namespace
}  // namespace kandrel::testing
