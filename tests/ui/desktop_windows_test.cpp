// The main window with the real Qt host: every window is a real widget, so opening a graph,
// stepping it, tiling, docking and the tool windows, then replacing the graph, exercise how
// image windows, editors and tabs live and die together.
#include <gtest/gtest.h>

#include <QTabWidget>
#include <filesystem>

#include "process/proc_module.h"
#include "tests/support/kandrel_test.h"
#include "ui/form_dump.h"
#include "ui/form_histogram.h"
#include "ui/form_image_win.h"
#include "ui/form_time_pallete.h"
#include "ui/main_form.h"
#include "ui/qt_host.h"

namespace kandrel::testing {
namespace {

TEST(DesktopWindowsTest, AGraphOpensStepsAndGivesWayWithItsWindows) {
  TempDir dir;
  const std::string examples = std::string(KANDREL_SOURCE_DIR) + "/examples";
  std::filesystem::copy_file(examples + "/showcase.knd", dir.File("showcase.knd"));
  std::filesystem::create_directories(dir.File("bin"));

  QtHost host;
  SetHost(&host);
  {
    TForm1 form(AppFolders(dir.File("bin"), "", ""));
    form.show();
    ASSERT_TRUE(form.OpenFile(dir.File("showcase.knd")));
    ASSERT_EQ(form.Root()->ChildCount(), 8);
    EXPECT_TRUE(form.Root()->Dialog()->IsVisible());
    form.StepCommand();
    EXPECT_EQ(form.Controller().CurrentFrame(), 1);
    // The window of the root's first output is shown as a tab, the others on demand.
    EXPECT_GE(form.Tabs().count(), 1);
    for (int i = 0; i < form.Root()->ChildCount(); ++i) form.Root()->Child(i)->GetOutput(0)->ShowWindow();
    EXPECT_EQ(form.Tabs().count(), 8);
    form.Tabs().setCurrentIndex(2);
    EXPECT_NE(HistogramWindow().ShownImage(), nullptr);

    ToggleDump();
    ToggleHistogram();
    TileAll();
    EXPECT_EQ(form.Tabs().count(), 0);
    DockAll();
    EXPECT_EQ(form.Tabs().count(), 8);
    SetAllSync(false);

    // Replacing the graph takes its windows and tabs with it; the tool windows stay, empty.
    ASSERT_FALSE(form.Root()->IsModified());
    form.NewProcess();
    EXPECT_EQ(form.Root()->ChildCount(), 0);
    EXPECT_EQ(form.Tabs().count(), 0);
    EXPECT_EQ(HistogramWindow().ShownImage(), nullptr);
    ASSERT_TRUE(form.OpenFile(dir.File("showcase.knd")));
    form.StepCommand();
    EXPECT_GE(form.Tabs().count(), 1);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(form.Root(), nullptr);
  }
  DestroyToolWindows();
  SetHost(nullptr);
}

}  // namespace
}  // namespace kandrel::testing
