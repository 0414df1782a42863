#include "ui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <chrono>
#include <filesystem>

#include "process/catalogue.h"
#include "process/host.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "ui/form_image_win.h"
#include "ui/form_time_pallete.h"
#include "ui/process_menus.h"
#include "ui/process_tree.h"
#include "ui/qt_host.h"

namespace kandrel {

namespace {

constexpr int kModuleId = 10003;
constexpr int kReadFileId = 10001;
constexpr int kTreePeriodMs = 500;
constexpr std::chrono::minutes kAutosavePeriod{3};
constexpr QSize kDesignedSize(960, 640);
constexpr const char* kOpenFilter =
    "全て|*.knd;*.bmp;*.jpg;*.png;*.gif;*.yuv10; *.hdr; *.tif;*.avi|Kandrel処理|*.knd|"
    "画像|*.bmp;*.jpg;*.png;*.gif;*.yuv10; *.hdr; *.tif|映像|*.avi";

QRect WorkArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// The process as a module, or nothing (and the process destroyed) when it is none.
std::unique_ptr<ProcModule> AsModule(std::unique_ptr<ProcVirtual> p) {
  auto* module = dynamic_cast<ProcModule*>(p.get());
  if (module == nullptr) return nullptr;
  p.release();
  return std::unique_ptr<ProcModule>(module);
}

}  // namespace

QRect ClampToWorkArea(const QRect& stored, const QRect& workArea) {
  QRect placed = stored;
  if (stored.x() < workArea.x() || stored.x() >= workArea.x() + workArea.width() - 20)
    placed.moveLeft(workArea.x());
  if (stored.y() < workArea.y() || stored.y() >= workArea.y() + workArea.height() - 20)
    placed.moveTop(workArea.y());
  return placed;
}

TForm1::TForm1(AppFolders folders)
    : folders_(std::move(folders)),
      controllerWindow_(std::make_unique<TFormTimePallete>(controller_)),
      tree_(new ProcessTree),
      tabs_(new QTabWidget),
      treeTimer_(new QTimer(this)),
      autosaveTimer_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("Kandrel"));
  setAcceptDrops(true);
  auto* splitter = new QSplitter;
  splitter->addWidget(BuildTreePane());
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(1, 1);
  setCentralWidget(splitter);
  SetDockSite(tabs_);
  SetToolWindowAnchor(this);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { ActivateTab(); });
  connect(tabs_, &QTabWidget::tabBarClicked, this, [this] {
    if (tabs_->count() > 0) ActivateTab();
  });
  BuildMenus();
  ReadSettings();
  treeTimer_->setInterval(kTreePeriodMs);
  connect(treeTimer_, &QTimer::timeout, tree_, &ProcessTree::Rebuild);
  AdoptLeftOverAutosave();
  controllerWindow_->onRunStarting = [this] { Autosave(); };
  autosaveTimer_->setInterval(kAutosavePeriod);
  connect(autosaveTimer_, &QTimer::timeout, this, &TForm1::Autosave);
  autosaveTimer_->start();
  NewProcess();
}

TForm1::~TForm1() {
  // The root's image windows may be pages of the tabs: they go before the tabs do.
  DestroyRoot();
}

QWidget* TForm1::BuildTreePane() {
  auto* pane = new QWidget;
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* buttons = new QHBoxLayout;
  const std::pair<const char*, void (TForm1::*)()> commands[] = {
      {"リセット", &TForm1::ResetCommand},
      {"ステップ実行", &TForm1::StepCommand},
      {"連続実行", &TForm1::RunCommand}};
  for (const auto& [caption, command] : commands) {
    auto* button = new QToolButton;
    button->setText(QString::fromUtf8(caption));
    connect(button, &QToolButton::clicked, this, [this, command = command] { (this->*command)(); });
    buttons->addWidget(button);
  }
  buttons->addStretch();
  layout->addLayout(buttons);
  layout->addWidget(tree_);
  return pane;
}

