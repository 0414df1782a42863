// TFrmTrackEdit: a track bar coupled to a numeric edit. Moving the track bar shows position ×
// step in the edit; a number typed into the edit moves the track bar to number / step, rounded
// half away from zero (a text that is no number is left alone while typing, and reported when the
// edit is left). The number can also be dragged with the mouse beyond either side of the edit.
// Owners set the step, the track bar's range and the edit's text.
#pragma once

#include <QWidget>

class QLineEdit;
class QSlider;

namespace kandrel {

class NumberDrag;

class TFrmTrackEdit : public QWidget {
  Q_OBJECT

 public:
  explicit TFrmTrackEdit(QWidget* parent = nullptr);

  QLineEdit& Edit() const { return *edit_; }
  QSlider& TrackBar() const { return *track_; }
  double Step() const;
  void SetStep(double step);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TrackMoved(int position);
  void MoveTrackTo(double value);

  // Shared by every track edit: set while an edit moves a track bar, so that the track bar's
  // handler does not write the edit back while the user types.
  static inline bool updatingTrack_ = false;

  QLineEdit* edit_;
  QSlider* track_;
  NumberDrag* drag_;
};

}  // namespace kandrel
