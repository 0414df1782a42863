#include "ui/form_verilog.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "hdl/verilog.h"
#include "process/proc_module.h"

namespace kandrel {

TFormVerilog::TFormVerilog(ProcModule& module)
    : module_(module), memo_(new QPlainTextEdit), refreshTimer_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("Verilog Module"));
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memo_);
  resize(600, 500);
  refreshTimer_->setInterval(kRefreshMs);
  connect(refreshTimer_, &QTimer::timeout, this, &TFormVerilog::Refresh);
  refreshTimer_->start();
}

void TFormVerilog::Show() {
  show();
  raise();
  activateWindow();
  Refresh();
}

void TFormVerilog::Refresh() {
  if (!isVisible()) return;
  setWindowTitle(QString::fromStdString(module_.Name()));
  // Shown with the lines the file has; the empty lines after the pieces that end the header,
  // the port list and each module stay.
  QString text = QString::fromStdString(VerilogText(module_));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  // Unchanged text is not set again, so that the reader keeps the place scrolled to.
  if (text != memo_->toPlainText()) memo_->setPlainText(text);
}

QString TFormVerilog::Text() const { return memo_->toPlainText(); }

void TFormVerilog::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) SetActiveModule(&module_);
}

}  // namespace kandrel
