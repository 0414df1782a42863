// Changing the number in an edit by dragging the mouse, shared by the drag edit and the track
// edit. Pressing a button on the edit starts a drag from the edit's number (0 when it holds none);
// every move while dragging shows start + offset × step, where the owner maps the pointer's x
// (relative to the edit) to the offset in pixels, or to nothing to leave the text as it is.
// Releasing the button ends the drag. The edit keeps its own mouse handling.
#pragma once

#include <QObject>
#include <functional>
#include <optional>

class QLineEdit;

namespace kandrel {

class NumberDrag : public QObject {
  Q_OBJECT

 public:
  using PixelOffset = std::function<std::optional<int>(int x)>;

  NumberDrag(QLineEdit& edit, PixelOffset offset);

  double Step() const { return step_; }
  void SetStep(double step) { step_ = step; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit& edit_;
  PixelOffset offset_;
  double step_ = 1.0;
  double start_ = 0.0;
  bool dragging_ = false;
};

}  // namespace kandrel
