#include "ui/form_module.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "hdl/verilog.h"
#include "process/catalogue.h"
#include "process/process_file.h"
#include "ui/module_dialogs.h"
#include "ui/wire_drawing.h"

namespace kandrel {

namespace {

constexpr int kRefreshMs = 500;
// Room left right of and below the farthest icon when scrolling.
constexpr int kScrollMargin = 40;
// Outputs' stubs stick out this far from an icon's right edge.
constexpr int kStubLength = 4;
// Wires meet a port in the middle of its 17-pixel row.
constexpr int kPortMiddle = 9;

std::array<TFormModule*, TFormModule::kMaxWindows>& Registry() {
  static std::array<TFormModule*, TFormModule::kMaxWindows> windows{};
  return windows;
}

int TakeSlot(TFormModule* window) {
  auto& registry = Registry();
  const auto free = std::find(registry.begin(), registry.end(), nullptr);
  if (free == registry.end()) return -1;
  *free = window;
  return static_cast<int>(free - registry.begin());
}

QPoint OutputEnd(const TProcFrame& icon, int k) {
  return {icon.x() + icon.width(), icon.y() + icon.OutputRect(k).top() + kPortMiddle};
}

QPoint InputEnd(const TProcFrame& icon, int k) {
  return {icon.x(), icon.y() + icon.InputRect(k).top() + kPortMiddle};
}

// A process saved alone leaves the file of the whole graph out of date, so its unsaved edits
// must still count as unsaved there.
void SaveAlone(ProcVirtual& p) {
  const bool wasModified = p.IsModified();
  SaveProcessFile(&p, "");
  p.SetModified(wasModified);
}

}  // namespace

// The scrolling surface under the icons: paints the wires and takes presses on empty canvas.
class ModuleCanvas : public QAbstractScrollArea {
 public:
  explicit ModuleCanvas(TFormModule& form) : form_(form) {
    viewport()->setObjectName("canvas");
    viewport()->setAutoFillBackground(true);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(viewport());
    form_.PaintWires(painter);
  }
  void mousePressEvent(QMouseEvent* event) override {
    SetActiveModule(&form_.module_);
    if (event->button() == Qt::LeftButton) form_.StartWire(event->position().toPoint());
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (form_.wireDrag_) form_.DragWire(event->position().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent*) override { form_.EndWire(); }
  void contextMenuEvent(QContextMenuEvent* event) override {
    form_.ShowCanvasMenu(event->globalPos());
  }
  void resizeEvent(QResizeEvent*) override { form_.LayOut(); }
  void scrollContentsBy(int, int) override { form_.LayOut(); }

 private:
  TFormModule& form_;
};

TFormModule::TFormModule(ProcModule& module)
    : ModuleEditor(module),
      slot_(TakeSlot(this)),
      canvas_(new ModuleCanvas(*this)),
      inPorts_(new TProcFrame(TProcFrame::kInPortTag, canvas_->viewport())),
      outPorts_(new TProcFrame(TProcFrame::kOutPortTag, canvas_->viewport())),
      refreshTimer_(new QTimer(this)) {
  setCentralWidget(canvas_);
  setAcceptDrops(true);
  resize(640, 400);
  const QRect workArea = QGuiApplication::primaryScreen()->availableGeometry();
  const int cascade = std::max(slot_, 0) % 10;
  move(workArea.left() + cascade * 30, workArea.top() + cascade * 20 + 495);

  for (int j = 0; j < kChildIcons; ++j) {
    icons_[j] = new TProcFrame(j, canvas_->viewport());
    icons_[j]->hide();
    ConnectIcon(*icons_[j]);
  }
  ConnectIcon(*inPorts_);
  ConnectIcon(*outPorts_);
  inPorts_->raise();
  outPorts_->raise();
  BuildMenus();
  connect(refreshTimer_, &QTimer::timeout, this, &TFormModule::RefreshEditor);
  refreshTimer_->setInterval(kRefreshMs);
  RefreshEditor();
}

TFormModule::~TFormModule() {
  refreshTimer_->stop();
  if (slot_ >= 0) Registry()[slot_] = nullptr;
}

void TFormModule::BuildMenus() {
  editMenu_ = menuBar()->addMenu(QStringLiteral("編集"));
  auto add = [this](QMenu* menu, const QString& text, void (TFormModule::*command)(),
                    QKeySequence shortcut = {}) {
    QAction* action = menu->addAction(text, this, command);
    action->setShortcut(shortcut);
    return action;
  };
  add(editMenu_, QStringLiteral("切り取り"), &TFormModule::Cut, QKeySequence(Qt::CTRL | Qt::Key_X));
  add(editMenu_, QStringLiteral("コピー"), &TFormModule::Copy, QKeySequence(Qt::CTRL | Qt::Key_C));
  add(editMenu_, QStringLiteral("貼り付け"), &TFormModule::Paste,
      QKeySequence(Qt::CTRL | Qt::Key_V));
  add(editMenu_, QStringLiteral("削除"), &TFormModule::Delete, QKeySequence(Qt::Key_Delete));

  submoduleMenu_ = menuBar()->addMenu(QStringLiteral("サブモジュール"));
  add(submoduleMenu_, QStringLiteral("新しい「サブモジュール」を挿入..."),
      &TFormModule::InsertNewSubmodule);
  add(submoduleMenu_, QStringLiteral("「サブモジュール」をファイルから挿入..."),
      &TFormModule::InsertSubmoduleFromFile);
  add(submoduleMenu_, QStringLiteral("最前面の「サブモジュール」のみ保存..."),
      &TFormModule::SaveModuleAlone);
  add(submoduleMenu_, QStringLiteral("このモジュールのみ保存..."), &TFormModule::SaveModuleAlone);
  add(submoduleMenu_, QStringLiteral("このモジュールの名前を編集..."), &TFormModule::RenameModule);
  add(submoduleMenu_, QStringLiteral("入出力端子数を編集..."), &TFormModule::EditPortCounts);
  add(submoduleMenu_, QStringLiteral("Verilogを表示"), &TFormModule::ShowVerilog);
  add(submoduleMenu_, QStringLiteral("Verilogファイルを出力..."), &TFormModule::SaveVerilog);
}

void TFormModule::ShowVerilog() { module_.ShowVerilog(); }

void TFormModule::SaveVerilog() { SaveVerilogFile(module_, ""); }

void TFormModule::ConnectIcon(TProcFrame& icon) {
  TProcFrame* frame = &icon;
  connect(frame, &TProcFrame::inputPressed, this, [this](int, QPoint pos) {
    StartWire(pos);
    SetActiveModule(&module_);
  });
  connect(frame, &TProcFrame::inputDragged, this, &TFormModule::DragWire);
  connect(frame, &TProcFrame::inputReleased, this, [this, frame](int k, QPoint pos) {
    EndWire();
    FinishLink(*frame, k, pos);
  });
  connect(frame, &TProcFrame::outputReleased, this, [this, frame](int k, Qt::KeyboardModifiers m) {
    MarkOutput(*frame, k, m & (Qt::ShiftModifier | Qt::ControlModifier));
  });
  if (!icon.IsChildIcon()) return;
  connect(frame, &TProcFrame::bodyPressed, this, [this, frame](Qt::KeyboardModifiers m) {
    SetActiveModule(&module_);
    SelectIcon(*frame, m & (Qt::ShiftModifier | Qt::ControlModifier));
  });
  connect(frame, &TProcFrame::moved, this, [this, frame] { StoreIconPosition(*frame); });
  connect(frame, &TProcFrame::doubleClicked, this, [frame] {
    if (frame->Process() != nullptr) frame->Process()->ShowDialog();
  });
  connect(frame, &TProcFrame::stepClicked, this, [this, frame] {
    if (frame->Process() == nullptr) return;
    frame->Process()->Step();
    BindIcon(*frame, frame->Process());
  });
  connect(frame, &TProcFrame::contextMenuRequested, this,
          [this, frame](QPoint pos) { ShowIconMenu(*frame, pos); });
}

void TFormModule::ShowIconMenu(TProcFrame& icon, QPoint globalPos) {
  ProcVirtual* p = icon.Process();
  if (p == nullptr) return;
  QMenu menu;
  menu.addAction(QStringLiteral("ステップ実行"), [this, &icon, p] {
    p->Step();
    BindIcon(icon, p);
  });
  menu.addAction(QStringLiteral("リセット"), [this, &icon, p] {
    p->Reset();
    BindIcon(icon, p);
  });
  menu.addAction(QStringLiteral("コピー"), [p] { CopyToBuffer(*p); });
  menu.addAction(QStringLiteral("このモジュールのみ保存..."), [p] { SaveAlone(*p); });
  menu.exec(globalPos);
}

void TFormModule::ShowCanvasMenu(QPoint globalPos) {
  QMenu menu;
  menu.addActions(editMenu_->actions());
  menu.addSeparator();
  menu.addActions(submoduleMenu_->actions());
  menu.exec(globalPos);
}

// ---- the dialog face ----

void TFormModule::Show() {
  show();
  raise();
  activateWindow();
}

void TFormModule::Hide() { hide(); }
bool TFormModule::IsVisible() const { return isVisible(); }

DialogGeometry TFormModule::Geometry() const { return placement_.Of(*this); }

void TFormModule::RestoreGeometry(const DialogGeometry& geometry, bool withSize) {
  placement_.Restore(*this, geometry, withSize);
}

void TFormModule::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  placement_.MarkShown();
  RefreshEditor();
  refreshTimer_->start();
}

void TFormModule::hideEvent(QHideEvent* event) {
  QMainWindow::hideEvent(event);
  refreshTimer_->stop();
}

void TFormModule::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) SetActiveModule(&module_);
}

