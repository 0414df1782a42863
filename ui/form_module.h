// TFormModule: the editor window of one module. It shows the module's children as icons, the
// module's ports as two strips at the edges, and the links as wires painted on a scrollable
// canvas. The user links by dragging from an input to an output, places icons, marks outputs
// for the next insertion, renames, deletes, copies, pastes and inserts processes, changes the
// ports and drops files. Every edit goes through the module; the window keeps only the marks.
// The module owns the window; closing it only hides it.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <array>
#include <optional>

#include "process/proc_module.h"
#include "ui/proc_frame.h"
#include "ui/window_placement.h"

class QAbstractScrollArea;
class QMenu;
class QTimer;

namespace kandrel {

class ModuleCanvas;

class TFormModule : public QMainWindow, public ModuleEditor {
  Q_OBJECT

 public:
  static constexpr int kMaxWindows = 100;

  explicit TFormModule(ProcModule& module);
  ~TFormModule() override;

  void Show() override;
  void Hide() override;
  bool IsVisible() const override;
  DialogGeometry Geometry() const override;
  void RestoreGeometry(const DialogGeometry& geometry, bool withSize) override;

  void RefreshEditor() override;
  void Repaint() override;

  struct OutputHit {
    TProcFrame* icon = nullptr;
    int output = 0;
  };
  void BindIcon(TProcFrame& icon, ProcVirtual* p);
  void SelectIcon(TProcFrame& icon, bool shift);
  void MarkOutput(TProcFrame& icon, int k, bool shift);
  // The output panel under a canvas point: child icons first, then the module inputs.
  std::optional<OutputHit> HitTestOutput(QPoint canvasPos) const;

  // Window commands.
  void Cut();
  void Copy();
  void Paste();
  void Delete();
  void InsertNewSubmodule();
  void InsertSubmoduleFromFile();
  void SaveModuleAlone();
  void RenameModule();
  void EditPortCounts();
  void ShowVerilog();
  void SaveVerilog();

  // The menus the main window takes into its menu bar while this editor is active.
  QMenu* EditMenu() const { return editMenu_; }
  QMenu* SubmoduleMenu() const { return submoduleMenu_; }

  TProcFrame* Icon(int k) const { return icons_[k]; }
  TProcFrame* InPorts() const { return inPorts_; }
  TProcFrame* OutPorts() const { return outPorts_; }
  // The surface the wires are painted on; icons and strips are its children.
  QWidget* Canvas() const;
  int IconCount() const { return iconCount_; }
  // The slot in the registry of editor windows, -1 when all were taken.
  int Slot() const { return slot_; }
  // Whether a provisional wire is being dragged.
  bool IsDraggingWire() const { return wireDrag_; }

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  friend class ModuleCanvas;

  void BuildMenus();
  void ConnectIcon(TProcFrame& icon);
  void ShowIconMenu(TProcFrame& icon, QPoint globalPos);
  void ShowCanvasMenu(QPoint globalPos);
  void StartWire(QPoint canvasPos);
  void DragWire(QPoint canvasPos);
  void EndWire();
  void FinishLink(TProcFrame& icon, int k, QPoint canvasPos);
  void StoreIconPosition(TProcFrame& icon);
  void ShowAllMarks();
  // Puts the strips at the edges and the icons at their positions, and sets the scroll range.
  void LayOut();
  // Moves a bound child icon to its process's canvas position.
  void PlaceIcon(TProcFrame& icon);
  void PaintWires(QPainter& painter);
  TProcFrame* IconShowing(const ProcVirtual* p) const;
  QPoint ScrollOffset() const;
  std::array<bool, kMaxPorts> MarksOf(const TProcFrame& icon) const;

  int slot_ = -1;
  WindowPlacement placement_;
  ModuleCanvas* canvas_;
  TProcFrame* inPorts_;
  TProcFrame* outPorts_;
  std::array<TProcFrame*, kChildIcons> icons_{};
  int iconCount_ = 0;
  bool wireDrag_ = false;
  QPoint wireStart_;
  QPoint wireEnd_;
  QTimer* refreshTimer_;
  QMenu* editMenu_ = nullptr;
  QMenu* submoduleMenu_ = nullptr;
};

}  // namespace kandrel
