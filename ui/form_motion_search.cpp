#include "ui/form_motion_search.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/motion/motion_search.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

TFormMotionSearch::TFormMotionSearch(ProcMotionSearch& process)
    : TFormVirtual(process),
      process_(process),
      blockSize_(new QLineEdit),
      searchRange_(new QLineEdit),
      algorithm_(new QComboBox) {
  setWindowTitle(QStringLiteral("Motion search"));
  algorithm_->addItem(QStringLiteral("ノーマル全探索"));
  auto* grid = new QGridLayout;
  AddLabelledRow(*grid, 0, QStringLiteral("ブロックサイズ ："), *blockSize_);
  AddLabelledRow(*grid, 1, QStringLiteral("最大探索距離 ："), *searchRange_);
  AddLabelledRow(*grid, 2, QStringLiteral("アルゴリズム ："), *algorithm_);
  Body().addLayout(grid);
}

void TFormMotionSearch::ParamsToControls() {
  const ProcMotionSearch::Params& p = process_.params;
  blockSize_->setText(QString::number(p.blockSize));
  searchRange_->setText(QString::number(p.searchRange));
  if (p.algorithm >= 0 && p.algorithm < algorithm_->count()) algorithm_->setCurrentIndex(p.algorithm);
}

int TFormMotionSearch::ControlsToParams() {
  const int blockSize = StrToInt(blockSize_->text());
  const int searchRange = StrToInt(searchRange_->text());
  if (blockSize < 1 || searchRange < 0) {
    GetHost().ShowMessage("1より大きな値を入力して下さい。");
    return 1;
  }
  process_.params = {blockSize, blockSize, searchRange, algorithm_->currentIndex()};
  return 0;
}

}  // namespace kandrel
