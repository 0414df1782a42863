#include "ui/form_to_int_double.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/pixel/type_conversion.h"
#include "ui/number_text.h"

namespace kandrel {

bool IsEntering(const QEvent& event) {
  if (event.type() != QEvent::FocusIn) return false;
  const Qt::FocusReason reason = static_cast<const QFocusEvent&>(event).reason();
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

TFormToIntDouble::TFormToIntDouble(ProcToInt& process)
    : TFormVirtual(process),
      process_(process),
      input_(new QLineEdit),
      output_(new QLineEdit),
      rescale_(new QCheckBox(QStringLiteral("スケールを変換する..."))) {
  setWindowTitle(QStringLiteral("Scale"));
  auto* grid = new QGridLayout;
  auto* inputLabel = new QLabel(QStringLiteral("入力のWhiteLevel"));
  inputLabel->setBuddy(input_);
  auto* outputLabel = new QLabel(QStringLiteral("出力のWhiteLevel"));
  outputLabel->setBuddy(output_);
  grid->addWidget(inputLabel, 0, 0);
  grid->addWidget(outputLabel, 0, 2);
  grid->addWidget(input_, 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("→")), 1, 1);
  grid->addWidget(output_, 1, 2);
  grid->addWidget(rescale_, 2, 0, 1, 3);
  Body().addLayout(grid);

  input_->installEventFilter(this);
  output_->installEventFilter(this);
}

bool TFormToIntDouble::eventFilter(QObject* watched, QEvent* event) {
  // Whoever goes to change a white level means to rescale; coming back to the window is not that.
  if ((watched == input_ || watched == output_) && IsEntering(*event)) rescale_->setChecked(true);
  return TFormVirtual::eventFilter(watched, event);
}

void TFormToIntDouble::ParamsToControls() {
  const ProcToInt::Params& p = process_.params;
  const Image* input1 = process_.GetInput(0);
  input_->setText(FloatToStr(p.rescale == 0 && input1 != nullptr ? input1->whiteLevel
                                                                  : p.inputWhiteLevel));
  output_->setText(FloatToStr(p.outputWhiteLevel));
  rescale_->setChecked(p.rescale != 0);
}

int TFormToIntDouble::ControlsToParams() {
  const bool rescale = rescale_->isChecked();
  const double inputLevel = StrToFloat(input_->text());
  // Checked before anything is stored, so that rescaling never meets a zero input level.
  if (rescale && inputLevel == 0) {
    GetHost().ShowMessage("0以外の数値を指定して下さい。");
    return 1;
  }
  ProcToInt::Params& p = process_.params;
  p.rescale = rescale ? 1 : 0;
  p.inputWhiteLevel = inputLevel;
  p.outputWhiteLevel = StrToFloat(output_->text());
  return 0;
}

}  // namespace kandrel
