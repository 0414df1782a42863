#include "ui/form_query.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kandrel {

TFormQuery::TFormQuery(const QueryRequest& request, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromStdString(request.caption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromStdString(request.text)));
  if (!request.subject.empty()) {
    auto* subject = new QLineEdit(QString::fromStdString(request.subject));
    subject->setReadOnly(true);
    subject->setObjectName("subject");
    layout->addWidget(subject);
  }
  auto* buttons = new QHBoxLayout;
  for (int i = 0; i < static_cast<int>(request.buttons.size()); ++i) {
    auto* button = new QPushButton(QString::fromStdString(request.buttons[i]));
    if (i == 0) button->setDefault(true);
    connect(button, &QPushButton::clicked, this, [this, i] {
      pressed_ = i;
      accept();
    });
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
}

int TFormQuery::Ask() {
  pressed_ = -1;
  exec();
  return pressed_;
}

}  // namespace kandrel
