// TFormCustomFilter5x5: the 5 × 5 coefficients (column x, row y) and the scale they are divided
// by, with presets that fill both and a button that sets the scale from the coefficients. Empty
// cells count as 0; a scale of 0 is refused, since integer images could not be divided by it.
#pragma once

#include "ui/form_virtual.h"

class QComboBox;
class QLineEdit;
class QTableWidget;

namespace kandrel {

class ProcCustomFilter5x5;

class TFormCustomFilter5x5 : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormCustomFilter5x5(ProcCustomFilter5x5& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  void ApplyPreset(int index);
  // The sum of the coefficients, or where that is 0 the root of their sum of squares, if positive.
  void NormalizeScale();
  // The number in a cell, 0 for an empty one; a text that is none throws the conversion error.
  double Coefficient(int row, int column) const;

  ProcCustomFilter5x5& process_;
  QComboBox* preset_;
  QTableWidget* grid_;
  QLineEdit* scale_;
};

}  // namespace kandrel
