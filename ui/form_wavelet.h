// TFormWavelet: decomposition or reconstruction, and the largest number of pyramid levels
// (1 … 10; levels the image is too small for are skipped when the process runs).
#pragma once

#include "ui/form_virtual.h"

class QButtonGroup;
class QComboBox;

namespace kandrel {

class ProcWavelet;

class TFormWavelet : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormWavelet(ProcWavelet& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcWavelet& process_;
  QButtonGroup* inverse_;  // button id = inverse
  QComboBox* levels_;      // item index + 1 = levels
};

}  // namespace kandrel
