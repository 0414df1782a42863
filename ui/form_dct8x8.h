// TFormDCT8x8: the quantiser of the 8 × 8 DCT (a scale and an 8 × 8 table, column = horizontal
// frequency, row = vertical) and the direction, with presets that fill the table and the scale.
// Every product of table entry and scale must be a step within 1..INT32_MAX; the dialog stores
// the whole parameter block only once every check has passed.
#pragma once

#include "blocks/transform/dct8x8.h"
#include "ui/form_virtual.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QTableWidget;

namespace kandrel {

class TFormDCT8x8 : public TFormVirtual {
  Q_OBJECT

 public:
  explicit TFormDCT8x8(ProcDCT8x8& process);

 protected:
  void ParamsToControls() override;
  int ControlsToParams() override;

 private:
  void ShowQuantiser(const QuantTable& table, int scale);
  void ApplyPreset(int index);

  ProcDCT8x8& process_;
  QLineEdit* scale_;
  QTableWidget* table_;  // item (row, column) = quantTable[row][column]
  QButtonGroup* direction_;
  QComboBox* preset_;
};

}  // namespace kandrel
