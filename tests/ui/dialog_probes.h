// Finding and driving the controls of real parameter dialogs in tests: a host that gives
// processes their real dialogs, and lookups of controls by their label, text or object name.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <stdexcept>
#include <string>

#include "process/headless_host.h"
#include "process/proc_virtual.h"
#include "ui/form_factory.h"

namespace kandrel::testing {

class DialogHost : public HeadlessHost {
 public:
  std::unique_ptr<ProcessDialog> CreateParameterDialog(ProcVirtual& process,
                                                       const std::string& formClass) override {
    return CreateForm(formClass, process);
  }
};

// A fresh dialog host for every test.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override { SetHost(nullptr); }
  DialogHost host;
};

template <class Form>
Form& DialogOf(ProcVirtual& process) {
  auto* form = dynamic_cast<Form*>(process.Dialog());
  if (form == nullptr) throw std::logic_error("the process has no dialog of that class");
  return *form;
}

// The control a label names.
template <class Control = QLineEdit>
Control& Labelled(QWidget& dialog, const QString& caption) {
  for (QLabel* label : dialog.findChildren<QLabel*>())
    if (label->text() == caption)
      if (auto* control = qobject_cast<Control*>(label->buddy())) return *control;
  throw std::logic_error("no control labelled " + caption.toStdString());
}

inline QAbstractButton& Button(QWidget& dialog, const QString& text) {
  for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
    if (button->text() == text) return *button;
  throw std::logic_error("no button " + text.toStdString());
}

template <class Control>
Control& Named(QWidget& dialog, const char* name) {
  if (auto* control = dialog.findChild<Control*>(name)) return *control;
  throw std::logic_error(std::string("no control ") + name);
}

// The control gaining the focus for the reason given.
inline void Enter(QWidget& control, Qt::FocusReason reason = Qt::MouseFocusReason) {
  QFocusEvent focusIn(QEvent::FocusIn, reason);
  QCoreApplication::sendEvent(&control, &focusIn);
}

}  // namespace kandrel::testing
