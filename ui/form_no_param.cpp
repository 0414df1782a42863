#include "ui/form_no_param.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kandrel {

TFormNoParam::TFormNoParam(ProcVirtual& process) : TFormVirtual(process) {
  Body().addWidget(new QLabel(QStringLiteral("この処理にパラメータ設定はありません。")));
  OkButton().hide();
}

}  // namespace kandrel
