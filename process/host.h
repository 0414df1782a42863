// The host: the one seam through which the core reaches the user. Messages, the input-error
// report, parameter dialogs and module editors, image windows, file boxes, queries, the clip
// board and pending window events all go through it. The desktop program installs a Qt host;
// tests and the batch runner install the headless host.
//
// ShowMessage may be called from a channel worker thread; hosts must accept that.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/image_window.h"

namespace kandrel {

class Picture;
class ProcVirtual;
class ProcModule;

struct DialogGeometry {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const DialogGeometry&) const = default;
};

// A process's parameter dialog (or a module's editor window) as the core sees it.
class ProcessDialog {
 public:
  virtual ~ProcessDialog() = default;
  virtual void Show() = 0;
  // Closing a dialog only hides it; it lives as long as its process.
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  virtual DialogGeometry Geometry() const = 0;
  // Puts the dialog where a process file left it: always the position, the size when withSize.
  virtual void RestoreGeometry(const DialogGeometry& geometry, bool withSize) = 0;
};

// A module's editor window. The marks on icons and outputs are held here, as in the icons of the
// real editor; the drawing is the host's.
class ModuleEditor : public ProcessDialog {
 public:
  static constexpr int kInPortTag = -1;  // the strip of module inputs
  static constexpr int kChildIcons = 20;

  explicit ModuleEditor(ProcModule& module) : module_(module) {}

  // Re-binds the icons to the children and the ports and repaints.
  virtual void RefreshEditor() = 0;
  virtual void Repaint() = 0;

  // Selects the icon of child index alone (-1: none).
  void SelectOnlyIcon(int childIndex);
  void SetIconSelected(int childIndex, bool selected);
  bool IsIconSelected(int childIndex) const;
  void ClearOutputMarks();
  // iconTag: kInPortTag or a child index.
  void SetOutputMark(int iconTag, int output, bool marked);
  // An output counts as marked only while it holds an image (an empty one shows a grey caption).
  bool IsOutputMarked(int iconTag, int output) const;

 protected:
  ProcModule& module_;

 private:
  static int Row(int iconTag) { return iconTag + 1; }
  std::array<bool, kChildIcons> selected_{};
  std::array<std::array<bool, 10>, kChildIcons + 1> outputMarks_{};
};

struct FileBoxRequest {
  std::string title;
  std::string filter;            // "caption|patterns|caption|patterns…"
  std::string defaultExtension;  // without the dot
  std::string initialDirectory;
  std::string initialName;
  bool mustExist = false;
  bool confirmOverwrite = false;
};

struct QueryRequest {
  std::string caption;
  std::string text;
  std::string subject;  // shown in a read-only field under the text (a process name, say)
  std::vector<std::string> buttons;
};

class Host : public ImageWindowFactory {
 public:
  ~Host() override = default;

  // A modal message box; several lines are separated by "\n".
  virtual void ShowMessage(const std::string& text) = 0;
  // The shared "入力エラー" window with the given lines.
  virtual void ShowInputError(const std::vector<std::string>& lines) = 0;

  virtual std::unique_ptr<ProcessDialog> CreateParameterDialog(ProcVirtual& process,
                                                               const std::string& formClass) = 0;
  virtual std::unique_ptr<ProcessDialog> CreateNoParamDialog(ProcVirtual& process) = 0;
  virtual std::unique_ptr<ModuleEditor> CreateModuleEditor(ProcModule& module) = 0;
  // The window that shows a module's Verilog text and keeps it up to date while it is shown.
  virtual std::unique_ptr<ProcessDialog> CreateVerilogWindow(ProcModule& module) = 0;

  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> AskOpenFile(const FileBoxRequest& request) = 0;
  virtual std::optional<std::string> AskSaveFile(const FileBoxRequest& request) = 0;
  // Index of the button pressed; -1 when the query was dismissed.
  virtual int AskQuery(const QueryRequest& request) = 0;

  virtual bool ClipboardHasBitmap() = 0;
  // The clip board's bitmap into picture; false (picture unchanged) when it holds none.
  virtual bool ReadClipboardBitmap(Picture& picture) = 0;
  virtual void ClearClipboard() = 0;
  // Lets the interface paint and take commands between frames of a continuous run.
  virtual void ProcessPendingEvents() = 0;
  // A result line of a measuring process (PSNR, say), as it is added to its list; the desktop
  // shows it in that process's window, the runner passes it on to its standard output.
  virtual void ReportMeasurement(const std::string& line) = 0;
};

// The installed host; SetHost also makes it the factory of image windows.
Host& GetHost();
void SetHost(Host* host);

}  // namespace kandrel
