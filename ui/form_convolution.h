// TFormConvolution: how input 2 (the kernel B) is applied to input 1 — rotated by 180° or as
// stored, divided by its L1 or L2 norm or not, with its origin at its corner or its centre. The
// formula at the top is the one the unrotated, uncentred setting computes.
#pragma once

#include "ui/form_virtual.h"

class QCheckBox;
class QComboBox;

namespace kandrel {

class ProcConvolution;

class TFormConvolution : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormConvolution(ProcConvolution& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcConvolution& process_;
  QCheckBox* flipKernel_;
  QCheckBox* normalize_;
  QComboBox* normKind_;
  QCheckBox* centered_;
};

}  // namespace kandrel
