#include "ui/form_period_switch.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdint>
#include <utility>

#include "blocks/pixel/frame_control.h"
#include "ui/form_fields.h"
#include "ui/form_read_file.h"
#include "ui/number_text.h"

namespace kandrel {

TFormPeriodSwitch::TFormPeriodSwitch(ProcPeriodSwitch& process)
    : TFormVirtual(process),
      process_(process),
      period1_(new QLineEdit),
      period2_(new QLineEdit),
      total_(new QLineEdit) {
  setWindowTitle(QStringLiteral("周期スイッチ"));
  total_->setReadOnly(true);
  auto* grid = new QGridLayout;
  const std::pair<QString, QLineEdit*> rows[] = {
      {QStringLiteral("入力 1 を出力する期間 ："), period1_},
      {QStringLiteral("入力 2 を出力する期間 ："), period2_},
      {QStringLiteral("トータルの周期 ："), total_}};
  for (int row = 0; row < 3; ++row) AddLabelledRow(*grid, row, rows[row].first, *rows[row].second);
  Body().addLayout(grid);
  connect(period1_, &QLineEdit::textChanged, this, &TFormPeriodSwitch::ShowTotal);
  connect(period2_, &QLineEdit::textChanged, this, &TFormPeriodSwitch::ShowTotal);
}

void TFormPeriodSwitch::ShowTotal() {
  const ProcPeriodSwitch::Params& p = process_.params;
  // In 64 bits: two periods near the int32 limit still add up to what is shown.
  const std::int64_t total =
      std::int64_t{IntOr(period1_->text(), p.period1)} + IntOr(period2_->text(), p.period2);
  total_->setText(QString::number(total));
}

void TFormPeriodSwitch::ParamsToControls() {
  period1_->setText(QString::number(process_.params.period1));
  period2_->setText(QString::number(process_.params.period2));
  ShowTotal();  // also when the texts are the same as before
}

int TFormPeriodSwitch::ControlsToParams() {
  const int period1 = StrToInt(period1_->text());
  const int period2 = StrToInt(period2_->text());
  if (period1 < 0 || period2 < 0 || std::int64_t{period1} + period2 < 1) {
    GetHost().ShowMessage("値が小さすぎます。");
    return 1;
  }
  process_.params.period1 = period1;
  process_.params.period2 = period2;
  return 0;
}

}  // namespace kandrel
