#include "ui/form_haar_detect.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "blocks/analysis/haar_detect.h"
#include "ui/file_name_fields.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

FileBoxRequest CascadeOpenBox() {
  FileBoxRequest request;
  request.filter = "*.xml|*.xml";
  request.mustExist = true;
  return request;
}

void AddSizeEdit(QHBoxLayout& row, const QString& caption, QLineEdit& edit) {
  row.addWidget(NewBuddyLabel(caption, edit));
  row.addWidget(&edit);
}

}  // namespace

TFormHaarDetect::TFormHaarDetect(ProcHaarDetect& process)
    : TFormVirtual(process),
      process_(process),
      fields_(new FileNameFields(FileNameFields::Box::kOpen, CascadeOpenBox(),
                                 QStringLiteral("定義ファイル名"))),
      minHeight_(new QLineEdit),
      minWidth_(new QLineEdit) {
  setWindowTitle(QStringLiteral("物体検出　cvHaarDetectObjects()"));
  auto* sizes = new QHBoxLayout;
  sizes->addWidget(new QLabel(QStringLiteral("最小サイズ")));
  // "縦" is the vertical extent, so it edits the height.
  AddSizeEdit(*sizes, QStringLiteral("縦"), *minHeight_);
  AddSizeEdit(*sizes, QStringLiteral("横"), *minWidth_);
  Body().addWidget(fields_);
  Body().addLayout(sizes);
}

void TFormHaarDetect::ParamsToControls() {
  const ProcHaarDetect::Params& p = process_.params;
  fields_->ShowFileName(p.cascadePath);
  minHeight_->setText(QString::number(p.minHeight));
  minWidth_->setText(QString::number(p.minWidth));
}

int TFormHaarDetect::ControlsToParams() {
  if (!fields_->HasFileName()) {
    GetHost().ShowMessage("ファイル名を指定して下さい。");
    return 1;
  }
  ProcHaarDetect::Params& p = process_.params;
  p.cascadePath = fields_->FileName();
  const int height = StrToInt(minHeight_->text());
  const int width = StrToInt(minWidth_->text());
  if (height < 0 || width < 0) {
    GetHost().ShowMessage("最小サイズには0以上の値を指定して下さい。");
    return 1;
  }
  p.minHeight = height;
  p.minWidth = width;
  process_.Reset();  // loads the cascade
  return 0;
}

}  // namespace kandrel
