#include "ui/form_total_variation.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/filter/total_variation.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

constexpr int kDefaultLoopCount = 10;

// The edit in rows 2·field and below it, its label to the left, its two notes to the right.
void AddNotedRow(QGridLayout& grid, int field, const QString& caption, QLineEdit& edit,
                 const QString& note1, const QString& note2) {
  AddLabelledRow(grid, 2 * field, caption, edit, note1);
  grid.addWidget(new QLabel(note2), 2 * field + 1, 2);
}

}  // namespace

TFormTotalVariation::TFormTotalVariation(ProcTotalVariation& process)
    : TFormVirtual(process),
      process_(process),
      lambda_(new QLineEdit),
      loopCount_(new QLineEdit),
      tau_(new QLineEdit) {
  setWindowTitle(QStringLiteral("TotalVariation"));
  auto* grid = new QGridLayout;
  AddNotedRow(*grid, 0, QStringLiteral("λ="), *lambda_,
              QStringLiteral("この値が大きい程、テクスチャとして"),
              QStringLiteral("削り取られる量が大きくなります。"));
  AddNotedRow(*grid, 1, QStringLiteral("ループ回数"), *loopCount_,
              QStringLiteral("解に収束させるための計算回数。"),
              QStringLiteral("必要最小限に設定して下さい。"));
  AddNotedRow(*grid, 2, QStringLiteral("τ="), *tau_,
              QStringLiteral("１ループの計算における画素値の更新量"),
              QStringLiteral("に比例します。1/8以下に設定して下さい。"));
  Body().addLayout(grid);
}

void TFormTotalVariation::ParamsToControls() {
  const ProcTotalVariation::Params& p = process_.params;
  lambda_->setText(FloatToStr(p.lambda));
  loopCount_->setText(QString::number(p.loopCount));
  tau_->setText(FloatToStr(p.tau));
}

int TFormTotalVariation::ControlsToParams() {
  ProcTotalVariation::Params block = process_.params;
  block.lambda = StrToFloat(lambda_->text());
  block.loopCount = IntOr(loopCount_->text(), kDefaultLoopCount);
  block.tau = StrToFloat(tau_->text());
  if (const std::string problem = block.Problem(); !problem.empty()) {
    GetHost().ShowMessage(problem);
    return 1;
  }
  process_.params = block;
  return 0;
}

}  // namespace kandrel
