// TFormResize: the output size of the resizing processes, per axis in pixels or as a percentage
// of the input's size at showing time, with the interpolation (resampling) or the anchor (canvas
// size; the process ID of ProcCanvasSize selects that variant). The dialog edits a copy of the
// parameters and stores it whole once every check has passed.
#pragma once

#include "blocks/geometry/resize.h"
#include "ui/form_virtual.h"

class QButtonGroup;
class QComboBox;

namespace kandrel {

class ResizeAxis;

class TFormResize : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormResize(ProcResize& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcResize& process_;
  ProcResize::Params block_;
  QComboBox* interpolation_;
  ResizeAxis* width_;
  ResizeAxis* height_;
  QButtonGroup* anchor_;  // button id = anchorY × 3 + anchorX
};

}  // namespace kandrel
