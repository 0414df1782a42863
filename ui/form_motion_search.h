// TFormMotionSearch: the block size (also the step between blocks, so that they tile the frame)
// and the search range of the block motion search.
#pragma once

#include "ui/form_virtual.h"

class QComboBox;
class QLineEdit;

namespace kandrel {

class ProcMotionSearch;

class TFormMotionSearch : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormMotionSearch(ProcMotionSearch& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcMotionSearch& process_;
  QLineEdit* blockSize_;
  QLineEdit* searchRange_;
  QComboBox* algorithm_;
};

}  // namespace kandrel
