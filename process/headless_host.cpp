#include "process/headless_host.h"

namespace kandrel {

void HeadlessHost::ShowMessage(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.push_back(text);
  if (echo_ != nullptr) {
    std::fputs(text.c_str(), echo_);
    std::fputc('\n', echo_);
    std::fflush(echo_);
  }
}

void HeadlessHost::ReportMeasurement(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  measurements_.push_back(line);
  if (measurementEcho_ != nullptr) {
    std::fputs(line.c_str(), measurementEcho_);
    std::fputc('\n', measurementEcho_);
    std::fflush(measurementEcho_);
  }
}

std::vector<std::string> HeadlessHost::Measurements() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return measurements_;
}

void HeadlessHost::ShowInputError(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  ShowMessage(text);
}

std::vector<std::string> HeadlessHost::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

std::string HeadlessHost::LastMessage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.empty() ? std::string() : messages_.back();
}

void HeadlessHost::ClearMessages() {
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
}

std::unique_ptr<ProcessDialog> HeadlessHost::CreateParameterDialog(ProcVirtual&, const std::string&) {
  return std::make_unique<HeadlessDialog>();
}

std::unique_ptr<ProcessDialog> HeadlessHost::CreateNoParamDialog(ProcVirtual&) {
  return std::make_unique<HeadlessDialog>();
}

std::unique_ptr<ProcessDialog> HeadlessHost::CreateVerilogWindow(ProcModule&) {
  return std::make_unique<HeadlessDialog>();
}

std::unique_ptr<ModuleEditor> HeadlessHost::CreateModuleEditor(ProcModule& module) {
  return std::make_unique<HeadlessModuleEditor>(module);
}

std::unique_ptr<ImageWindow> HeadlessHost::CreateImageWindow(Image& image) {
  return std::make_unique<HeadlessImageWindow>(image);
}

std::optional<std::string> HeadlessHost::NextFileAnswer(const FileBoxRequest& request) {
  fileBoxes_.push_back(request);
  if (fileAnswers_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(fileAnswers_.front());
  fileAnswers_.pop_front();
  return answer;
}

std::optional<std::string> HeadlessHost::AskOpenFile(const FileBoxRequest& request) {
  return NextFileAnswer(request);
}

std::optional<std::string> HeadlessHost::AskSaveFile(const FileBoxRequest& request) {
  return NextFileAnswer(request);
}

int HeadlessHost::AskQuery(const QueryRequest& request) {
  queries_.push_back(request);
  if (queryAnswers_.empty()) return -1;
  const int answer = queryAnswers_.front();
  queryAnswers_.pop_front();
  return answer;
}

void HeadlessHost::ProcessPendingEvents() {
  ++pendingEventCalls_;
  if (onPendingEvents) onPendingEvents();
}

HeadlessImageWindow::HeadlessImageWindow(Image& image)
    : slot_(ImageWindowRegistry::Instance().Register(this)),
      caption_(ImageWindowRegistry::CaptionForSlot(slot_)),
      display_(image) {}

HeadlessImageWindow::~HeadlessImageWindow() { ImageWindowRegistry::Instance().Unregister(slot_); }

void HeadlessImageWindow::Refresh(bool recompute) {
  if (recompute)
    pending_ = Pending::kRecompute;
  else if (pending_ == Pending::kNothing)
    pending_ = Pending::kToneMapping;
  ++refreshCount_;
}

ImageDisplay& HeadlessImageWindow::Display() {
  if (pending_ != Pending::kNothing) display_.Refresh(pending_ == Pending::kRecompute);
  pending_ = Pending::kNothing;
  return display_;
}

void HeadlessImageWindow::Show() {
  visible_ = true;
  Refresh(true);
}

bool HeadlessHost::ReadClipboardBitmap(Picture& picture) {
  if (!clipboard_ || clipboard_->IsEmpty()) return false;
  picture = *clipboard_;
  return true;
}

}  // namespace kandrel
