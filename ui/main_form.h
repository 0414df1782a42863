// TForm1: the main window. It owns the root module, opens and saves process files, inserts new
// processes into the active module from its menus, shows the hierarchy as a tree, hosts docked
// image windows as tabs and forwards the run commands to the run controller. Unsaved work is
// written to an autosave file now and then, which a start after a crash turns into the backup.
#pragma once

#include <QMainWindow>
#include <memory>
#include <string>
#include <vector>

#include "process/run_control.h"
#include "ui/app_folders.h"

class QTabWidget;
class QTimer;

namespace kandrel {

class ProcModule;
class ProcessTree;
class TFormTimePallete;

// The save query's answers.
enum class SaveAnswer { kSave = 1, kCancel = 2, kDiscard = 7 };

// The stored window frame pulled back into the work area: an edge left of (above) it, or 20
// pixels or less from its far side, goes to the work area's left (top).
QRect ClampToWorkArea(const QRect& stored, const QRect& workArea);

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  explicit TForm1(AppFolders folders);
  ~TForm1() override;

  // "新規「プロセス」": a new empty root, after the save query.
  void NewProcess();
  // "前回の「プロセス」": the backup of an unnamed graph back as a modified, unnamed root.
  void ReopenBackup();
  // As "開く..." does for one file: a process file replaces the root, anything else is inserted
  // into it. True when the file was taken.
  bool OpenFile(const std::string& path);
  // "「プロセス」を上書き保存..." and "「プロセス」に名前を付けて保存...".
  void SaveOverwrite();
  void SaveAs();
  // A menu item tagged with a process ID.
  void InsertProcess(int processId);
  void InsertPlugIn(const std::string& path);
  // The image window on the active tab takes over the tool windows.
  void ActivateTab();

  ProcModule* Root() const { return root_.get(); }
  const std::string& CurrentFileName() const { return currentFileName_; }
  RunController& Controller() { return controller_; }
  TFormTimePallete& ControllerWindow() const { return *controllerWindow_; }
  ProcessTree& Tree() const { return *tree_; }
  QTabWidget& Tabs() const { return *tabs_; }
  QMenu& PlugInMenu() const { return *plugInMenu_; }
  // Reset, step and run, as F7, F8, F9 and the tool buttons.
  void ResetCommand();
  void StepCommand();
  void RunCommand();
  // Writes a modified root to the autosave file (removes the file once nothing is left unsaved),
  // leaving the file name, the last-used directory and the modified flags as they were. Runs
  // every few minutes and as a continuous run starts.
  void Autosave();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void BuildMenus();
  void FillPlugInMenu();
  QWidget* BuildTreePane();
  void OpenChosenFiles();
  void ShowAbout();
  // False when the user cancelled (or a chosen save failed, which would lose the graph).
  bool MayReplaceRoot();
  // True (and the run told to pause) while a continuous run is going, paused or not.
  bool StopRunFirst();
  SaveAnswer AskToSave();
  void InstallRoot(std::unique_ptr<ProcModule> root);
  void DestroyRoot();
  ProcModule& InsertionTarget();
  // What the last run left behind without closing becomes the backup the user can reopen.
  void AdoptLeftOverAutosave();
  void ReadSettings();
  void WriteSettings() const;

  AppFolders folders_;
  RunController controller_;
  std::unique_ptr<TFormTimePallete> controllerWindow_;
  std::unique_ptr<ProcModule> root_;
  std::string currentFileName_;
  ProcessTree* tree_;
  QTabWidget* tabs_;
  QTimer* treeTimer_;
  QTimer* autosaveTimer_;
  // A failing autosave is reported once, and again only after one succeeded.
  bool autosaveFailureShown_ = false;
  QMenu* plugInMenu_ = nullptr;
  bool forwardingWheel_ = false;
};

}  // namespace kandrel