void TFormModule::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormModule::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  event->acceptProposedAction();
  for (const QUrl& url : urls)
    if (url.isLocalFile()) module_.InsertFile(url.toLocalFile().toStdString());
}

// ---- binding and marks ----

void TFormModule::RefreshEditor() {
  setWindowTitle(QString::fromStdString(module_.Name()));
  BindIcon(*inPorts_, module_.InputPort());
  iconCount_ = module_.ChildCount();
  for (int k = 0; k < kChildIcons; ++k) {
    ProcVirtual* child = module_.Child(k);
    icons_[k]->setVisible(child != nullptr);
    BindIcon(*icons_[k], child);
  }
  BindIcon(*outPorts_, module_.OutputPort());
  LayOut();
}

void TFormModule::Repaint() {
  ShowAllMarks();
  canvas_->viewport()->update();
}

void TFormModule::BindIcon(TProcFrame& icon, ProcVirtual* p) {
  icon.Bind(p);
  if (p == nullptr) return;
  if (icon.IsChildIcon()) PlaceIcon(icon);
  icon.ShowMarks(IsIconSelected(icon.Tag()), MarksOf(icon));
}

void TFormModule::PlaceIcon(TProcFrame& icon) {
  const ProcVirtual& p = *icon.Process();
  const QPoint at = QPoint(p.IconX(), p.IconY()) - ScrollOffset();
  if (icon.pos() != at) icon.move(at);
}

