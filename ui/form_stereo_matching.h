// TFormStereoMatching: the block matcher's parameters, each an editable drop-down of the usual
// values under the name OpenCV gives it. The pre-filter type keeps its stored value.
#pragma once

#include <array>

#include "ui/form_virtual.h"

class QComboBox;

namespace kandrel {

class ProcStereoMatching;

class TFormStereoMatching : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormStereoMatching(ProcStereoMatching& process);

 protected:
  void ParamsToControls() override;
  // A text that is no integer leaves its field as it was.
  int ControlsToParams() override;

 private:
  ProcStereoMatching& process_;
  std::array<QComboBox*, 7> boxes_{};
};

}  // namespace kandrel
