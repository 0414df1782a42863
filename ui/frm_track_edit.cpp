#include "ui/frm_track_edit.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "process/host.h"
#include "ui/number_drag.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {
constexpr int kDeadZoneLeft = 20;  // pixels left of the edit before a drag changes the number
}

TFrmTrackEdit::TFrmTrackEdit(QWidget* parent)
    : QWidget(parent),
      edit_(new QLineEdit(QStringLiteral("1"))),
      track_(new QSlider(Qt::Horizontal)) {
  track_->setRange(0, 40);
  track_->setValue(20);
  drag_ = new NumberDrag(*edit_, [this](int x) -> std::optional<int> {
    const int left = edit_->x() - kDeadZoneLeft;
    const int right = edit_->x() + edit_->width();
    if (x < left) return x - left;
    if (x > right) return x - right;
    return std::nullopt;
  });
  edit_->installEventFilter(this);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
  layout->addWidget(track_, 1);

  connect(track_, &QSlider::valueChanged, this, &TFrmTrackEdit::TrackMoved);
  connect(edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (const std::optional<double> value = TryStrToFloat(text)) MoveTrackTo(*value);
  });
}

double TFrmTrackEdit::Step() const { return drag_->Step(); }
void TFrmTrackEdit::SetStep(double step) { drag_->SetStep(step); }

bool TFrmTrackEdit::eventFilter(QObject* watched, QEvent* event) {
  // Leaving the edit for another control; a window losing activation is not leaving it.
  if (watched == edit_ && event->type() == QEvent::FocusOut) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      try {
        MoveTrackTo(StrToFloat(edit_->text()));
      } catch (const ConversionError& error) {
        GetHost().ShowMessage(error.what());
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmTrackEdit::TrackMoved(int position) {
  if (!updatingTrack_) edit_->setText(FloatToStr(position * Step()));
}

void TFrmTrackEdit::MoveTrackTo(double value) {
  const double position = std::round(value / Step());
  if (std::isnan(position)) return;  // 0 / 0 with a step of 0
  updatingTrack_ = true;
  track_->setValue(
      static_cast<int>(std::clamp<double>(position, track_->minimum(), track_->maximum())));
  updatingTrack_ = false;
}

}  // namespace kandrel
