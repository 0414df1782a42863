// TProcFrame: the icon of one process in the module editor, and the two port strips at the
// window's edges. An icon shows its position in the evaluation order, the process name (editable
// in place), its input buttons, output panels, status and a step button. It reports presses,
// drags and releases to the editor through signals; moving an icon and renaming happen here.
#pragma once

#include <QFrame>
#include <QPoint>
#include <array>

#include "process/proc_virtual.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kandrel {

// Height of a child icon: room for the larger port column, at least three rows.
int IconHeight(int inputCount, int outputCount);

class TProcFrame : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kInPortTag = -1;    // left strip: the module's inputs, as outputs
  static constexpr int kOutPortTag = 999;  // right strip: the module's outputs, as inputs
  static constexpr int kWidth = 106;
  static constexpr int kStripWidth = 30;

  // tag: the child position 0..19, or one of the port tags.
  TProcFrame(int tag, QWidget* parent);

  int Tag() const { return tag_; }
  bool IsChildIcon() const { return tag_ != kInPortTag && tag_ != kOutPortTag; }
  ProcVirtual* Process() const { return process_; }
  // Shows p's name, status and ports (null: shows nothing).
  void Bind(ProcVirtual* p);
  // Colours of the icon and of its output panels; marks tells which outputs are marked.
  void ShowMarks(bool selected, const std::array<bool, kMaxPorts>& marks);

  // Geometry of port k relative to the icon.
  QRect InputRect(int k) const;
  QRect OutputRect(int k) const;
  QPushButton* InputButton(int k) const { return inputs_[k]; }
  QLabel* OutputPanel(int k) const { return outputs_[k]; }
  QLineEdit* NameCell() const { return name_; }
  QLineEdit* StatusField() const { return status_; }
  QPushButton* StepButton() const { return step_; }
  bool IsEditingName() const;

 signals:
  // Positions in the coordinates of the icon's parent (the canvas).
  void inputPressed(int k, QPoint canvasPos);
  void inputDragged(QPoint canvasPos);
  void inputReleased(int k, QPoint canvasPos);
  void outputReleased(int k, Qt::KeyboardModifiers modifiers);
  void bodyPressed(Qt::KeyboardModifiers modifiers);
  void moved();
  void doubleClicked();
  void stepClicked();
  void contextMenuRequested(QPoint globalPos);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildChildIcon();
  void BuildStrip();
  bool InputEvent(int k, QEvent* event);
  void ShowOutputs();

  const int tag_;
  ProcVirtual* process_ = nullptr;
  bool dragging_ = false;
  QPoint grab_;
  QLabel* number_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* status_ = nullptr;
  QPushButton* step_ = nullptr;
  std::array<QPushButton*, kMaxPorts> inputs_{};
  std::array<QLabel*, kMaxPorts> outputs_{};
};

}  // namespace kandrel