std::array<bool, kMaxPorts> TFormModule::MarksOf(const TProcFrame& icon) const {
  std::array<bool, kMaxPorts> marks{};
  for (int k = 0; k < kMaxPorts; ++k) marks[k] = IsOutputMarked(icon.Tag(), k);
  return marks;
}

void TFormModule::ShowAllMarks() {
  inPorts_->ShowMarks(false, MarksOf(*inPorts_));
  for (int k = 0; k < iconCount_; ++k) icons_[k]->ShowMarks(IsIconSelected(k), MarksOf(*icons_[k]));
}

void TFormModule::SelectIcon(TProcFrame& icon, bool shift) {
  const int tag = icon.Tag();
  const bool select = !(shift && IsIconSelected(tag));
  for (int k = 0; k < kChildIcons; ++k) SetIconSelected(k, false);
  SetIconSelected(tag, select);
  Repaint();
}

void TFormModule::MarkOutput(TProcFrame& icon, int k, bool shift) {
  ProcVirtual* p = icon.Process();
  Image* image = p != nullptr ? p->GetOutput(k) : nullptr;
  if (image == nullptr) return;
  const int tag = icon.Tag();
  if (shift) {
    SetOutputMark(tag, k, !IsOutputMarked(tag, k));
  } else {
    ClearOutputMarks();
    SetOutputMark(tag, k, true);
  }
  Repaint();
  image->ShowWindow();
}

