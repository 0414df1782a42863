#include "ui/form_super_resolution.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "blocks/analysis/super_resolution.h"
#include "ui/file_name_fields.h"

namespace kandrel {

namespace {

// The file fields with the name edit labelled for the dictionary.
class DictionaryFileFields : public FileNameFields {
 public:
  DictionaryFileFields() : FileNameFields(Box::kOpen, DictionaryBox()) {
    if (auto* label = qobject_cast<QLabel*>(Grid().itemAtPosition(1, 0)->widget()))
      label->setText(QStringLiteral("辞書ファイル名"));
  }

 private:
  static FileBoxRequest DictionaryBox() {
    FileBoxRequest request;
    request.filter = "*.dic|*.dic";
    request.defaultExtension = "dic";
    return request;
  }
};

}  // namespace

TFormSuperResolution::TFormSuperResolution(ProcSuperResolution& process)
    : TFormVirtual(process), process_(process), fields_(new DictionaryFileFields) {
  setWindowTitle(QStringLiteral("超解像"));
  Body().addWidget(fields_);
}

void TFormSuperResolution::ParamsToControls() {
  fields_->ShowFileName(process_.params.dictionaryPath);
}

int TFormSuperResolution::ControlsToParams() {
  if (!fields_->HasFileName()) {
    GetHost().ShowMessage("ファイル名を指定して下さい。");
    return 1;
  }
  process_.params.dictionaryPath = fields_->FileName();
  process_.Reset();
  return 0;
}

}  // namespace kandrel
