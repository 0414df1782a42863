#include "ui/file_name_fields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "io/frame_names.h"
#include "process/text_codec.h"

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

}  // namespace

FileNameFields::FileNameFields(Box box, FileBoxRequest request)
    : box_(box),
      request_(std::move(request)),
      grid_(new QGridLayout(this)),
      path_(new QLineEdit(QStringLiteral("PathName"))),
      file_(new QLineEdit(QStringLiteral("FileName"))) {
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
  connect(browse, &QPushButton::clicked, this, &FileNameFields::Browse);
}

void FileNameFields::ShowFileName(const std::string& fileName) {
  const NameParts parts = SplitFileName(fileName);
  path_->setText(Text(parts.directory));
  file_->setText(Text(parts.base + parts.extension));
}

bool FileNameFields::HasFileName() const { return !file_->text().isEmpty(); }

std::string FileNameFields::FileName() const {
  return CutToField((path_->text() + file_->text()).toStdString());
}

void FileNameFields::Browse() {
  if (file_->text().isEmpty()) file_->setText(QStringLiteral("NoName"));
  FileBoxRequest request = request_;
  request.initialDirectory = path_->text().toStdString();
  request.initialName = file_->text().toStdString();
  const std::optional<std::string> chosen =
      box_ == Box::kOpen ? GetHost().AskOpenFile(request) : GetHost().AskSaveFile(request);
  if (!chosen) return;
  ShowFileName(*chosen);
  emit Chosen();
}

}  // namespace kandrel