void TForm1::BuildMenus() {
  QMenuBar& bar = *menuBar();
  QMenu* file = bar.addMenu(QStringLiteral("ファイル"));
  file->addAction(QStringLiteral("新規「プロセス」"), QKeySequence(Qt::CTRL | Qt::Key_N), this,
                  [this] { NewProcess(); });
  file->addAction(QStringLiteral("前回の「プロセス」"), this, [this] { ReopenBackup(); });
  file->addAction(QStringLiteral("開く..."), QKeySequence(Qt::CTRL | Qt::Key_O), this,
                  [this] { OpenChosenFiles(); });
  file->addAction(QStringLiteral("「プロセス」を上書き保存..."), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                  [this] { SaveOverwrite(); });
  file->addAction(QStringLiteral("「プロセス」に名前を付けて保存..."), this, [this] { SaveAs(); });
  file->addSeparator();
  AddFileProcessItems(*file, [this](int tag) { InsertProcess(tag); });
  file->addSeparator();
  file->addAction(QStringLiteral("閉じる"), QKeySequence(Qt::CTRL | Qt::Key_W), this, [] {
    if (QWidget* window = QApplication::activeWindow()) window->close();
  });
  file->addAction(QStringLiteral("終了"), this, [this] { close(); });

  QMenu* edit = bar.addMenu(QStringLiteral("編集"));
  for (const char* caption : {"切り取り", "コピー", "貼り付け", "削除"})
    edit->addAction(QString::fromUtf8(caption))->setEnabled(false);

  const ProcessMenus menus = AddProcessMenus(bar, [this](int tag) { InsertProcess(tag); });
  plugInMenu_ = menus.plugIn;
  FillPlugInMenu();

  QMenu* run = bar.addMenu(QStringLiteral("実行"));
  run->addAction(QStringLiteral("コントローラ表示"), this,
                 [this] { controllerWindow_->ShowController(frameGeometry()); });
  run->addSeparator();
  run->addAction(QStringLiteral("リセット"), QKeySequence(Qt::Key_F7), this, [this] { ResetCommand(); });
  run->addAction(QStringLiteral("ステップ （１フレーム分）実行"), QKeySequence(Qt::Key_F8), this,
                 [this] { StepCommand(); });
  run->addAction(QStringLiteral("連続フレーム実行..."), QKeySequence(Qt::Key_F9), this,
                 [this] { RunCommand(); });

  QMenu* window = bar.addMenu(QStringLiteral("ウインドウ"));
  window->addAction(QStringLiteral("バージョン情報..."), this, [this] { ShowAbout(); });
  window->addSeparator();
  window->addAction(QStringLiteral("画素値"), QKeySequence(Qt::CTRL | Qt::Key_P), this, [] { ToggleDump(); });
  window->addAction(QStringLiteral("ヒストグラム"), QKeySequence(Qt::CTRL | Qt::Key_H), this,
                    [] { ToggleHistogram(); });
  window->addSeparator();
  window->addAction(QStringLiteral("スクロールを同期"), this, [] { SetAllSync(true); });
  window->addAction(QStringLiteral("スクロールの同期を解除"), this, [] { SetAllSync(false); });
  window->addAction(QStringLiteral("並べて表示"), QKeySequence(Qt::CTRL | Qt::Key_T), this, [] { TileAll(); });
  window->addAction(QStringLiteral("ドッキング"), QKeySequence(Qt::CTRL | Qt::Key_D), this, [] { DockAll(); });
  window->addAction(QStringLiteral("画像を全て隠す"), this, [] { ImageWindowRegistry::Instance().HideAll(); });
}

void TForm1::FillPlugInMenu() {
  for (const std::string& path : folders_.PlugInFiles()) {
    const QString caption = QString::fromStdString(std::filesystem::path(path).filename().string());
    plugInMenu_->addAction(caption, this, [this, path] { InsertPlugIn(path); });
  }
}

void TForm1::ShowAbout() {
  QDialog about(this);
  about.setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  auto* layout = new QVBoxLayout(&about);
  layout->addWidget(new QLabel(QStringLiteral("Kandrel\nバージョン 1.0\n画像処理パイプラインの設計")));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
  layout->addWidget(buttons);
  about.exec();
}

// ---- the root ----

