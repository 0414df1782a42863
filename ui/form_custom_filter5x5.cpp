#include "ui/form_custom_filter5x5.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <iterator>

#include "blocks/filter/convolution.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

constexpr int kSize = ProcCustomFilter5x5::kSize;
constexpr int kCellWidth = 48;

// A preset: 1 on the rows and columns first … last, 0 elsewhere, and its scale.
struct Preset {
  int first, last;
  double scale;
};
constexpr Preset kPresets[] = {{2, 2, 1.0}, {1, 3, 9.0}, {0, 4, 25.0}};

}  // namespace

TFormCustomFilter5x5::TFormCustomFilter5x5(ProcCustomFilter5x5& process)
    : TFormVirtual(process),
      process_(process),
      preset_(new QComboBox),
      grid_(new QTableWidget(kSize, kSize)),
      scale_(new QLineEdit) {
  setWindowTitle(QStringLiteral("CustomFilter5x5"));
  preset_->addItems(
      {QStringLiteral("クリア"), QStringLiteral("平均 3x3"), QStringLiteral("平均 5x5")});
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  for (int y = 0; y < kSize; ++y) {
    grid_->setColumnWidth(y, kCellWidth);
    for (int x = 0; x < kSize; ++x) grid_->setItem(y, x, new QTableWidgetItem);
  }
  grid_->setFixedSize(kSize * kCellWidth + 2 * grid_->frameWidth(),
                      kSize * grid_->rowHeight(0) + 2 * grid_->frameWidth());
  scale_->setObjectName(QStringLiteral("scale"));
  auto* normalize = new QPushButton(QStringLiteral("スケール（分母）を正規化 >>"));
  auto* scaleRow = new QHBoxLayout;
  scaleRow->addWidget(normalize);
  scaleRow->addWidget(scale_, 1);
  Body().addWidget(preset_);
  Body().addWidget(grid_, 0, Qt::AlignHCenter);
  Body().addLayout(scaleRow);

  connect(preset_, &QComboBox::activated, this, &TFormCustomFilter5x5::ApplyPreset);
  connect(normalize, &QPushButton::clicked, this, &TFormCustomFilter5x5::NormalizeScale);
}

void TFormCustomFilter5x5::ParamsToControls() {
  scale_->setText(FloatToStr(process_.params.scale));
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      grid_->item(y, x)->setText(FloatToStr(process_.params.coef[y][x]));
}

int TFormCustomFilter5x5::ControlsToParams() {
  ProcCustomFilter5x5::Params block;
  block.scale = StrToFloat(scale_->text());
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) block.coef[y][x] = Coefficient(y, x);
  if (block.scale == 0) {
    GetHost().ShowMessage("スケール（分母）に 0 は指定できません。");
    return 1;
  }
  process_.params = block;
  return 0;
}

void TFormCustomFilter5x5::ApplyPreset(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kPresets))) return;
  const Preset& preset = kPresets[index];
  const auto inside = [&](int i) { return i >= preset.first && i <= preset.last; };
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      grid_->item(y, x)->setText(inside(x) && inside(y) ? QStringLiteral("1") : QString());
  scale_->setText(FloatToStr(preset.scale));
}

void TFormCustomFilter5x5::NormalizeScale() {
  double sum = 0, squares = 0;
  try {
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const double c = Coefficient(y, x);
        sum += c;
        squares += c * c;
      }
    }
  } catch (const ConversionError& error) {
    GetHost().ShowMessage(error.what());
    return;
  }
  if (sum != 0)
    scale_->setText(FloatToStr(sum));
  else if (squares > 0)
    scale_->setText(FloatToStr(std::sqrt(squares)));
}

double TFormCustomFilter5x5::Coefficient(int row, int column) const {
  const QString text = grid_->item(row, column)->text();
  return text.trimmed().isEmpty() ? 0.0 : StrToFloat(text);
}

}  // namespace kandrel
