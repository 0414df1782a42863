#include "ui/form_convolution.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "blocks/filter/convolution.h"

namespace kandrel {

TFormConvolution::TFormConvolution(ProcConvolution& process)
    : TFormVirtual(process),
      process_(process),
      flipKernel_(new QCheckBox(QStringLiteral("180°反転する。（≒パターンマッチング）"))),
      normalize_(new QCheckBox(QStringLiteral("振幅を正規化"))),
      normKind_(new QComboBox),
      centered_(new QCheckBox(QStringLiteral("画像の中心を原点とする。"))) {
  setWindowTitle(QStringLiteral("Convolution"));
  Body().addWidget(new QLabel(QStringLiteral("C(x,y) = ∑　A(x-u, y-v) ・B(u,v)")));
  normKind_->addItems(
      {QStringLiteral("L1ノルム（絶対値和）"), QStringLiteral("L2ノルム（√二乗和）")});
  auto* kernelOptions = new QGroupBox(QStringLiteral("入力B のオプション"));
  auto* options = new QVBoxLayout(kernelOptions);
  options->addWidget(flipKernel_);
  auto* norm = new QHBoxLayout;
  norm->addWidget(normalize_);
  norm->addWidget(normKind_, 1);
  options->addLayout(norm);
  Body().addWidget(kernelOptions);
  Body().addWidget(centered_);
}

void TFormConvolution::ParamsToControls() {
  // Any nonzero flag is set, and any norm but 0 is the L2 norm, as the process reads them.
  const ProcConvolution::Params& p = process_.params;
  flipKernel_->setChecked(p.flipKernel != 0);
  normalize_->setChecked(p.normalize != 0);
  normKind_->setCurrentIndex(p.normKind != 0 ? 1 : 0);
  centered_->setChecked(p.centered != 0);
}

int TFormConvolution::ControlsToParams() {
  ProcConvolution::Params& p = process_.params;
  p.flipKernel = flipKernel_->isChecked() ? 1 : 0;
  p.normalize = normalize_->isChecked() ? 1 : 0;
  p.normKind = normKind_->currentIndex();
  p.centered = centered_->isChecked() ? 1 : 0;
  return 0;
}

}  // namespace kandrel
