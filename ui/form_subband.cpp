#include "ui/form_subband.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "blocks/transform/subband.h"
#include "ui/form_fields.h"

namespace kandrel {

TFormSubband::TFormSubband(ProcSubband& process)
    : TFormVirtual(process), process_(process), direction_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Subband division / synthesis"));
  auto* filter = new QComboBox;
  filter->addItem(QStringLiteral("QMF 16 tap"));
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(NewBuddyLabel(QStringLiteral("フィルタタイプ　："), *filter));
  filterRow->addWidget(filter, 1);
  Body().addLayout(filterRow);
  Body().addWidget(NewRadioGroup(QStringLiteral("方向"),
                                 {QStringLiteral("水平"), QStringLiteral("垂直")}, *direction_));
}

void TFormSubband::ParamsToControls() {
  // A direction no dialog stores leaves the buttons as they are.
  if (QAbstractButton* button = direction_->button(process_.params.direction))
    button->setChecked(true);
}

int TFormSubband::ControlsToParams() {
  process_.params.direction = direction_->checkedId();
  return 0;
}

}  // namespace kandrel
