// TFormSubband: the dialog of both subband kinds, division and synthesis: the filter (one kind
// only, shown for information and not stored) and the direction of the split.
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;

namespace kandrel {

class ProcSubband;

class TFormSubband : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormSubband(ProcSubband& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcSubband& process_;
  QButtonGroup* direction_;  // button id = direction
};

}  // namespace kandrel
