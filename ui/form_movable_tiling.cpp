#include "ui/form_movable_tiling.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/motion/movable_tiling.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

TFormMovableTiling::TFormMovableTiling(ProcMovableTiling& process)
    : TFormVirtual(process), process_(process), blockSize_(new QLineEdit) {
  setWindowTitle(QStringLiteral("MovableTiling"));
  auto* grid = new QGridLayout;
  AddLabelledRow(*grid, 0, QStringLiteral("ブロックサイズ "), *blockSize_);
  Body().addLayout(grid);
}

void TFormMovableTiling::ParamsToControls() {
  blockSize_->setText(QString::number(process_.params.blockSize));
}

int TFormMovableTiling::ControlsToParams() {
  const int blockSize = StrToInt(blockSize_->text());
  if (blockSize <= 0) {
    GetHost().ShowMessage("1より大きな値を入力して下さい。");
    return 1;
  }
  process_.params.blockSize = blockSize;
  return 0;
}

}  // namespace kandrel