SaveAnswer TForm1::AskToSave() {
  if (root_ == nullptr || !root_->IsModified()) return SaveAnswer::kDiscard;
  QueryRequest query{"確認", "現在のプロセスを保存しますか？", root_->Name(), {"保存する", "破棄", "キャンセル"}};
  switch (GetHost().AskQuery(query)) {
    case 0:
      return SaveAnswer::kSave;
    case 1:
      return SaveAnswer::kDiscard;
    default:
      return SaveAnswer::kCancel;
  }
}

bool TForm1::MayReplaceRoot() {
  if (StopRunFirst()) return false;
  switch (AskToSave()) {
    case SaveAnswer::kSave:
      // A save that failed or was cancelled must not let the graph go.
      return !SaveProcessFile(root_.get(), currentFileName_).empty();
    case SaveAnswer::kDiscard:
      return true;
    case SaveAnswer::kCancel:
      break;
  }
  return false;
}

void TForm1::DestroyRoot() {
  ImageWindowRegistry::Instance().HideAll();
  treeTimer_->stop();
  controller_.Attach(nullptr);
  tree_->SetRoot(nullptr);
  root_.reset();
}

void TForm1::InstallRoot(std::unique_ptr<ProcModule> root) {
  DestroyRoot();
  root_ = std::move(root);
  SetActiveModule(root_.get());
  controller_.Attach(root_.get());
  controllerWindow_->PressReset();
  tree_->SetRoot(root_.get());
  treeTimer_->start();
}

void TForm1::NewProcess() {
  if (!MayReplaceRoot()) return;
  std::unique_ptr<ProcModule> root = AsModule(CreateById(kModuleId));
  if (root == nullptr) return;
  InstallRoot(std::move(root));
  SetLastUsedDirectory(folders_.ProgramDirectory());
}

bool TForm1::OpenFile(const std::string& path) {
  if (ExtensionOf(path) != ".knd") {
    if (root_ == nullptr) return false;
    return root_->InsertFile(path) == 0;
  }
  if (!MayReplaceRoot()) return false;
  std::unique_ptr<ProcModule> loaded = AsModule(LoadProcessFile(path));
  if (loaded == nullptr) {
    GetHost().ShowMessage("最上位階層は親プロセスでなければいけません。");
    return false;
  }
  InstallRoot(std::move(loaded));
  currentFileName_ = path;
  if (ProcessDialog* editor = root_->Dialog()) editor->Show();
  return true;
}

void TForm1::OpenChosenFiles() {
  const QStringList chosen = QFileDialog::getOpenFileNames(
      this, QString(), QString::fromStdString(LastUsedDirectory()), QtFileFilter(kOpenFilter));
  for (const QString& path : chosen) OpenFile(path.toStdString());
}

void TForm1::ReopenBackup() {
  const std::string backup = folders_.BackupFile();
  std::error_code error;
  if (!std::filesystem::exists(backup, error)) return;
  // The backup is deleted only once it is the root; a cancelled or failed open keeps it.
  if (!OpenFile(backup)) return;
  currentFileName_.clear();
  SetLastUsedDirectory(folders_.ProgramDirectory());
  root_->SetModified(true);
  std::filesystem::remove(backup, error);
}

void TForm1::SaveOverwrite() { SaveProcessFile(root_.get(), currentFileName_); }

void TForm1::SaveAs() {
  const std::string saved = SaveProcessFile(root_.get(), "");
  if (!saved.empty()) currentFileName_ = saved;
}

ProcModule& TForm1::InsertionTarget() {
  ProcModule* target = ActiveModule() != nullptr ? ActiveModule() : root_.get();
  if (ProcessDialog* editor = target->Dialog()) editor->Show();
  return *target;
}

void TForm1::InsertProcess(int processId) {
  if (root_ == nullptr) return;
  ProcModule& target = InsertionTarget();
  if (processId == kReadFileId) {
    target.InsertImageFile("");
    return;
  }
  if (std::unique_ptr<ProcVirtual> p = CreateById(processId)) target.InsertNewProcess(std::move(p));
}

void TForm1::InsertPlugIn(const std::string& path) {
  if (root_ == nullptr) return;
  InsertionTarget().InsertFile(path);
}

