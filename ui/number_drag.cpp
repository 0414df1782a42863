#include "ui/number_drag.h"

#include <QLineEdit>
#include <QMouseEvent>

#include "ui/number_text.h"

namespace kandrel {

NumberDrag::NumberDrag(QLineEdit& edit, PixelOffset offset)
    : QObject(&edit), edit_(edit), offset_(std::move(offset)) {
  edit.installEventFilter(this);
}

bool NumberDrag::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &edit_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      dragging_ = true;
      start_ = TryStrToFloat(edit_.text()).value_or(0.0);
      break;
    case QEvent::MouseMove:
      if (dragging_) {
        const int x = static_cast<QMouseEvent*>(event)->position().toPoint().x();
        if (const std::optional<int> offset = offset_(x))
          edit_.setText(FloatToStr(start_ + *offset * step_));
      }
      break;
    case QEvent::MouseButtonRelease:
      dragging_ = false;
      break;
    default:
      break;
  }
  return false;
}

}  // namespace kandrel
