#include "ui/form_save_file.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <array>

#include "io/save_file.h"
#include "ui/form_read_file.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

// The radio buttons in order, with the format each stands for.
constexpr std::array<ProcSaveFile::Format, 3> kFormatOfButton = {
    ProcSaveFile::kBmp, ProcSaveFile::kHdr, ProcSaveFile::kTiff};

FileBoxRequest ImageSaveBox() {
  FileBoxRequest request;
  request.filter = "拡張子は自動で付与されます。|*.bmp;*.hdr;*.tif";
  request.confirmOverwrite = true;
  return request;
}

int ButtonOfFormat(std::int32_t format) {
  for (std::size_t i = 0; i < kFormatOfButton.size(); ++i)
    if (kFormatOfButton[i] == format) return static_cast<int>(i);
  return 2;  // the process writes TIFF for every other value, so the dialog says so too
}

}  // namespace

TFormSaveFile::TFormSaveFile(ProcSaveFile& process)
    : TFormVirtual(process),
      process_(process),
      fields_(new FrameFileFields(FrameFileFields::Box::kSave, ImageSaveBox())),
      format_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("画像ファイルの（連続）保存"));
  firstNumber_ = &fields_->AddNumberRow(QStringLiteral("開始番号"));

  auto* formatBox = new QGroupBox(QStringLiteral("保存形式"));
  auto* formatLayout = new QVBoxLayout(formatBox);
  const QString captions[] = {QStringLiteral("BMPに直して保存"),
                              QStringLiteral("HDR (32 bit float) で保存"),
                              QStringLiteral("TIFF (内部演算精度のまま) で保存")};
  for (int i = 0; i < 3; ++i) {
    auto* button = new QRadioButton(captions[i]);
    format_->addButton(button, i);
    formatLayout->addWidget(button);
  }
  format_->button(0)->setChecked(true);

  Body().addWidget(fields_);
  Body().addWidget(formatBox);
  Body().addWidget(NewNumberingExample());
}

void TFormSaveFile::ParamsToControls() {
  const ProcSaveFile::Params& p = process_.params;
  fields_->ShowFileName(p.fileName);
  firstNumber_->setText(QString::number(p.firstNumber));
  fields_->Numbered().setChecked(p.numbered != 0);
  format_->button(ButtonOfFormat(p.format))->setChecked(true);
}

int TFormSaveFile::ControlsToParams() {
  ProcSaveFile::Params& p = process_.params;
  p.numbered = fields_->NumberedFlag(p.numbered);
  p.firstNumber = IntOr(firstNumber_->text(), p.firstNumber);
  p.format = kFormatOfButton[static_cast<std::size_t>(format_->checkedId())];
  if (!fields_->HasFileName()) {
    GetHost().ShowMessage("ファイル名を指定して下さい。");
    return 1;
  }
  p.fileName = fields_->FileName();
  return 0;
}

}  // namespace kandrel
