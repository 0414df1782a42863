// TFormFFT: the direction of the Fourier transform and whether the origin sits in the middle of
// the image. The prime-factor box only tells the user that any size is transformed quickly; it
// cannot be cleared.
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;
class QCheckBox;

namespace kandrel {

class ProcFFT;

class TFormFFT : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormFFT(ProcFFT& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcFFT& process_;
  QButtonGroup* direction_;
  QCheckBox* centerOrigin_;
};

}  // namespace kandrel
