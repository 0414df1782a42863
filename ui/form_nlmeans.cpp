#include "ui/form_nlmeans.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QVBoxLayout>

#include "blocks/filter/nlmeans.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

TFormNLMeans::TFormNLMeans(ProcNLMeans& process)
    : TFormVirtual(process),
      process_(process),
      blockSize_(new QLineEdit),
      searchSize_(new QLineEdit),
      h_(new QLineEdit) {
  setWindowTitle(QStringLiteral("NLMeans"));
  auto* grid = new QGridLayout;
  AddLabelledRow(*grid, 0, QStringLiteral("Block size"), *blockSize_,
                 QStringLiteral("照合ブロックのサイズ（奇数）"));
  AddLabelledRow(*grid, 1, QStringLiteral("Search size"), *searchSize_,
                 QStringLiteral("類似ブロックの探索範囲（奇数）"));
  AddLabelledRow(*grid, 2, QStringLiteral("h parameter"), *h_,
                 QStringLiteral("この値が大きくなるほど平滑化されます。"));
  Body().addLayout(grid);
  auto* warning = new QLabel(QStringLiteral("注意！　この処理は数分かかる場合があります。"));
  QPalette palette = warning->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  warning->setPalette(palette);
  Body().addWidget(warning);
}

void TFormNLMeans::ParamsToControls() {
  const ProcNLMeans::Params& p = process_.params;
  blockSize_->setText(QString::number(p.blockSize));
  searchSize_->setText(QString::number(p.searchSize));
  h_->setText(FloatToStr(p.h));
}

int TFormNLMeans::ControlsToParams() {
  ProcNLMeans::Params block = process_.params;
  block.blockSize = IntOr(blockSize_->text(), block.blockSize);
  block.searchSize = IntOr(searchSize_->text(), block.searchSize);
  block.h = StrToFloat(h_->text());
  if (const std::string problem = block.Problem(); !problem.empty()) {
    GetHost().ShowMessage(problem);
    return 1;
  }
  process_.params = block;
  return 0;
}

}  // namespace kandrel
