#include "ui/form_dct8x8.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

struct Preset {
  const char* caption;
  QuantTable table;
};

const Preset kPresets[] = {
    {"クリア", FilledQuantTable(1)},
    {"MPEG標準", kMpegIntraQuantTable},
};

}  // namespace

TFormDCT8x8::TFormDCT8x8(ProcDCT8x8& process)
    : TFormVirtual(process),
      process_(process),
      scale_(new QLineEdit(QStringLiteral("1"))),
      table_(new QTableWidget(kDctBlockSize, kDctBlockSize)),
      direction_(new QButtonGroup(this)),
      preset_(new QComboBox) {
  setWindowTitle(QStringLiteral("DCT 8 x 8"));
  preset_->setObjectName(QStringLiteral("preset"));
  for (const Preset& preset : kPresets) preset_->addItem(QString::fromUtf8(preset.caption));
  connect(preset_, &QComboBox::activated, this, &TFormDCT8x8::ApplyPreset);

  QStringList frequencies;
  for (int i = 0; i < kDctBlockSize; ++i) frequencies << QString::number(i);
  table_->setHorizontalHeaderLabels(frequencies);
  table_->setVerticalHeaderLabels(frequencies);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);

  auto* scaleRow = new QHBoxLayout;
  scaleRow->addWidget(NewBuddyLabel(QStringLiteral("Qスケール（=倍率）"), *scale_));
  scaleRow->addWidget(scale_);
  scaleRow->addWidget(preset_);
  Body().addLayout(scaleRow);
  Body().addWidget(NewBuddyLabel(QStringLiteral("量子化テーブル"), *table_));
  Body().addWidget(table_);
  Body().addWidget(
      NewRadioGroup({}, {QStringLiteral("正変換"), QStringLiteral("逆変換")}, *direction_));
  ShowQuantiser(FilledQuantTable(1), 1);
}

void TFormDCT8x8::ShowQuantiser(const QuantTable& table, int scale) {
  scale_->setText(QString::number(scale));
  for (int r = 0; r < kDctBlockSize; ++r)
    for (int c = 0; c < kDctBlockSize; ++c)
      table_->setItem(r, c, new QTableWidgetItem(QString::number(table[r][c])));
}

void TFormDCT8x8::ApplyPreset(int index) { ShowQuantiser(kPresets[index].table, 1); }

void TFormDCT8x8::ParamsToControls() {
  const ProcDCT8x8::Params& p = process_.params;
  ShowQuantiser(p.quantTable, p.qScale);
  direction_->button(p.inverse != 0 ? 1 : 0)->setChecked(true);
}

int TFormDCT8x8::ControlsToParams() {
  ProcDCT8x8::Params block = process_.params;
  block.qScale = StrToInt(scale_->text());
  for (int r = 0; r < kDctBlockSize; ++r) {
    for (int c = 0; c < kDctBlockSize; ++c) {
      const QTableWidgetItem* item = table_->item(r, c);
      const QString text = item != nullptr ? item->text() : QString();
      block.quantTable[r][c] = text.trimmed().isEmpty() ? 0 : StrToInt(text);
    }
  }
  block.inverse = direction_->checkedId();
  if (!block.Steps()) {
    GetHost().ShowMessage(kQuantStepRefusedText);
    return 1;
  }
  process_.params = block;
  return 0;
}

}  // namespace kandrel
