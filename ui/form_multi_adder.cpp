#include "ui/form_multi_adder.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

#include "blocks/pixel/arithmetic.h"
#include "ui/frm_track_edit.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

using Params = ProcMultiAdder::Params;

// The rows from top to bottom, with the field each edits.
constexpr std::array<double Params::*, 4> kFieldOfRow = {&Params::weight1, &Params::weight2,
                                                          &Params::weight3, &Params::offset};
constexpr std::size_t kOffsetRow = 3;
constexpr double kWeightStep = 0.05;
constexpr int kOffsetTrackEnd = 255;

}  // namespace

TFormMultiAdder::TFormMultiAdder(ProcMultiAdder& process)
    : TFormVirtual(process), process_(process) {
  setWindowTitle(QStringLiteral("混合"));
  auto* grid = new QGridLayout;
  const QString captions[] = {QStringLiteral("入力 1 ×"), QStringLiteral("入力 2 ×"),
                              QStringLiteral("入力 3 ×"), QStringLiteral("Offset")};
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    rows_[i] = new TFrmTrackEdit;
    auto* label = new QLabel(captions[i]);
    label->setBuddy(&rows_[i]->Edit());
    grid->addWidget(label, static_cast<int>(i), 0);
    grid->addWidget(rows_[i], static_cast<int>(i), 1);
  }
  Body().addLayout(grid);
}

void TFormMultiAdder::ParamsToControls() {
  for (std::size_t i = 0; i < kOffsetRow; ++i) {
    rows_[i]->SetStep(kWeightStep);
    rows_[i]->TrackBar().setRange(0, 40);
  }
  TFrmTrackEdit& offset = *rows_[kOffsetRow];
  offset.TrackBar().setRange(-kOffsetTrackEnd, kOffsetTrackEnd);
  offset.TrackBar().setTickInterval(5);
  offset.TrackBar().setTickPosition(QSlider::TicksBelow);
  if (const Image* input1 = process_.GetInput(0))
    offset.SetStep(input1->whiteLevel / kOffsetTrackEnd);

  for (std::size_t i = 0; i < rows_.size(); ++i)
    rows_[i]->Edit().setText(FloatToStr(process_.params.*kFieldOfRow[i]));
}

int TFormMultiAdder::ControlsToParams() {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    process_.params.*kFieldOfRow[i] = StrToFloat(rows_[i]->Edit().text());
  return 0;
}

}  // namespace kandrel
