#include "process/run_control.h"

#include <charconv>

#include "process/host.h"
#include "process/proc_module.h"

namespace kandrel {

void RunController::ResetAll() {
  currentFrame_ = 0;
  if (runModule_ != nullptr) {
    runModule_->Reset();
    SetEndPoint(runModule_->FrameCount());
  }
  Changed();
}

int RunController::StepAll() {
  if (currentFrame_ >= endPoint_) {
    GetHost().ShowMessage("終点です。最初に戻すか、終点を延ばして下さい。");
    return 1;
  }
  if (runModule_ == nullptr) return 1;
  if (int r = runModule_->Step(); r != 0) return r;
  ++currentFrame_;
  Changed();
  return 0;
}

int RunController::RunAll() {
  if (currentFrame_ >= endPoint_) ResetAll();
  inRun_ = true;
  running_ = true;
  int result = 0;
  while (running_) {
    result = StepAll();
    if (result != 0 || currentFrame_ >= endPoint_) break;
    GetHost().ProcessPendingEvents();
  }
  running_ = false;
  inRun_ = false;
  return result;
}

void RunController::SetEndPoint(int frames) {
  endPoint_ = frames < 0 ? 0 : frames;
  Changed();
}

void RunController::SetEndPointText(const std::string& text) {
  int value = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(begin, end, value);
  if (error == std::errc() && last == end && !text.empty()) SetEndPoint(value);
}

void RunController::OnShown() {
  if (runModule_ != nullptr) SetEndPoint(runModule_->FrameCount());
  Changed();
}

}  // namespace kandrel
