// TFormMultiplier: whether the product (or, for the divider, the quotient) gets a white level of
// its own, and which. The white levels of the two inputs are shown; checking the box proposes
// In1 × In2 (In1 ÷ In2, or In1 when In2 is 0), unchecking it goes back to In1.
#pragma once

#include "ui/form_virtual.h"

class QCheckBox;
class QLineEdit;

namespace kandrel {

class ProcMultiplier;

class TFormMultiplier : public TFormVirtual {
  Q_OBJECT

 public:
  // The divider shares the multiplier's class; its process ID selects the divide mode.
  explicit TFormMultiplier(ProcMultiplier& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  void RecomputeOutput();

  ProcMultiplier& process_;
  const bool divideMode_;
  double input1Level_ = 1.0;
  double input2Level_ = 1.0;
  QLineEdit* input1_;
  QLineEdit* input2_;
  QCheckBox* recompute_;
  QLineEdit* output_;
};

}  // namespace kandrel