// ---- placing ----

QWidget* TFormModule::Canvas() const { return canvas_->viewport(); }

QPoint TFormModule::ScrollOffset() const {
  return {canvas_->horizontalScrollBar()->value(), canvas_->verticalScrollBar()->value()};
}

void TFormModule::LayOut() {
  const QSize view = canvas_->viewport()->size();
  QSize content;
  for (int k = 0; k < iconCount_; ++k) {
    const ProcVirtual& p = *icons_[k]->Process();
    content = content.expandedTo(QSize(p.IconX() + icons_[k]->width() + kScrollMargin,
                                       p.IconY() + icons_[k]->height() + kScrollMargin));
  }
  canvas_->horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
  canvas_->verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
  canvas_->horizontalScrollBar()->setPageStep(view.width());
  canvas_->verticalScrollBar()->setPageStep(view.height());
  for (int k = 0; k < iconCount_; ++k) PlaceIcon(*icons_[k]);
  inPorts_->setGeometry(0, 0, TProcFrame::kStripWidth, view.height());
  outPorts_->setGeometry(view.width() - TProcFrame::kStripWidth, 0, TProcFrame::kStripWidth,
                         view.height());
  canvas_->viewport()->update();
}

void TFormModule::StoreIconPosition(TProcFrame& icon) {
  ProcVirtual* p = icon.Process();
  if (p == nullptr) return;
  // Icons stay on the canvas: one dragged past its top or left edge could not be scrolled to.
  const QPoint at = icon.pos() + ScrollOffset();
  p->SetIconPosition(std::max(0, at.x()), std::max(0, at.y()));
  // The layout is part of the file, so moving an icon is an edit like any other.
  module_.SetModified(true);
  LayOut();
}

// ---- wires ----

void TFormModule::StartWire(QPoint canvasPos) {
  wireDrag_ = true;
  wireStart_ = canvasPos;
  wireEnd_ = canvasPos;
  canvas_->viewport()->update();
}

void TFormModule::DragWire(QPoint canvasPos) {
  wireEnd_ = canvasPos;
  canvas_->viewport()->update();
}

void TFormModule::EndWire() {
  wireDrag_ = false;
  canvas_->viewport()->update();
}

void TFormModule::FinishLink(TProcFrame& icon, int k, QPoint canvasPos) {
  ProcVirtual* p = icon.Process();
  if (p == nullptr) return;
  // Releasing on the button itself is a click: it only shows what arrives there.
  if (!icon.InputRect(k).translated(icon.pos()).contains(canvasPos)) {
    const std::optional<OutputHit> hit = HitTestOutput(canvasPos);
    if (!hit) {
      p->Disconnect(k);
      module_.SetModified(true);
    } else if (hit->icon->Tag() == icon.Tag()) {
      GetHost().ShowMessage("ループ接続はFrameBufferを経由して下さい。");
    } else {
      p->Connect(k, hit->icon->Process(), hit->output);
      module_.SetModified(true);
    }
    RefreshEditor();
  }
  if (Image* image = p->GetInput(k)) image->ShowWindow();
}

std::optional<TFormModule::OutputHit> TFormModule::HitTestOutput(QPoint canvasPos) const {
  auto test = [canvasPos](TProcFrame* icon) -> std::optional<OutputHit> {
    const ProcVirtual* p = icon->Process();
    if (p == nullptr) return std::nullopt;
    for (int k = 0; k < p->OutputCount(); ++k) {
      const QRect panel = icon->OutputRect(k).translated(icon->pos());
      if (panel.left() <= canvasPos.x() && canvasPos.x() <= icon->x() + icon->width() &&
          panel.top() <= canvasPos.y() && canvasPos.y() <= panel.top() + panel.height())
        return OutputHit{icon, k};
    }
    return std::nullopt;
  };
  for (int j = 0; j < iconCount_; ++j)
    if (auto hit = test(icons_[j])) return hit;
  return test(inPorts_);
}

