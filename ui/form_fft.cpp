#include "ui/form_fft.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "blocks/transform/fft.h"
#include "ui/form_fields.h"

namespace kandrel {

TFormFFT::TFormFFT(ProcFFT& process)
    : TFormVirtual(process),
      process_(process),
      direction_(new QButtonGroup(this)),
      centerOrigin_(new QCheckBox(QStringLiteral("DC成分（原点）を画像の中央に"))) {
  setWindowTitle(QStringLiteral("FFT"));
  Body().addWidget(
      NewRadioGroup({}, {QStringLiteral("正変換"), QStringLiteral("逆変換")}, *direction_));
  Body().addWidget(centerOrigin_);
  Body().addWidget(new QLabel(QStringLiteral("オプション：")));
  auto* primeFactor = new QCheckBox(QStringLiteral("サイズがN^2でない時はPrime Factor"));
  primeFactor->setChecked(true);
  connect(primeFactor, &QCheckBox::clicked, primeFactor, [primeFactor] { primeFactor->setChecked(true); });
  Body().addWidget(primeFactor);
  Body().addWidget(NewBuddyLabel(QStringLiteral("Algorithm によって高速化する"), *primeFactor));
}

void TFormFFT::ParamsToControls() {
  // A direction no dialog stores leaves the buttons as they are.
  if (QAbstractButton* button = direction_->button(process_.params.inverse)) button->setChecked(true);
  centerOrigin_->setChecked(process_.params.centerOrigin > 0);
}

int TFormFFT::ControlsToParams() {
  process_.params.inverse = direction_->checkedId();
  process_.params.centerOrigin = centerOrigin_->isChecked() ? 1 : 0;
  return 0;
}

}  // namespace kandrel
