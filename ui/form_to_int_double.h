// TFormToIntDouble: the white levels of the conversions to Int, Float and Complex and whether the
// samples are rescaled from one to the other. Without rescaling the input level proposed is that
// of input 1's image; entering either level turns rescaling on. An input level of 0 cannot be
// rescaled from.
#pragma once

#include "ui/form_virtual.h"

class QCheckBox;
class QLineEdit;

namespace kandrel {

class ProcToInt;

// A control gaining the focus by the user's choice (a click, a tab), not by its window coming
// back to the front; shared by the dialogs that react to entering an edit.
bool IsEntering(const QEvent& event);

class TFormToIntDouble : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormToIntDouble(ProcToInt& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ProcToInt& process_;
  QLineEdit* input_;
  QLineEdit* output_;
  QCheckBox* rescale_;
};

}  // namespace kandrel
