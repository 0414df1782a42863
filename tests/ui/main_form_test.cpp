// The main window on the headless host: where its own files live, the window placement rules,
// what closing and reopening do to an unsaved graph, how opened and dropped files are taken,
// the process menus, the tree, and the run controller's windows.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <sys/stat.h>
#include <unistd.h>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "io/read_file.h"
#include "process/process_file.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"
#include "ui/app_folders.h"
#include "ui/form_time_pallete.h"
#include "ui/main_form.h"
#include "ui/process_tree.h"
#include "ui/qt_host.h"

namespace kandrel::testing {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// The first action of the bar whose caption is text, searched through every submenu.
QAction* FindAction(const QList<QAction*>& actions, const QString& text) {
  for (QAction* action : actions) {
    if (action->text() == text) return action;
    if (action->menu() != nullptr)
      if (QAction* found = FindAction(action->menu()->actions(), text)) return found;
  }
  return nullptr;
}

TEST(AppFoldersTest, OwnFilesStayBesideAWritableProgramAndMoveToTheUserOtherwise) {
  TempDir dir;
  const AppFolders beside(dir.Path() + "/./", "", "/home/someone");
  EXPECT_EQ(beside.ProgramDirectory(), dir.Path() + "/");
  EXPECT_EQ(beside.BackupFile(), dir.Path() + "//~backup.knd");

  const AppFolders installed("/nonexistent/bin", dir.File("config"), "/home/someone");
  EXPECT_EQ(installed.DataDirectory(), dir.File("config") + "/kandrel");
  EXPECT_EQ(installed.SettingsFile(), dir.File("config") + "/kandrel/kandrel.INI");
  EXPECT_TRUE(installed.EnsureDataDirectory());
  // A relative XDG_CONFIG_HOME is not a valid setting.
  EXPECT_EQ(AppFolders("/nonexistent/bin", "relative", "/home/someone").DataDirectory(),
            "/home/someone/.config/kandrel");

  EXPECT_EQ(CollapseCurrentDirectorySteps("/a/././b/./c/."), "/a/b/c");

  // Plug-ins come from both folders; an empty folder gives none, other files are not plug-ins.
  fs::create_directories(dir.File("bin/PlugIn"));
  EXPECT_TRUE(AppFolders(dir.File("bin"), "", "").PlugInFiles().empty());
  Touch(dir.File("bin/PlugIn/sharpen.knd"));
  Touch(dir.File("bin/PlugIn/notes.txt"));
  fs::create_directories(installed.DataDirectory() + "/PlugIn");
  Touch(installed.DataDirectory() + "/PlugIn/mine.knd");
  ::chmod(dir.File("bin").c_str(), 0555);
  const AppFolders readOnly(dir.File("bin"), dir.File("config"), "");
  const bool writableAnyway = ::access(dir.File("bin").c_str(), W_OK) == 0;  // running as root
  const std::vector<std::string> plugIns = readOnly.PlugInFiles();
  ::chmod(dir.File("bin").c_str(), 0755);
  if (!writableAnyway) {
    ASSERT_EQ(plugIns.size(), 2u);
    EXPECT_EQ(plugIns[0], dir.File("bin/PlugIn/sharpen.knd"));
    EXPECT_EQ(plugIns[1], installed.DataDirectory() + "/PlugIn/mine.knd");
  } else {
    EXPECT_EQ(plugIns, std::vector<std::string>{dir.File("bin/PlugIn/sharpen.knd")});
  }
}

TEST(PlacementTest, WindowsAreKeptInsideTheWorkArea) {
  const QRect work(0, 0, 1000, 800);
  // Off the work area by less than 20 pixels on the right or bottom: left where it is.
  EXPECT_EQ(ClampToWorkArea(QRect(979, 779, 300, 200), work).topLeft(), QPoint(979, 779));
  EXPECT_EQ(ClampToWorkArea(QRect(980, 780, 300, 200), work).topLeft(), QPoint(0, 0));
  EXPECT_EQ(ClampToWorkArea(QRect(-1, 10, 300, 200), work), QRect(0, 10, 300, 200));
  // The controller sits at the main window's right edge unless that pushes it off the screen.
  EXPECT_EQ(ControllerPosition(QRect(100, 50, 400, 300), QSize(200, 100), work), QPoint(500, 50));
  EXPECT_EQ(ControllerPosition(QRect(100, 50, 800, 300), QSize(200, 100), work), QPoint(800, 50));
}

TEST(QtFileFilterTest, PipeSeparatedFiltersBecomeQtFilters) {
  EXPECT_EQ(QtFileFilter("全て|*.knd;*.bmp;*.yuv10; *.hdr|Kandrel処理|*.knd"),
            QStringLiteral("全て (*.knd *.bmp *.yuv10 *.hdr);;Kandrel処理 (*.knd)"));
  EXPECT_EQ(QtFileFilter("32 bit HDR|*.hdr;"), QStringLiteral("32 bit HDR (*.hdr)"));
}

class MainFormTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    fs::create_directories(dir.File("bin"));
    form = std::make_unique<TForm1>(AppFolders(dir.File("bin"), "", ""));
  }
  void TearDown() override {
    form.reset();
    KandrelTest::TearDown();
  }

  // A small named graph saved as path: one test source.
  void SaveGraph(const std::string& path, const std::string& name) {
    ProcModule module;
    module.SetName(name);
    AddChild(module, kTestSourceId);
    ASSERT_FALSE(SaveProcessFile(&module, path).empty());
  }

  TempDir dir;
  std::unique_ptr<TForm1> form;
};

