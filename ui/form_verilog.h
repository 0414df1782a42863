// TFormVerilog: the window of a module's Verilog text. While it is shown it regenerates the text
// every 500 ms from the current graph (the caption then becomes the module's name); activating it
// makes its module the one menu commands insert into.
#pragma once

#include <QWidget>

#include "process/host.h"

class QPlainTextEdit;
class QTimer;

namespace kandrel {

class ProcModule;

class TFormVerilog : public QWidget, public ProcessDialog {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 500;

  explicit TFormVerilog(ProcModule& module);

  void Show() override;
  void Hide() override { hide(); }
  bool IsVisible() const override { return isVisible(); }
  // Not kept in process files.
  DialogGeometry Geometry() const override { return {}; }
  void RestoreGeometry(const DialogGeometry&, bool) override {}

  // The tick of the timer: the text of the graph as it is now.
  void Refresh();
  QString Text() const;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  ProcModule& module_;
  QPlainTextEdit* memo_;
  QTimer* refreshTimer_;
};

}  // namespace kandrel
