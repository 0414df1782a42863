// The headless host, used by the tests and by "kandrel --batch". It records every message (and
// can echo it to a stream), answers file boxes and queries from a script, and gives processes,
// modules and images inert stand-in windows that keep their state: a dialog keeps its position
// and size and its visibility, so that a loaded file saves back unchanged.
#pragma once

#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "image/display.h"
#include "process/host.h"

namespace kandrel {

class HeadlessHost : public Host {
 public:
  HeadlessHost() = default;
  ~HeadlessHost() override = default;

  // Messages are also written here, one line per line of text (null: recorded only).
  void EchoMessagesTo(std::FILE* stream) { echo_ = stream; }
  std::vector<std::string> Messages() const;
  // Measurement lines, recorded and written here one per line (null: recorded only).
  void EchoMeasurementsTo(std::FILE* stream) { measurementEcho_ = stream; }
  std::vector<std::string> Measurements() const;
  std::string LastMessage() const;
  void ClearMessages();

  // Scripted answers, consumed in order; without one a file box is cancelled and a query
  // dismissed (-1).
  void QueueFileAnswer(std::optional<std::string> path) { fileAnswers_.push_back(std::move(path)); }
  void QueueQueryAnswer(int button) { queryAnswers_.push_back(button); }
  const std::vector<FileBoxRequest>& FileBoxesAsked() const { return fileBoxes_; }
  const std::vector<QueryRequest>& QueriesAsked() const { return queries_; }
  // The bitmap on the clip board, or none.
  void SetClipboardPicture(std::optional<Picture> picture) { clipboard_ = std::move(picture); }
  int PendingEventCalls() const { return pendingEventCalls_; }
  // Called on every ProcessPendingEvents, as a user's action between frames.
  std::function<void()> onPendingEvents;

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
  bool ClipboardHasBitmap() override { return clipboard_.has_value(); }
  bool ReadClipboardBitmap(Picture& picture) override;
  void ClearClipboard() override { clipboard_.reset(); }
  void ProcessPendingEvents() override;
  void ReportMeasurement(const std::string& line) override;

 private:
  std::optional<std::string> NextFileAnswer(const FileBoxRequest& request);

  mutable std::mutex mutex_;  // messages may come from channel threads
  std::vector<std::string> messages_;
  std::FILE* echo_ = nullptr;
  std::vector<std::string> measurements_;
  std::FILE* measurementEcho_ = nullptr;
  std::deque<std::optional<std::string>> fileAnswers_;
  std::deque<int> queryAnswers_;
  std::vector<FileBoxRequest> fileBoxes_;
  std::vector<QueryRequest> queries_;
  std::optional<Picture> clipboard_;
  int pendingEventCalls_ = 0;
};

// A stand-in dialog: remembers visibility and geometry, shows nothing.
class HeadlessDialog : public ProcessDialog {
 public:
  void Show() override { visible_ = true; }
  void Hide() override { visible_ = false; }
  bool IsVisible() const override { return visible_; }
  DialogGeometry Geometry() const override { return geometry_; }
  // Without a designed size of its own, the stand-in takes the stored size too.
  void RestoreGeometry(const DialogGeometry& geometry, bool) override { geometry_ = geometry; }

 private:
  bool visible_ = false;
  DialogGeometry geometry_;
};

class HeadlessModuleEditor : public ModuleEditor {
 public:
  using ModuleEditor::ModuleEditor;
  void Show() override { visible_ = true; }
  void Hide() override { visible_ = false; }
  bool IsVisible() const override { return visible_; }
  DialogGeometry Geometry() const override { return geometry_; }
  void RestoreGeometry(const DialogGeometry& geometry, bool) override { geometry_ = geometry; }
  void RefreshEditor() override { ++refreshCount_; }
  void Repaint() override { ++repaintCount_; }
  int RefreshCount() const { return refreshCount_; }
  int RepaintCount() const { return repaintCount_; }

 private:
  bool visible_ = false;
  DialogGeometry geometry_;
  int refreshCount_ = 0;
  int repaintCount_ = 0;
};

// A stand-in image window: takes a numbered slot like a real one, tracks visibility and gives
// the same display a real window would paint. Nobody looks at it, so the display is brought up to
// date only when it is asked for (by a BMP saver, say), from the samples of that moment.
class HeadlessImageWindow : public ImageWindow {
 public:
  explicit HeadlessImageWindow(Image& image);
  ~HeadlessImageWindow() override;
  void Refresh(bool recompute) override;
  ImageDisplay& Display() override;
  void Show() override;
  void Hide() override { visible_ = false; }
  bool IsVisible() const override { return visible_; }
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  int RefreshCount() const { return refreshCount_; }

 private:
  enum class Pending { kNothing, kToneMapping, kRecompute };

  int slot_;
  std::string caption_;
  bool visible_ = false;
  int refreshCount_ = 0;
  Pending pending_ = Pending::kNothing;
  ImageDisplay display_;
};

}  // namespace kandrel
