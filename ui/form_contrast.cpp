#include "ui/form_contrast.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "blocks/pixel/tone.h"
#include "ui/form_curve_picture.h"
#include "ui/form_fields.h"
#include "ui/frm_medit.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

constexpr int kCurveSize = 256;
constexpr double kLevels = 255;
constexpr double kGainStep = 0.05;

}  // namespace

TFormContrast::TFormContrast(ProcContrast& process)
    : TFormVirtual(process),
      process_(process),
      gain_(new TFrmMEdit),
      offset_(new TFrmMEdit),
      curve_(new CurvePicture(kCurveSize)) {
  setWindowTitle(QStringLiteral("明るさ・コントラスト"));
  auto* grid = new QGridLayout;
  grid->addWidget(NewBuddyLabel(QStringLiteral("入力 1 ×"), gain_->Edit()), 0, 0);
  grid->addWidget(gain_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("（コントラスト）")), 0, 2);
  auto* offsetCaption = new QHBoxLayout;
  offsetCaption->addWidget(new QLabel(QStringLiteral("＋")));
  offsetCaption->addWidget(NewBuddyLabel(QStringLiteral("Offset"), offset_->Edit()));
  grid->addLayout(offsetCaption, 1, 0);
  grid->addWidget(offset_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("（明るさ）")), 1, 2);
  Body().addLayout(grid);
  Body().addWidget(curve_, 0, Qt::AlignHCenter);

  connect(&gain_->Edit(), &QLineEdit::textChanged, this, &TFormContrast::FollowFields);
  connect(&offset_->Edit(), &QLineEdit::textChanged, this, &TFormContrast::FollowFields);
}

void TFormContrast::ParamsToControls() {
  gain_->SetStep(kGainStep);
  if (const Image* input1 = process_.GetInput(0)) offset_->SetStep(input1->whiteLevel / kLevels);
  gain_->Edit().setText(FloatToStr(process_.params.gain));
  offset_->Edit().setText(FloatToStr(process_.params.offset));
  FollowFields();
}

void TFormContrast::FollowFields() {
  if (const std::optional<double> gain = TryStrToFloat(gain_->Edit().text())) curveGain_ = *gain;
  if (const std::optional<double> offset = TryStrToFloat(offset_->Edit().text()))
    curveOffset_ = *offset;
  DrawCurve();
}

void TFormContrast::DrawCurve() {
  curve_->Clear();
  const double range = kLevels * offset_->Step();  // input 1's white level
  // An input without a white level spans no range to draw over.
  if (range == 0) return;
  for (int i = 0; i < kCurveSize; ++i) {
    const double level =
        std::trunc(((i * range / kLevels) * curveGain_ + curveOffset_) * kLevels / range);
    curve_->Plot(i, kLevels + 0.5 - level);
  }
}

int TFormContrast::ControlsToParams() {
  process_.params.gain = StrToFloat(gain_->Edit().text());
  process_.params.offset = StrToFloat(offset_->Edit().text());
  return 0;
}

}  // namespace kandrel
