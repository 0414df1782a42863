#include "ui/form_gabor_filter.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/filter/gabor.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

TFormGaborFilter::TFormGaborFilter(ProcGaborFilter& process)
    : TFormVirtual(process),
      process_(process),
      size_(new ImageSizePanel),
      theta_(new QLineEdit),
      sigma_(new QLineEdit),
      period_(new QLineEdit),
      amplitude_(new QLineEdit),
      outputKind_(new QButtonGroup(this)),
      precision_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("GaborFilter"));
  Body().addWidget(new QLabel(QStringLiteral("ガボールフィルタ生成")));
  Body().addWidget(new QLabel(
      QStringLiteral("K・exp { j 2π(x cosθ + y sinθ) / T }・exp { - (xx + yy) / 2σ^2｝")));
  auto* top = new QHBoxLayout;
  top->addWidget(size_);
  auto* grid = new QGridLayout;
  AddLabelledRow(*grid, 0, QStringLiteral("方向θ"), *theta_);
  AddLabelledRow(*grid, 1, QStringLiteral("分散σ"), *sigma_);
  AddLabelledRow(*grid, 2, QStringLiteral("周期 T"), *period_);
  AddLabelledRow(*grid, 3, QStringLiteral("振幅 K"), *amplitude_);
  top->addLayout(grid);
  Body().addLayout(top);
  auto* centre = new QCheckBox(QStringLiteral("画像の中心を原点に"));
  centre->setChecked(true);
  connect(centre, &QCheckBox::clicked, centre, [centre] { centre->setChecked(true); });
  Body().addWidget(centre);
  auto* output = new QHBoxLayout;
  output->addWidget(NewRadioGroup(QStringLiteral("出力形式"),
                                  {QStringLiteral("複素数"), QStringLiteral("実数部のみ"),
                                   QStringLiteral("虚数部のみ")},
                                  *outputKind_));
  precisionBox_ = NewRadioGroup(QStringLiteral("精度"),
                                {QStringLiteral("float"), QStringLiteral("int")}, *precision_);
  output->addWidget(precisionBox_);
  Body().addLayout(output);
  connect(outputKind_, &QButtonGroup::idToggled, this, [this] { EnablePrecision(); });
  EnablePrecision();
}

void TFormGaborFilter::EnablePrecision() {
  precisionBox_->setEnabled(outputKind_->checkedId() != ProcGaborFilter::kComplex);
}

void TFormGaborFilter::ParamsToControls() {
  const ProcGaborFilter::Params& p = process_.params;
  size_->Show(p.kernelWidth, p.kernelHeight);
  theta_->setText(FloatToStr(p.theta));
  sigma_->setText(FloatToStr(p.sigma));
  period_->setText(FloatToStr(p.period));
  amplitude_->setText(FloatToStr(p.amplitude));
  // A kind no dialog stores leaves the buttons as they are.
  if (QAbstractButton* kind = outputKind_->button(p.outputKind)) kind->setChecked(true);
  precision_->button(p.intOutput != 0 ? 1 : 0)->setChecked(true);
  EnablePrecision();
}

int TFormGaborFilter::ControlsToParams() {
  ProcGaborFilter::Params edited = process_.params;
  edited.kernelWidth = size_->ReadWidth();
  edited.kernelHeight = size_->ReadHeight();
  const auto sizeAccepted = [](int length) {
    return length >= kMinGaborSize && length <= kMaxGaborSize;
  };
  if (!sizeAccepted(edited.kernelWidth) || !sizeAccepted(edited.kernelHeight)) {
    GetHost().ShowMessage("サイズは2～31 の値を入力して下さい。");
    return 1;
  }
  edited.theta = StrToFloat(theta_->text());
  edited.sigma = StrToFloat(sigma_->text());
  edited.period = StrToFloat(period_->text());
  edited.amplitude = StrToFloat(amplitude_->text());
  if (edited.period < 1.0) {
    GetHost().ShowMessage("周期は1.0以上の値を入力して下さい。");
    return 1;
  }
  edited.outputKind = outputKind_->checkedId();
  edited.intOutput = precision_->checkedId();
  process_.params = edited;
  return 0;
}

}  // namespace kandrel
