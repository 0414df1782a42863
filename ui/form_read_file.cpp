#include "ui/form_read_file.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <exception>

#include "io/read_file.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

FileBoxRequest ImageOpenBox() {
  FileBoxRequest request;
  request.filter = "画像|*.bmp;*.jpg;*.png;*.gif;*.hdr;*.tif;*.yuv10;|全て|*.*";
  request.mustExist = true;
  return request;
}

}  // namespace

FrameFileFields::FrameFileFields(Box box, FileBoxRequest request)
    : FileNameFields(box, std::move(request)),
      numbered_(new QCheckBox(QStringLiteral("ファイル名の末尾をカウントアップする。"))) {
  Grid().addWidget(numbered_, 2, 0, 1, 3);
}

bool FrameFileFields::IsNumberedTicked() const { return numbered_->isChecked(); }

QLineEdit& FrameFileFields::AddNumberRow(const QString& label) {
  auto* edit = new QLineEdit(QStringLiteral("0"));
  auto* caption = new QLabel(label);
  caption->setBuddy(edit);
  const int row = Grid().rowCount();
  Grid().addWidget(caption, row, 0);
  Grid().addWidget(edit, row, 1);
  return *edit;
}

QPlainTextEdit* NewNumberingExample() {
  auto* example = new QPlainTextEdit(QStringLiteral(
      "例： ファイル名が \"A000.bmp\" の場合\n"
      "第1フレーム：　A000.bmp\n"
      "第2フレーム：　A001.bmp\n"
      "　　↓\n"
      "第1000フレーム：　A999.bmp\n"
      "第1001フレーム：　1000.bmp\n"
      "　　↓\n"
      "第1万フレーム：　9999.bmp"));
  example->setReadOnly(true);
  return example;
}

TFormReadFile::TFormReadFile(ProcReadFile& process)
    : TFormVirtual(process),
      process_(process),
      fields_(new FrameFileFields(FrameFileFields::Box::kOpen, ImageOpenBox())) {
  setWindowTitle(QStringLiteral("画像ファイルの（連続）読み込み"));
  firstNumber_ = &fields_->AddNumberRow(QStringLiteral("開始番号"));
  lastNumber_ = &fields_->AddNumberRow(QStringLiteral("終了番号"));
  Body().addWidget(fields_);
  Body().addWidget(NewNumberingExample());
}

void TFormReadFile::ParamsToControls() {
  ProcReadFile::Params& p = process_.params;
  fields_->ShowFileName(p.fileName);
  firstNumber_->setText(QString::number(p.firstNumber));
  lastNumber_->setText(QString::number(p.lastNumber));
  fields_->Numbered().setChecked(p.numbered != 0);
}

int TFormReadFile::ControlsToParams() {
  ProcReadFile::Params& p = process_.params;
  p.numbered = fields_->NumberedFlag(p.numbered);
  p.firstNumber = IntOr(firstNumber_->text(), p.firstNumber);
  p.lastNumber = IntOr(lastNumber_->text(), p.lastNumber);
  if (!fields_->HasFileName()) {
    GetHost().ShowMessage("ファイル名を指定して下さい。");
    return 1;
  }
  p.fileName = fields_->FileName();
  try {
    process_.Reset();
  } catch (const std::exception& error) {
    GetHost().ShowMessage(error.what());
    return 1;
  }
  return 0;
}

}  // namespace kandrel
