// Where a process's window stands, as the process file keeps it. The geometry is empty until the
// window has a position of its own (shown once, or put there by a file), so that a window never
// shown is not pinned to the corner of the screen when the file is loaded again.
#pragma once

#include <QWidget>

#include "process/host.h"

namespace kandrel {

class WindowPlacement {
 public:
  DialogGeometry Of(const QWidget& window) const {
    if (!placed_) return {};
    return {window.x(), window.y(), window.width(), window.height()};
  }
  void Restore(QWidget& window, const DialogGeometry& geometry, bool withSize) {
    window.move(geometry.left, geometry.top);
    if (withSize) window.resize(geometry.width, geometry.height);
    placed_ = true;
  }
  void MarkShown() { placed_ = true; }

 private:
  bool placed_ = false;
};

}  // namespace kandrel
