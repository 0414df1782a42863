#include "ui/form_multiplier.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/pixel/arithmetic.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

// An unlinked input (or one without an image yet) counts as white level 1.
double WhiteLevelOf(const Image* image) { return image != nullptr ? image->whiteLevel : 1.0; }

QLineEdit* NewReadOnlyEdit() {
  auto* edit = new QLineEdit;
  edit->setReadOnly(true);
  return edit;
}

void AddLabelled(QGridLayout& grid, int row, const QString& caption, QLineEdit* edit) {
  auto* label = new QLabel(caption);
  label->setBuddy(edit);
  grid.addWidget(label, row, 0);
  grid.addWidget(edit, row, 1);
}

}  // namespace

TFormMultiplier::TFormMultiplier(ProcMultiplier& process)
    : TFormVirtual(process),
      process_(process),
      divideMode_(process.ProcessId() == kDividerProcessId),
      input1_(NewReadOnlyEdit()),
      input2_(NewReadOnlyEdit()),
      recompute_(new QCheckBox(QStringLiteral("WhiteLevelも再計算する..."))),
      output_(NewReadOnlyEdit()) {
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("WhiteLevel")), 0, 1);
  AddLabelled(*grid, 1, QStringLiteral("入力1"), input1_);
  AddLabelled(*grid, 2, QStringLiteral("入力2"), input2_);
  grid->addWidget(recompute_, 3, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("WhiteLevel")), 4, 1);
  AddLabelled(*grid, 5, QStringLiteral("出力"), output_);
  Body().addLayout(grid);

  // A click, not a programmatic change: showing the parameters must not overwrite the output.
  connect(recompute_, &QCheckBox::clicked, this, &TFormMultiplier::RecomputeOutput);
}

void TFormMultiplier::ParamsToControls() {
  input1Level_ = WhiteLevelOf(process_.GetInput(0));
  input2Level_ = WhiteLevelOf(process_.GetInput(1));
  input1_->setText(FloatToStr(input1Level_));
  input2_->setText(FloatToStr(input2Level_));
  recompute_->setChecked(process_.params.recomputeWhiteLevel != 0);
  output_->setText(FloatToStr(process_.params.outputWhiteLevel));
}

void TFormMultiplier::RecomputeOutput() {
  double level = input1Level_;
  if (recompute_->isChecked()) {
    if (!divideMode_)
      level = input1Level_ * input2Level_;
    else if (input2Level_ != 0)
      level = input1Level_ / input2Level_;
  }
  output_->setText(FloatToStr(level));
}

int TFormMultiplier::ControlsToParams() {
  process_.params.recomputeWhiteLevel = recompute_->isChecked() ? 1 : 0;
  process_.params.outputWhiteLevel = StrToFloat(output_->text());
  return 0;
}

}  // namespace kandrel
