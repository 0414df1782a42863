// TFormLesson2: the sample dialog of the second teaching example: the weights of its three inputs
// and the offset, each a real number without a range. Its two red notes tell students that it is
// an example to redesign.
#pragma once

#include <array>

#include "ui/form_virtual.h"

class QLineEdit;

namespace kandrel {

class ProcLesson2;

class TFormLesson2 : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormLesson2(ProcLesson2& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  ProcLesson2& process_;
  std::array<QLineEdit*, 4> fields_{};  // weight1, weight2, weight3, offset
};

}  // namespace kandrel
