// TFormMultiAdder: the weights of the three-input mix and its offset, each a track bar with a
// number. The weights run from 0 to 2 in steps of 0.05; the offset's track spans ± the white
// level of input 1's image.
#pragma once

#include <array>

#include "ui/form_virtual.h"

namespace kandrel {

class ProcMultiAdder;
class TFrmTrackEdit;

class TFormMultiAdder : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormMultiAdder(ProcMultiAdder& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcMultiAdder& process_;
  std::array<TFrmTrackEdit*, 4> rows_{};  // weight1, weight2, weight3, offset
};

}  // namespace kandrel
