#include "ui/module_dialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "process/proc_module.h"

namespace kandrel {

namespace {

std::function<int(QDialog&)>& ModalRunner() {
  static std::function<int(QDialog&)> runner;
  return runner;
}

QHBoxLayout* ButtonRow(QPushButton* first, QPushButton* second) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(first);
  row->addWidget(second);
  row->addStretch();
  return row;
}

const QStringList& TypeItems() {
  static const QStringList items = {
      QStringLiteral("（未定）"),      QStringLiteral("整数型"),
      QStringLiteral("浮動小数点型"),  QStringLiteral("複素数型"),
      QStringLiteral("整数型 × 3ch"),  QStringLiteral("浮動小数点型 × 3ch"),
      QStringLiteral("複素数型 × 3ch")};
  return items;
}

}  // namespace

int RunModal(QDialog& dialog) {
  if (ModalRunner()) return ModalRunner()(dialog);
  return dialog.exec();
}

void SetModalRunner(std::function<int(QDialog&)> runner) { ModalRunner() = std::move(runner); }

// ---- TFormQueryDelProc ----

TFormQueryDelProc::TFormQueryDelProc(const std::string& processName, QWidget* parent)
    : QDialog(parent),
      name_(new QLineEdit(QString::fromStdString(processName))),
      delete_(new QPushButton(QStringLiteral("削除"))),
      cancel_(new QPushButton(QStringLiteral("キャンセル"))) {
  setWindowTitle(QStringLiteral("削除"));
  name_->setReadOnly(true);
  QPalette palette = name_->palette();
  palette.setColor(QPalette::Base, QColor(192, 192, 192));
  name_->setPalette(palette);
  delete_->setDefault(true);
  connect(delete_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("次のプロセスを削除しますか？")));
  layout->addWidget(name_);
  layout->addLayout(ButtonRow(delete_, cancel_));
}

QString TFormQueryDelProc::ProcessName() const { return name_->text(); }

// ---- TFormChangeName ----

TFormChangeName::TFormChangeName(const std::string& currentName, QWidget* parent)
    : QDialog(parent),
      name_(new QLineEdit(QString::fromStdString(currentName))),
      ok_(new QPushButton(QStringLiteral("OK"))) {
  setWindowTitle(QStringLiteral("プロセス名の変更"));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("新しいプロセス名を入力して下さい。")));
  layout->addWidget(name_);
  layout->addLayout(ButtonRow(ok_, cancel));
}

std::string TFormChangeName::Name() const { return name_->text().toStdString(); }

// ---- TFormInOutCount ----

TFormInOutCount::TFormInOutCount(ProcModule& module, QWidget* parent)
    : QDialog(parent), module_(module), ok_(new QPushButton(QStringLiteral("OK"))) {
  setWindowTitle(QStringLiteral("入出力端子"));
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* sides = new QHBoxLayout;
  sides->addWidget(BuildSide(inputSide_, QStringLiteral("入力端子数"), *module.InputPort(),
                             module.InputCount()));
  sides->addWidget(BuildSide(outputSide_, QStringLiteral("出力端子数"), *module.OutputPort(),
                             module.OutputCount()));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(sides);
  layout->addLayout(ButtonRow(ok_, cancel));
}

QWidget* TFormInOutCount::BuildSide(Side& side, const QString& title, ProcVirtual& port,
                                    int count) {
  auto* box = new QGroupBox(title);
  auto* form = new QFormLayout(box);
  side.count = new QComboBox;
  for (int n = 0; n <= kMaxPorts; ++n) side.count->addItem(QString::number(n));
  side.count->setCurrentIndex(std::clamp(count, 0, kMaxPorts));
  form->addRow(title, side.count);
  for (int i = 0; i < kMaxPorts; ++i) {
    side.types[i] = new QComboBox;
    side.types[i]->addItems(TypeItems());
    const int type = port.GetOutputType(i);
    side.types[i]->setCurrentIndex(type >= 0 && type < TypeItems().size() ? type : 0);
    form->addRow(QString::number(i + 1), side.types[i]);
  }
  EnableTypes(side);
  connect(side.count, &QComboBox::currentIndexChanged, this, [&side] { EnableTypes(side); });
  return box;
}

void TFormInOutCount::EnableTypes(const Side& side) {
  for (int i = 0; i < kMaxPorts; ++i) side.types[i]->setEnabled(i < side.count->currentIndex());
}

void TFormInOutCount::DeclareTypes(const Side& side, ProcVirtual& port, int count) {
  for (int i = 0; i < count; ++i) port.SetOutputType(i, side.types[i]->currentIndex());
}

void TFormInOutCount::Apply() {
  module_.SetInputCount(inputSide_.count->currentIndex());
  module_.SetOutputCount(outputSide_.count->currentIndex());
  DeclareTypes(inputSide_, *module_.InputPort(), module_.InputCount());
  DeclareTypes(outputSide_, *module_.OutputPort(), module_.OutputCount());
}

}  // namespace kandrel