// ---- autosave ----

void TForm1::AdoptLeftOverAutosave() {
  std::error_code error;  // usually there is none to adopt
  std::filesystem::rename(folders_.AutosaveFile(), folders_.BackupFile(), error);
}

void TForm1::Autosave() {
  const std::string path = folders_.AutosaveFile();
  if (root_ == nullptr || !root_->IsModified()) {
    // What the file holds has since been saved or given up.
    std::error_code error;
    std::filesystem::remove(path, error);
    return;
  }
  std::string error;
  if (folders_.EnsureDataDirectory() && WriteProcessCopy(*root_, path, error)) {
    autosaveFailureShown_ = false;
    return;
  }
  if (autosaveFailureShown_) return;
  autosaveFailureShown_ = true;
  GetHost().ShowMessage("ファイル " + path + " に書き込めません。" + error);
}

// ---- run commands ----

void TForm1::ResetCommand() {
  controllerWindow_->ShowController(frameGeometry());
  controllerWindow_->PressReset();
}

void TForm1::StepCommand() {
  controllerWindow_->ShowController(frameGeometry());
  controllerWindow_->PressStep();
}

void TForm1::RunCommand() {
  controllerWindow_->ShowController(frameGeometry());
  controllerWindow_->PressRun();
}

// ---- window events ----

bool TForm1::StopRunFirst() {
  // A continuous run holds the root between its frames: the root stays until the run ended.
  if (!controller_.InRun()) return false;
  controller_.Pause();
  return true;
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (StopRunFirst()) {
    event->ignore();
    return;
  }
  if (root_ != nullptr && root_->IsModified() && currentFileName_.empty()) {
    // Written without asking; when it cannot be, the user hears of it and the save query that
    // follows (the graph is still modified) lets them cancel the close.
    if (folders_.EnsureDataDirectory())
      SaveProcessFile(root_.get(), folders_.BackupFile());
    else
      GetHost().ShowMessage("ファイル " + folders_.BackupFile() + " に書き込めません。");
  }
  if (!MayReplaceRoot()) {
    event->ignore();
    return;
  }
  DestroyRoot();
  autosaveTimer_->stop();
  std::error_code error;
  std::filesystem::remove(folders_.AutosaveFile(), error);
  controllerWindow_->hide();
  event->accept();
  WriteSettings();
  QCoreApplication::quit();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) OpenFile(url.toLocalFile().toStdString());
  event->acceptProposedAction();
}

void TForm1::wheelEvent(QWheelEvent* event) {
  QWidget* page = tabs_->currentWidget();
  if (page == nullptr || forwardingWheel_) {
    QMainWindow::wheelEvent(event);
    return;
  }
  forwardingWheel_ = true;
  QCoreApplication::sendEvent(page, event);
  forwardingWheel_ = false;
}

void TForm1::ActivateTab() {
  if (auto* window = dynamic_cast<TFormImageWin*>(tabs_->currentWidget())) window->Activate();
  tabs_->setFocus();
}

// ---- settings ----

void TForm1::ReadSettings() {
  const QRect work = WorkArea();
  QSettings settings(QString::fromStdString(folders_.SettingsFile()), QSettings::IniFormat);
  settings.beginGroup("MainForm");
  const QRect stored(settings.value("Left", work.x()).toInt(), settings.value("Top", work.y()).toInt(),
                     settings.value("Width", kDesignedSize.width()).toInt(),
                     settings.value("Height", kDesignedSize.height()).toInt());
  const QRect placed = ClampToWorkArea(stored, work);
  move(placed.topLeft());
  resize(placed.size());
}

void TForm1::WriteSettings() const {
  if (!folders_.EnsureDataDirectory()) return;
  QSettings settings(QString::fromStdString(folders_.SettingsFile()), QSettings::IniFormat);
  settings.beginGroup("MainForm");
  const QRect frame = frameGeometry();
  settings.setValue("Left", frame.x());
  settings.setValue("Top", frame.y());
  settings.setValue("Width", frame.width());
  settings.setValue("Height", frame.height());
}

}  // namespace kandrel