TProcFrame* TFormModule::IconShowing(const ProcVirtual* p) const {
  if (p == nullptr) return nullptr;
  if (p == inPorts_->Process()) return inPorts_;
  if (p == outPorts_->Process()) return outPorts_;
  for (int j = 0; j < iconCount_; ++j)
    if (icons_[j]->Process() == p) return icons_[j];
  return nullptr;
}

void TFormModule::PaintWires(QPainter& painter) {
  std::vector<TProcFrame*> sources = {inPorts_};
  sources.insert(sources.end(), icons_.begin(), icons_.begin() + iconCount_);
  for (TProcFrame* icon : sources) {
    ProcVirtual* p = icon->Process();
    if (p == nullptr) continue;
    for (int k = 0; k < p->OutputCount(); ++k) {
      if (p->GetOutput(k) == nullptr) continue;
      const QPoint end = OutputEnd(*icon, k);
      DrawWireSegment(painter, end + QPoint(kStubLength, 0), end,
                      WireStyleFor(p->GetOutputType(k)));
    }
  }
  std::vector<TProcFrame*> sinks(icons_.begin(), icons_.begin() + iconCount_);
  sinks.push_back(outPorts_);
  for (TProcFrame* icon : sinks) {
    ProcVirtual* p = icon->Process();
    if (p == nullptr) continue;
    for (int k = 0; k < p->InputCount(); ++k) {
      const ProcessLink link = p->GetInputLink(k);
      // Links from outside this module are not drawn here.
      const TProcFrame* source = IconShowing(link.source);
      if (source == nullptr) continue;
      DrawWire(painter, InputEnd(*icon, k), OutputEnd(*source, link.sourceOutput),
               link.source->GetOutputType(link.sourceOutput));
    }
  }
  if (wireDrag_) DrawWire(painter, wireStart_, wireEnd_, 0);
}

// ---- window commands ----

void TFormModule::Cut() {
  if (module_.ChildCount() == 0) return;
  Copy();
  Delete();
}

void TFormModule::Copy() {
  for (int k = 0; k < iconCount_; ++k)
    if (IsIconSelected(k) && module_.Child(k) != nullptr) CopyToBuffer(*module_.Child(k));
}

void TFormModule::Paste() {
  PasteFromBuffer(module_);
  if (module_.ChildCount() > 0) SelectOnlyIcon(module_.ChildCount() - 1);
  Repaint();
}

void TFormModule::Delete() {
  for (int k = iconCount_ - 1; k >= 0; --k) {
    const ProcVirtual* child = module_.Child(k);
    if (!IsIconSelected(k) || child == nullptr) continue;
    TFormQueryDelProc query(child->Name(), this);
    if (RunModal(query) == QDialog::Accepted) module_.RemoveProcess(k);
  }
}

void TFormModule::InsertNewSubmodule() {
  Show();
  if (std::unique_ptr<ProcVirtual> submodule = CreateById(kModuleProcessId))
    module_.InsertNewProcess(std::move(submodule));
}

void TFormModule::InsertSubmoduleFromFile() {
  Show();
  std::unique_ptr<ProcVirtual> loaded = LoadProcessFile("");
  if (loaded == nullptr) return;
  if (ProcVirtual* added = module_.InsertLoadedProcess(std::move(loaded))) added->Reset();
}

void TFormModule::SaveModuleAlone() { SaveAlone(module_); }

void TFormModule::RenameModule() {
  TFormChangeName dialog(module_.Name(), this);
  if (RunModal(dialog) == QDialog::Accepted) module_.SetName(dialog.Name());
}

void TFormModule::EditPortCounts() {
  TFormInOutCount dialog(module_, this);
  if (RunModal(dialog) != QDialog::Accepted) return;
  dialog.Apply();
  RefreshEditor();
}

}  // namespace kandrel
