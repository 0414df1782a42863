// TFormToMono: how a three-channel image becomes one channel: one of its channels alone, or a mix
// of the three with weights and an offset. The extraction buttons stand for the exact weight
// tuples (1, 0, 0, 0), (0, 1, 0, 0) and (0, 0, 1, 0); anything else is a mix.
#pragma once

#include <array>

#include "ui/form_virtual.h"

class QButtonGroup;
class QLineEdit;

namespace kandrel {

class ProcToMono;

class TFormToMono : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormToMono(ProcToMono& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcToMono& process_;
  QButtonGroup* mode_;
  std::array<QLineEdit*, 4> values_{};  // weight1, weight2, weight3, offset
};

}  // namespace kandrel
