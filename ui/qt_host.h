// The desktop program's host: message boxes, the input-error window, real parameter dialogs,
// module editors and image windows, the platform's file boxes and clip board, and the event loop
// between frames of a continuous run.
#pragma once

#include <QString>
#include <memory>

#include "process/host.h"

class QWidget;

namespace kandrel {

class TFormInputError;

// "caption|patterns|caption|patterns…" (patterns separated by ";") in the form Qt's file boxes
// take: "caption (p1 p2);;caption (p3)".
QString QtFileFilter(const std::string& filter);

class QtHost : public Host {
 public:
  QtHost();
  ~QtHost() override;

  // The window message boxes are centred on (the main window, once it exists).
  void SetMessageParent(QWidget* parent) { messageParent_ = parent; }

  void ShowMessage(const std::string& text) override;
  void ShowInputError(const std::vector<std::string>& lines) override;
  std::unique_ptr<ProcessDialog> CreateParameterDialog(ProcVirtual& process,
                                                       const std::string& formClass) override;
  std::unique_ptr<ProcessDialog> CreateNoParamDialog(ProcVirtual& process) override;
  std::unique_ptr<ModuleEditor> CreateModuleEditor(ProcModule& module) override;
  std::unique_ptr<ProcessDialog> CreateVerilogWindow(ProcModule& module) override;
  std::unique_ptr<ImageWindow> CreateImageWindow(Image& image) override;
  std::optional<std::string> AskOpenFile(const FileBoxRequest& request) override;
  std::optional<std::string> AskSaveFile(const FileBoxRequest& request) override;
  int AskQuery(const QueryRequest& request) override;
  bool ClipboardHasBitmap() override;
  bool ReadClipboardBitmap(Picture& picture) override;
  void ClearClipboard() override;
  void ProcessPendingEvents() override;
  // The measuring processes' windows show their own lists.
  void ReportMeasurement(const std::string&) override {}

 private:
  void ShowMessageNow(const QString& text);

  QWidget* messageParent_ = nullptr;
  std::unique_ptr<TFormInputError> inputError_;
};

}  // namespace kandrel
