#include "ui/form_wavelet.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "blocks/transform/subband.h"
#include "ui/form_fields.h"

namespace kandrel {

TFormWavelet::TFormWavelet(ProcWavelet& process)
    : TFormVirtual(process),
      process_(process),
      inverse_(new QButtonGroup(this)),
      levels_(new QComboBox) {
  setWindowTitle(QStringLiteral("Subband division / synthesis"));
  for (int levels = 1; levels <= kMaxWaveletLevels; ++levels)
    levels_->addItem(QString::number(levels));
  auto* row = new QHBoxLayout;
  row->addWidget(
      NewRadioGroup({}, {QStringLiteral("正変換"), QStringLiteral("逆変換")}, *inverse_));
  row->addWidget(NewBuddyLabel(QStringLiteral("最大段数"), *levels_));
  row->addWidget(levels_);
  Body().addLayout(row);
}

void TFormWavelet::ParamsToControls() {
  const ProcWavelet::Params& p = process_.params;
  // Values no dialog stores leave their controls as they are.
  if (QAbstractButton* button = inverse_->button(p.inverse)) button->setChecked(true);
  if (p.levels >= 1 && p.levels <= kMaxWaveletLevels) levels_->setCurrentIndex(p.levels - 1);
}

int TFormWavelet::ControlsToParams() {
  process_.params.inverse = inverse_->checkedId();
  process_.params.levels = levels_->currentIndex() + 1;
  return 0;
}

}  // namespace kandrel
