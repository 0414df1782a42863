// TFormPeriodSwitch: for how many frames the switch passes input 1, then input 2, with the
// resulting cycle shown as the edits change. A negative period, or a cycle shorter than one
// frame, is refused.
#pragma once

#include "ui/form_virtual.h"

class QLineEdit;

namespace kandrel {

class ProcPeriodSwitch;

class TFormPeriodSwitch : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormPeriodSwitch(ProcPeriodSwitch& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  void ShowTotal();

  ProcPeriodSwitch& process_;
  QLineEdit* period1_;
  QLineEdit* period2_;
  QLineEdit* total_;
};

}  // namespace kandrel
