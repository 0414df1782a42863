#include "ui/form_virtual.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

#include "process/proc_virtual.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {
constexpr int kButtonWidth = 89;

QPushButton* AddButton(QHBoxLayout& row, const QString& text) {
  auto* button = new QPushButton(text);
  button->setFixedWidth(kButtonWidth);
  row.addWidget(button);
  return button;
}
}  // namespace

TFormVirtual::TFormVirtual(ProcVirtual& process) : process_(process), body_(new QVBoxLayout) {
  setWindowTitle(QStringLiteral("パラメータ"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  preview_ = AddButton(*buttons, QStringLiteral("プレビュー"));
  preview_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  preview_->setDefault(true);
  ok_ = AddButton(*buttons, QStringLiteral("OK"));
  cancel_ = AddButton(*buttons, QStringLiteral("キャンセル"));
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body_);
  layout->addLayout(buttons);

  connect(preview_, &QPushButton::clicked, this, &TFormVirtual::Preview);
  connect(ok_, &QPushButton::clicked, this, &TFormVirtual::Confirm);
  connect(cancel_, &QPushButton::clicked, this, &TFormVirtual::Cancel);
}

void TFormVirtual::Show() { show(); }
void TFormVirtual::Hide() { hide(); }
bool TFormVirtual::IsVisible() const { return isVisible(); }

DialogGeometry TFormVirtual::Geometry() const { return placement_.Of(*this); }

void TFormVirtual::RestoreGeometry(const DialogGeometry& geometry, bool withSize) {
  placement_.Restore(*this, geometry, withSize);
}

void TFormVirtual::ParamsToControls() {}

int TFormVirtual::ControlsToParams() { return 0; }

void TFormVirtual::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A spontaneous show is the window system's (say, un-minimising), not a new showing.
  if (event->spontaneous()) return;
  setWindowTitle(QString::fromStdString(process_.Name()));
  snapshot_.Take(process_);
  ParamsToControls();
  // Only now: the first showing's snapshot holds no position, so cancelling it moves nothing.
  placement_.MarkShown();
}

int TFormVirtual::StoreControls() {
  process_.SetModified(true);
  try {
    return ControlsToParams();
  } catch (const ConversionError& error) {
    GetHost().ShowMessage(error.what());
    return 1;
  }
}

void TFormVirtual::Preview() {
  // A failing frame has shown its own message; the dialog stays open either way.
  if (StoreControls() == 0) process_.Step();
}

void TFormVirtual::Confirm() {
  if (StoreControls() == 0) hide();
}

void TFormVirtual::Cancel() {
  hide();
  snapshot_.Restore(process_);
}

}  // namespace kandrel
