// TFormMovableTiling: the side of the blocks the motion-compensated tiling moves.
#pragma once

#include "ui/form_virtual.h"

class QLineEdit;

namespace kandrel {

class ProcMovableTiling;

class TFormMovableTiling : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormMovableTiling(ProcMovableTiling& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcMovableTiling& process_;
  QLineEdit* blockSize_;
};

}  // namespace kandrel
