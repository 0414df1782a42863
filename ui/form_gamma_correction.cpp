#include "ui/form_gamma_correction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "blocks/pixel/tone.h"
#include "ui/form_curve_picture.h"
#include "ui/form_fields.h"
#include "ui/form_to_int_double.h"
#include "ui/frm_medit.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

constexpr int kCurveSize = 128;
constexpr double kCurveTop = kCurveSize - 1;
constexpr double kGammaStep = 0.02;

}  // namespace

TFormGammaCorrection::TFormGammaCorrection(ProcGammaDbl& process)
    : TFormVirtual(process),
      process_(process),
      direction_(new QButtonGroup(this)),
      gamma_(new TFrmMEdit),
      fixWhiteLevel_(new QCheckBox(QStringLiteral("WhiteLevel を固定する"))),
      whiteLevel_(new TFrmMEdit),
      curve_(new CurvePicture(kCurveSize)) {
  setWindowTitle(QStringLiteral("ガンマ補正"));
  // Item index = direction.
  QGroupBox* directions =
      NewRadioGroup({}, {QStringLiteral("Gamma"), QStringLiteral("Degamma")}, *direction_);
  gamma_->SetStep(kGammaStep);
  gamma_->Edit().setObjectName(QStringLiteral("gamma"));
  whiteLevel_->Edit().setObjectName(QStringLiteral("whiteLevel"));

  auto* grid = new QGridLayout;
  grid->addWidget(directions, 0, 0);
  grid->addWidget(gamma_, 0, 1);
  grid->addWidget(fixWhiteLevel_, 1, 0);
  grid->addWidget(whiteLevel_, 1, 1);
  Body().addLayout(grid);
  Body().addWidget(curve_, 0, Qt::AlignHCenter);

  whiteLevel_->Edit().installEventFilter(this);
  connect(&gamma_->Edit(), &QLineEdit::textChanged, this, &TFormGammaCorrection::FollowControls);
  connect(&whiteLevel_->Edit(), &QLineEdit::textChanged, this,
          &TFormGammaCorrection::FollowControls);
  connect(direction_, &QButtonGroup::idToggled, this, &TFormGammaCorrection::DrawCurve);
  connect(fixWhiteLevel_, &QCheckBox::toggled, this, &TFormGammaCorrection::DrawCurve);
}

bool TFormGammaCorrection::eventFilter(QObject* watched, QEvent* event) {
  // Whoever goes to change the white level means to fix it.
  if (watched == &whiteLevel_->Edit() && IsEntering(*event)) fixWhiteLevel_->setChecked(true);
  return TFormVirtual::eventFilter(watched, event);
}

void TFormGammaCorrection::ParamsToControls() {
  const ProcGammaDbl::Params& p = process_.params;
  // The process decodes for any nonzero direction.
  direction_->button(p.direction != 0 ? ProcGammaDbl::kDegamma : ProcGammaDbl::kGamma)
      ->setChecked(true);
  gamma_->Edit().setText(FloatToStr(p.gammaValue));
  fixWhiteLevel_->setChecked(p.fixWhiteLevel != 0);
  const Image* input1 = process_.GetInput(0);
  whiteLevel_->Edit().setText(FloatToStr(
      p.fixWhiteLevel == 0 && input1 != nullptr ? input1->whiteLevel : p.whiteLevelParam));
  FollowControls();
}

void TFormGammaCorrection::FollowControls() {
  // A field that holds no number leaves its last value in the curve.
  if (const std::optional<double> gamma = TryStrToFloat(gamma_->Edit().text()))
    curveGamma_ = *gamma;
  if (const std::optional<double> level = TryStrToFloat(whiteLevel_->Edit().text()))
    curveWhiteLevel_ = *level;
  DrawCurve();
}

void TFormGammaCorrection::DrawCurve() {
  curve_->Clear();
  if (curveGamma_ <= 0) return;
  const double exponent =
      direction_->checkedId() == ProcGammaDbl::kGamma ? 1 / curveGamma_ : curveGamma_;
  const bool fixed = fixWhiteLevel_->isChecked();
  const double level = curveWhiteLevel_;
  if (!fixed && level <= 0) return;
  for (int i = 0; i < kCurveSize; ++i) {
    // Fixed: relative to the white level; otherwise the samples of input 1's range themselves.
    const double y =
        fixed ? std::trunc(std::pow(i / kCurveTop, exponent) * kCurveTop)
              : std::trunc(std::pow(level * i / kCurveTop, exponent) * kCurveTop / level);
    curve_->Plot(i, kCurveTop - y);
  }
}

int TFormGammaCorrection::ControlsToParams() {
  ProcGammaDbl::Params& p = process_.params;
  p.gammaValue = StrToFloat(gamma_->Edit().text());
  p.direction = direction_->checkedId();
  p.fixWhiteLevel = fixWhiteLevel_->isChecked() ? 1 : 0;
  p.whiteLevelParam = StrToFloat(whiteLevel_->Edit().text());
  return 0;
}

}  // namespace kandrel