TEST_F(MainFormTest, AnUnnamedModifiedGraphSurvivesClosingThroughTheBackup) {
  ASSERT_NE(form->Root(), nullptr);
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Kandrel"));
  AddChild(*form->Root(), kTestSourceId)->SetName("Kept");
  ASSERT_TRUE(form->Root()->IsModified());
  EXPECT_TRUE(form->close());
  EXPECT_EQ(form->Root(), nullptr);
  const std::string backup = dir.File("bin/~backup.knd");
  ASSERT_TRUE(fs::exists(backup));
  EXPECT_TRUE(fs::exists(dir.File("bin/kandrel.INI")));

  form = std::make_unique<TForm1>(AppFolders(dir.File("bin"), "", ""));
  form->ReopenBackup();
  ASSERT_EQ(form->Root()->ChildCount(), 1);
  EXPECT_EQ(form->Root()->Child(0)->Name(), "Kept");
  EXPECT_TRUE(form->Root()->IsModified());
  EXPECT_TRUE(form->CurrentFileName().empty());
  EXPECT_FALSE(fs::exists(backup));
}

TEST_F(MainFormTest, ABackupThatCannotBeWrittenIsReportedAndTheCloseMayBeCancelled) {
  // The program's folder is not writable and a file stands where the user's folder would be.
  Touch(dir.File("config"));
  form = std::make_unique<TForm1>(AppFolders("/nonexistent/bin", dir.File("config"), ""));
  AddChild(*form->Root(), kTestSourceId);
  host.QueueQueryAnswer(2);
  EXPECT_FALSE(form->close());
  EXPECT_EQ(host.Messages().front(), "ファイル " + dir.File("config") + "/kandrel/~backup.knd に書き込めません。");
  EXPECT_EQ(host.QueriesAsked().size(), 1u);
  ASSERT_NE(form->Root(), nullptr);
  EXPECT_EQ(form->Root()->ChildCount(), 1);
}

