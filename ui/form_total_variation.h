// TFormTotalVariation: λ, the loop count and the step τ of total-variation denoising, each with
// its two-line note. A loop count that is not an integer becomes 10; the values are stored
// together once λ and τ are numbers and the iteration can run with them (τ ≤ 1/8 is only
// advised).
#pragma once

#include "ui/form_virtual.h"

class QLineEdit;

namespace kandrel {

class ProcTotalVariation;

class TFormTotalVariation : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormTotalVariation(ProcTotalVariation& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcTotalVariation& process_;
  QLineEdit* lambda_;
  QLineEdit* loopCount_;
  QLineEdit* tau_;
};

}  // namespace kandrel
