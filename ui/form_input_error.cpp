#include "ui/form_input_error.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kandrel {

TFormInputError::TFormInputError(QWidget* parent) : QDialog(parent), text_(new QPlainTextEdit) {
  setWindowTitle(QStringLiteral("入力エラー"));
  setModal(true);
  text_->setReadOnly(true);
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
}

void TFormInputError::SetLines(const std::vector<std::string>& lines) {
  text_->clear();
  for (const std::string& line : lines) text_->appendPlainText(QString::fromStdString(line));
}

}  // namespace kandrel