TEST_F(MainFormTest, TheAutosaveIsACopyThatTheNextStartOffersAsTheBackup) {
  SaveGraph(dir.File("named.knd"), "Named");
  ASSERT_TRUE(form->OpenFile(dir.File("named.knd")));
  form->Root()->Child(0)->SetName("Unsaved");
  const std::string autosave = dir.File("bin/~autosave.knd");
  const std::string backup = dir.File("bin/~backup.knd");
  const std::string lastUsed = LastUsedDirectory();
  form->Autosave();
  ASSERT_TRUE(fs::exists(autosave));
  EXPECT_EQ(form->CurrentFileName(), dir.File("named.knd"));
  EXPECT_EQ(LastUsedDirectory(), lastUsed);
  EXPECT_TRUE(form->Root()->Child(0)->IsModified());
  EXPECT_FALSE(form->Root()->ProcVirtual::IsModified());

  // The program ended without closing: the next start keeps its autosave as the backup.
  form = std::make_unique<TForm1>(AppFolders(dir.File("bin"), "", ""));
  EXPECT_FALSE(fs::exists(autosave));
  form->ReopenBackup();
  ASSERT_EQ(form->Root()->ChildCount(), 1);
  EXPECT_EQ(form->Root()->Child(0)->Name(), "Unsaved");
  EXPECT_TRUE(form->Root()->IsModified());
  EXPECT_TRUE(form->CurrentFileName().empty());
  EXPECT_FALSE(fs::exists(backup));

  // A continuous run starts with an autosave; work saved since needs none, and a clean close
  // leaves none behind.
  form->RunCommand();
  EXPECT_TRUE(fs::exists(autosave));
  host.QueueFileAnswer(dir.File("saved.knd"));
  form->SaveAs();
  form->Autosave();
  EXPECT_FALSE(fs::exists(autosave));
  form->Root()->SetName("Changed again");
  form->Autosave();
  ASSERT_TRUE(fs::exists(autosave));
  host.QueueQueryAnswer(1);
  EXPECT_TRUE(form->close());
  EXPECT_FALSE(fs::exists(autosave));
  EXPECT_TRUE(host.Messages().empty());
}

TEST_F(MainFormTest, AnAutosaveThatCannotBeWrittenIsReportedOnceUntilOneIsWritten) {
  Touch(dir.File("config"));  // where the user's folder would be made
  form = std::make_unique<TForm1>(AppFolders("/nonexistent/bin", dir.File("config"), ""));
  AddChild(*form->Root(), kTestSourceId);
  const std::string message =
      "ファイル " + dir.File("config") + "/kandrel/~autosave.knd に書き込めません。";
  form->Autosave();
  form->Autosave();
  EXPECT_EQ(host.Messages(), std::vector<std::string>{message});
  fs::remove(dir.File("config"));
  form->Autosave();
  EXPECT_TRUE(fs::exists(dir.File("config/kandrel/~autosave.knd")));
  fs::remove_all(dir.File("config"));
  Touch(dir.File("config"));
  form->Autosave();
  EXPECT_EQ(host.Messages(), (std::vector<std::string>{message, message}));
}

TEST_F(MainFormTest, ANamedGraphIsAskedAboutAndNeverBackedUp) {
  SaveGraph(dir.File("named.knd"), "Named");
  ASSERT_TRUE(form->OpenFile(dir.File("named.knd")));
  EXPECT_EQ(form->CurrentFileName(), dir.File("named.knd"));
  form->Root()->SetName("Changed");
  host.QueueQueryAnswer(2);  // "キャンセル" refuses the close
  EXPECT_FALSE(form->close());
  ASSERT_EQ(host.QueriesAsked().size(), 1u);
  EXPECT_EQ(host.QueriesAsked()[0].caption, "確認");
  EXPECT_EQ(host.QueriesAsked()[0].text, "現在のプロセスを保存しますか？");
  EXPECT_EQ(host.QueriesAsked()[0].subject, "Changed");
  EXPECT_EQ(host.QueriesAsked()[0].buttons, (std::vector<std::string>{"保存する", "破棄", "キャンセル"}));
  ASSERT_NE(form->Root(), nullptr);
  host.QueueQueryAnswer(1);  // "破棄"
  EXPECT_TRUE(form->close());
  EXPECT_FALSE(fs::exists(dir.File("bin/~backup.knd")));
}

TEST_F(MainFormTest, ASaveThatDoesNotHappenKeepsTheGraph) {
  AddChild(*form->Root(), kTestSourceId);
  ProcModule* before = form->Root();
  host.QueueQueryAnswer(0);        // "保存する" ...
  host.QueueFileAnswer(std::nullopt);  // ... but the file box is cancelled
  form->NewProcess();
  EXPECT_EQ(form->Root(), before);
  host.QueueQueryAnswer(1);
  form->NewProcess();
  EXPECT_NE(form->Root(), nullptr);
  EXPECT_EQ(form->Root()->ChildCount(), 0);
}

