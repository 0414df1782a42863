#include "ui/form_sine_wave.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "blocks/pixel/pattern.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

using Params = ProcSineWave::Params;

bool WithinPatternSize(int length) { return length >= 2 && length <= 2048; }
bool WithinCycles(double cycles) { return cycles >= -1024 && cycles <= 1024; }

}  // namespace

TFormSineWave::TFormSineWave(ProcSineWave& process)
    : TFormVirtual(process),
      process_(process),
      size_(new ImageSizePanel),
      intOutput_(new QButtonGroup(this)),
      halfPixel_(new QCheckBox(QStringLiteral("ピクセル[0][0]を座標（0.5, 0.5）と考える。"))),
      centerOrigin_(new QCheckBox(QStringLiteral("原点を画像の中央に"))),
      pages_(new QTabWidget),
      flatValue_(new QLineEdit),
      waveform_(new QButtonGroup(this)),
      cyclesPerWidth_(new QLineEdit),
      cyclesPerHeight_(new QLineEdit),
      leftFrequency_(new QLineEdit),
      rightFrequency_(new QLineEdit),
      phaseShift_(new QLineEdit) {
  setWindowTitle(QStringLiteral("パターン生成"));
  auto* top = new QHBoxLayout;
  top->addWidget(size_);
  top->addWidget(NewRadioGroup(QStringLiteral("型"),
                               {QStringLiteral("float型 0～1"), QStringLiteral("Int型 0～255")},
                               *intOutput_));
  Body().addLayout(top);
  Body().addWidget(halfPixel_);
  Body().addWidget(centerOrigin_);

  // In the order of the pattern kinds.
  pages_->addTab(NewFlatPage(), QStringLiteral("Flat"));
  pages_->addTab(NewGratingPage(), QStringLiteral("SineWave"));
  pages_->addTab(NewZonePlatePage(), QStringLiteral("CZP"));
  pages_->addTab(NewChartPage(), QStringLiteral("MTF Chart"));
  Body().addWidget(pages_);
}

QWidget* TFormSineWave::NewFlatPage() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  AddLabelledRow(*grid, 0, QStringLiteral("値"), *flatValue_);
  grid->setRowStretch(1, 1);
  return page;
}

QWidget* TFormSineWave::NewGratingPage() {
  auto* page = new QWidget;
  auto* row = new QHBoxLayout(page);
  row->addWidget(NewRadioGroup(
      QStringLiteral("波形"),
      {QStringLiteral("Sin"), QStringLiteral("Cos"), QStringLiteral("Sinc")}, *waveform_));
  auto* grid = new QGridLayout;
  AddLabelledRow(*grid, 0, QStringLiteral("cycle / width"), *cyclesPerWidth_);
  AddLabelledRow(*grid, 1, QStringLiteral("cycle / height"), *cyclesPerHeight_);
  grid->setRowStretch(2, 1);
  row->addLayout(grid);
  return page;
}

QWidget* TFormSineWave::NewZonePlatePage() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->addWidget(new QLabel(QStringLiteral("CircularZonePlate")));
  column->addStretch();
  return page;
}

QWidget* TFormSineWave::NewChartPage() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  grid->addWidget(new QLabel(QStringLiteral("Campbell Chart")), 0, 0, 1, 3);
  const QString perPixel = QStringLiteral("cycle / pixel");
  AddLabelledRow(*grid, 1, QStringLiteral("左端の周波数"), *leftFrequency_, perPixel);
  AddLabelledRow(*grid, 2, QStringLiteral("右端の周波数"), *rightFrequency_, perPixel);
  AddLabelledRow(*grid, 3, QStringLiteral("位相調整"), *phaseShift_, QStringLiteral("pixel"));
  grid->setRowStretch(4, 1);
  return page;
}

void TFormSineWave::ParamsToControls() {
  const Params& p = process_.params;
  size_->Show(p.width, p.height);
  intOutput_->button(p.intOutput != 0 ? 1 : 0)->setChecked(true);
  halfPixel_->setChecked(p.halfPixel != 0);
  centerOrigin_->setChecked(p.centerOrigin != 0);
  // Values no dialog stores leave the page and the waveform as they are.
  if (p.patternKind >= 0 && p.patternKind < pages_->count()) pages_->setCurrentIndex(p.patternKind);
  flatValue_->setText(FloatToStr(p.flatValue));
  if (QAbstractButton* waveform = waveform_->button(p.waveform)) waveform->setChecked(true);
  cyclesPerWidth_->setText(FloatToStr(p.cyclesPerWidth));
  cyclesPerHeight_->setText(FloatToStr(p.cyclesPerHeight));
  leftFrequency_->setText(FloatToStr(p.leftFrequency));
  rightFrequency_->setText(FloatToStr(p.rightFrequency));
  phaseShift_->setText(FloatToStr(p.phaseShift));
}

int TFormSineWave::ControlsToParams() {
  Params block = process_.params;
  block.width = size_->ReadWidth();
  block.height = size_->ReadHeight();
  block.intOutput = intOutput_->checkedId();
  block.patternKind = pages_->currentIndex();
  block.halfPixel = halfPixel_->isChecked() ? 1 : 0;
  block.centerOrigin = centerOrigin_->isChecked() ? 1 : 0;
  if (!WithinPatternSize(block.width) || !WithinPatternSize(block.height)) {
    GetHost().ShowMessage("2～2048 の値を入力して下さい。");
    return 1;
  }
  switch (block.patternKind) {
    case ProcSineWave::kFlat:
      block.flatValue = StrToFloat(flatValue_->text());
      break;
    case ProcSineWave::kGrating:
      block.waveform = waveform_->checkedId();
      block.cyclesPerWidth = StrToFloat(cyclesPerWidth_->text());
      block.cyclesPerHeight = StrToFloat(cyclesPerHeight_->text());
      if (!WithinCycles(block.cyclesPerWidth) || !WithinCycles(block.cyclesPerHeight)) {
        GetHost().ShowMessage("-1024～1024 の値を入力して下さい。");
        return 1;
      }
      break;
    case ProcSineWave::kChart:
      block.leftFrequency = StrToFloat(leftFrequency_->text());
      block.rightFrequency = StrToFloat(rightFrequency_->text());
      block.phaseShift = StrToFloat(phaseShift_->text());
      break;
    default:  // the zone plate has no fields
      break;
  }
  process_.params = block;
  return 0;
}

}  // namespace kandrel
