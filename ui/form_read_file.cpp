#include "ui/form_read_file.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <optional>

#include "io/frame_names.h"
#include "io/read_file.h"
#include "process/text_codec.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

constexpr std::size_t kFileNameField = 259;  // bytes of a stored name before its NUL

// Whole characters only, so that the stored bytes never end inside one.
std::string CutToField(std::string utf8) {
  while (EncodeCp932(utf8).size() > kFileNameField) {
    while (!utf8.empty() && (static_cast<unsigned char>(utf8.back()) & 0xC0) == 0x80)
      utf8.pop_back();
    if (!utf8.empty()) utf8.pop_back();
  }
  return utf8;
}

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

FileBoxRequest ImageOpenBox() {
  FileBoxRequest request;
  request.filter = "画像|*.bmp;*.jpg;*.png;*.gif;*.hdr;*.tif;*.yuv10;|全て|*.*";
  request.mustExist = true;
  return request;
}

}  // namespace

FrameFileFields::FrameFileFields(Box box, FileBoxRequest request)
    : box_(box),
      request_(std::move(request)),
      grid_(new QGridLayout(this)),
      path_(new QLineEdit(QStringLiteral("PathName"))),
      file_(new QLineEdit(QStringLiteral("FileName"))),
      numbered_(new QCheckBox(QStringLiteral("ファイル名の末尾をカウントアップする。"))) {
  path_->setReadOnly(true);
  auto* browse = new QPushButton(QStringLiteral("参照..."));
  grid_->setContentsMargins(0, 0, 0, 0);
  auto* pathLabel = new QLabel(QStringLiteral("パス名"));
  pathLabel->setBuddy(path_);
  auto* fileLabel = new QLabel(QStringLiteral("ファイル名"));
  fileLabel->setBuddy(file_);
  grid_->addWidget(pathLabel, 0, 0);
  grid_->addWidget(path_, 0, 1);
  grid_->addWidget(fileLabel, 1, 0);
  grid_->addWidget(file_, 1, 1);
  grid_->addWidget(browse, 1, 2);
  grid_->addWidget(numbered_, 2, 0, 1, 3);
  connect(browse, &QPushButton::clicked, this, &FrameFileFields::Browse);
}

void FrameFileFields::ShowFileName(const std::string& fileName) {
  const NameParts parts = SplitFileName(fileName);
  path_->setText(Text(parts.directory));
  file_->setText(Text(parts.base + parts.extension));
}

bool FrameFileFields::HasFileName() const { return !file_->text().isEmpty(); }

bool FrameFileFields::IsNumberedTicked() const { return numbered_->isChecked(); }

std::string FrameFileFields::FileName() const {
  return CutToField((path_->text() + file_->text()).toStdString());
}

QLineEdit& FrameFileFields::AddNumberRow(const QString& label) {
  auto* edit = new QLineEdit(QStringLiteral("0"));
  auto* caption = new QLabel(label);
  caption->setBuddy(edit);
  const int row = grid_->rowCount();
  grid_->addWidget(caption, row, 0);
  grid_->addWidget(edit, row, 1);
  return *edit;
}

void FrameFileFields::Browse() {
  if (file_->text().isEmpty()) file_->setText(QStringLiteral("NoName"));
  FileBoxRequest request = request_;
  request.initialDirectory = path_->text().toStdString();
  request.initialName = file_->text().toStdString();
  const std::optional<std::string> chosen =
      box_ == Box::kOpen ? GetHost().AskOpenFile(request) : GetHost().AskSaveFile(request);
  if (chosen) ShowFileName(*chosen);
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