TEST_F(MainFormTest, OpenedFilesReplaceTheRootOrGoIntoIt) {
  SaveGraph(dir.File("graph.knd"), "Loaded");
  Touch(dir.File("picture.bmp"));
  fs::copy_file(dir.File("graph.knd"), dir.File("GRAPH.KND"));
  // Files in the shell's order: a picture, a graph that replaces the root (the changed root is
  // discarded), a picture for the new root.
  host.QueueQueryAnswer(1);
  for (const char* name : {"picture.bmp", "graph.knd", "picture.bmp"}) form->OpenFile(dir.File(name));
  EXPECT_EQ(form->Root()->Name(), "Loaded");
  ASSERT_EQ(form->Root()->ChildCount(), 2);
  EXPECT_EQ(form->Root()->Child(1)->ProcessId(), kReadFileProcessId);
  // A process file's extension counts only as written in lower case.
  form->OpenFile(dir.File("GRAPH.KND"));
  ASSERT_EQ(form->Root()->ChildCount(), 3);
  EXPECT_EQ(form->Root()->Child(2)->ProcessId(), kReadFileProcessId);

  // A process file whose top process is not a module leaves the root as it was.
  ProcVirtual* source = form->Root()->Child(0);
  ASSERT_FALSE(SaveProcessFile(source, dir.File("single.knd")).empty());
  host.QueueQueryAnswer(1);
  EXPECT_FALSE(form->OpenFile(dir.File("single.knd")));
  EXPECT_EQ(host.LastMessage(), "最上位階層は親プロセスでなければいけません。");
  EXPECT_EQ(form->Root()->Name(), "Loaded");
}

TEST_F(MainFormTest, MenusInsertIntoTheActiveModuleAndListPlugIns) {
  QList<QAction*> bar = form->menuBar()->actions();
  for (const char* caption : {"新規「プロセス」", "前回の「プロセス」", "開く...", "「プロセス」を上書き保存...",
                              "「プロセス」に名前を付けて保存...", "閉じる", "終了", "コントローラ表示",
                              "ステップ （１フレーム分）実行", "連続フレーム実行...", "バージョン情報...",
                              "画素値", "ヒストグラム", "スクロールを同期", "スクロールの同期を解除",
                              "並べて表示", "ドッキング", "画像を全て隠す"})
    EXPECT_NE(FindAction(bar, QString::fromUtf8(caption)), nullptr) << caption;
  EXPECT_EQ(FindAction(bar, "連続フレーム実行...")->shortcut(), QKeySequence(Qt::Key_F9));
  EXPECT_FALSE(FindAction(bar, "貼り付け")->isEnabled());
  EXPECT_TRUE(form->PlugInMenu().actions().isEmpty());

  QAction* adder = FindAction(bar, "＋加算");
  ASSERT_NE(adder, nullptr);
  EXPECT_EQ(adder->data().toInt(), 10022);
  auto* sub = AddChild<ProcModule>(*form->Root(), 10003);
  SetActiveModule(sub);
  adder->trigger();
  EXPECT_EQ(sub->ChildCount(), 1);
  EXPECT_TRUE(sub->Dialog()->IsVisible());

  // "「画像」を開く..." lets the new reader ask for its picture.
  Touch(dir.File("in.png"));
  host.QueueFileAnswer(dir.File("in.png"));
  FindAction(bar, "「画像」を開く...")->trigger();
  ASSERT_EQ(sub->ChildCount(), 2);
  EXPECT_EQ(dynamic_cast<ProcReadFile*>(sub->Child(1))->params.fileName, dir.File("in.png"));

  // Plug-ins found at start-up are inserted from their files.
  fs::create_directories(dir.File("bin/PlugIn"));
  SaveGraph(dir.File("bin/PlugIn/blur.knd"), "Blur");
  host.QueueQueryAnswer(1);
  form = std::make_unique<TForm1>(AppFolders(dir.File("bin"), "", ""));
  ASSERT_EQ(form->PlugInMenu().actions().size(), 1);
  EXPECT_EQ(form->PlugInMenu().actions()[0]->text(), QStringLiteral("blur.knd"));
  form->PlugInMenu().actions()[0]->trigger();
  ASSERT_EQ(form->Root()->ChildCount(), 1);
  EXPECT_EQ(form->Root()->Child(0)->Name(), "Blur");
}

