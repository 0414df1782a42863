#include "ui/form_lesson2.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QVBoxLayout>

#include "blocks/pixel/lessons.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

using Params = ProcLesson2::Params;

constexpr std::array<double Params::*, 4> kFieldOfEdit = {&Params::weight1, &Params::weight2,
                                                          &Params::weight3, &Params::offset};
constexpr int kInputs = 3;

QLabel* NewNote(const QString& text) {
  auto* note = new QLabel(text);
  QPalette palette = note->palette();
  palette.setColor(QPalette::WindowText, Qt::red);
  note->setPalette(palette);
  return note;
}

}  // namespace

TFormLesson2::TFormLesson2(ProcLesson2& process) : TFormVirtual(process), process_(process) {
  setWindowTitle(QStringLiteral("パラメータ設定ダイアログ"));
  auto* grid = new QGridLayout;
  for (int k = 0; k < kInputs; ++k) {
    QLineEdit*& weight = fields_[static_cast<std::size_t>(k)];
    weight = new QLineEdit(QStringLiteral("1"));
    grid->addWidget(NewBuddyLabel(QStringLiteral("入力 %1").arg(k + 1), *weight), k, 0);
    grid->addWidget(new QLabel(QStringLiteral("×")), k, 1);
    grid->addWidget(weight, k, 2);
    grid->addWidget(new QLabel(QStringLiteral("＋")), k, 3);
  }
  QLineEdit*& offset = fields_[kInputs];
  offset = new QLineEdit(QStringLiteral("0"));
  grid->addWidget(NewBuddyLabel(QStringLiteral("Offset"), *offset), kInputs - 1, 4);
  grid->addWidget(offset, kInputs - 1, 5);
  Body().addWidget(NewNote(QStringLiteral("これは Lesson2 の見本です。")));
  Body().addLayout(grid);
  Body().addWidget(NewNote(QStringLiteral("プログラマはこのダイアログを自由に設計して下さい。")));
}

void TFormLesson2::ParamsToControls() {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    fields_[i]->setText(FloatToStr(process_.params.*kFieldOfEdit[i]));
}

int TFormLesson2::ControlsToParams() {
  // Each value is stored as soon as it is read: a later field that is no number keeps them.
  for (std::size_t i = 0; i < fields_.size(); ++i)
    process_.params.*kFieldOfEdit[i] = StrToFloat(fields_[i]->text());
  return 0;
}

}  // namespace kandrel