TEST_F(MainFormTest, TheTreeFollowsTheHierarchyAndRenames) {
  auto* sub = AddChild<ProcModule>(*form->Root(), 10003);
  sub->SetName("Inner");
  AddChild(*sub, kTestSourceId)->SetName("Src");
  ProcessTree& tree = form->Tree();
  tree.Rebuild();
  QTreeWidgetItem* top = tree.topLevelItem(0);
  ASSERT_EQ(top->childCount(), 1);
  QTreeWidgetItem* inner = top->child(0);
  EXPECT_EQ(inner->text(0), QStringLiteral("Inner"));
  ASSERT_EQ(inner->childCount(), 1);
  QTreeWidgetItem* source = inner->child(0);
  ASSERT_EQ(source->childCount(), 1);
  EXPECT_EQ(source->child(0)->text(0), QStringLiteral("未作成"));
  sub->Child(0)->Step();
  tree.Rebuild();
  EXPECT_EQ(source->child(0)->text(0).left(5), QStringLiteral("Image"));
  EXPECT_EQ(inner->child(0), source);  // nodes are reused

  source->setText(0, "Renamed");
  EXPECT_EQ(sub->Child(0)->Name(), "Renamed");
  QTreeWidgetItem* output = source->child(0);
  output->setText(0, "Picture");
  EXPECT_EQ(sub->Child(0)->GetOutput(0)->WindowName(), "Picture");

  // Until the next refresh the nodes of a deleted process stay; using them touches nothing.
  sub->RemoveProcess(0);
  source->setText(0, "Gone");
  output->setText(0, "Gone too");
  emit tree.itemDoubleClicked(source, 0);
  emit tree.itemDoubleClicked(output, 0);
  tree.Rebuild();
  EXPECT_EQ(inner->childCount(), 0);
}

TEST_F(MainFormTest, TheControllerStepsRunsAndKeepsItsEndPoint) {
  auto* source = AddChild<TestSource>(*form->Root(), kTestSourceId);
  source->params.frames = 1;
  TFormTimePallete& controller = form->ControllerWindow();
  form->ResetCommand();
  EXPECT_TRUE(controller.isVisible());
  EXPECT_EQ(controller.EndField().text(), QStringLiteral("1"));
  form->StepCommand();
  EXPECT_EQ(controller.CurrentField().text(), QStringLiteral("1"));
  form->StepCommand();
  EXPECT_EQ(host.LastMessage(), "終点です。最初に戻すか、終点を延ばして下さい。");

  QTest::keyClicks(&controller.EndField(), "0");  // "10"
  EXPECT_EQ(form->Controller().EndPoint(), 10);
  EXPECT_EQ(controller.Progress().maximum(), 10);
  controller.EndField().setText("x");
  QTest::keyClicks(&controller.EndField(), "y");
  EXPECT_EQ(form->Controller().EndPoint(), 10);

  host.ClearMessages();
  form->RunCommand();
  EXPECT_EQ(form->Controller().CurrentFrame(), 10);
  EXPECT_EQ(controller.Progress().value(), 10);
  EXPECT_FALSE(controller.Running().isVisible());
  EXPECT_TRUE(host.Messages().empty());

  // At the end point a run starts again from a reset; a pause ends it after the frame.
  int frames = 0;
  host.onPendingEvents = [&] {
    if (++frames == 3) controller.Running().PauseButton().click();
  };
  form->Controller().SetEndPoint(50);
  form->Controller().ResetAll();
  form->Controller().SetEndPoint(50);
  form->RunCommand();
  EXPECT_EQ(form->Controller().CurrentFrame(), 3);
  host.onPendingEvents = nullptr;
  form->StepCommand();
  EXPECT_EQ(form->Controller().CurrentFrame(), 4);

  // Between frames of a run the root cannot be replaced or closed: the run stops instead.
  ProcModule* root = form->Root();
  bool closed = true;
  host.onPendingEvents = [&] {
    form->NewProcess();
    closed = form->close();
  };
  form->RunCommand();
  host.onPendingEvents = nullptr;
  EXPECT_EQ(form->Root(), root);
  EXPECT_FALSE(closed);
  EXPECT_EQ(form->Controller().CurrentFrame(), 5);
}

}  // namespace
}  // namespace kandrel::testing
