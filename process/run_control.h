// The run controller: drives the root module frame by frame. Reset returns to frame 0, a step
// runs one frame, a continuous run steps until the end point, a failure or a pause, letting the
// interface process its pending events between frames. The controller window shows this state.
#pragma once

#include <functional>
#include <string>

namespace kandrel {

class ProcModule;

class RunController {
 public:
  // The root to run; null while a root is being replaced.
  void Attach(ProcModule* root) { runModule_ = root; }
  ProcModule* RunModule() const { return runModule_; }

  // "リセット": frame 0, the root reset, the end point from the root's frame count.
  void ResetAll();
  // "ステップ実行": one frame; 0 when it ran.
  int StepAll();
  // "連続実行": frames until the end point, a failure or Pause(); returns the failing code or 0.
  int RunAll();
  // "一時停止": the run ends after the frame in progress.
  void Pause() { running_ = false; }
  bool IsRunning() const { return running_; }
  // True while RunAll is going on, paused or not: its frame may still be finishing.
  bool InRun() const { return inRun_; }

  int CurrentFrame() const { return currentFrame_; }
  int EndPoint() const { return endPoint_; }
  // The end point never goes below 0.
  void SetEndPoint(int frames);
  // The end-point field: text that is not an integer leaves the end point as it was.
  void SetEndPointText(const std::string& text);
  // When the controller window is shown: the end point follows the root's frame count.
  void OnShown();

  // Called whenever the current frame or the end point changed, to update the window.
  std::function<void()> onChanged;

 private:
  void Changed() {
    if (onChanged) onChanged();
  }

  ProcModule* runModule_ = nullptr;
  int currentFrame_ = 0;
  int endPoint_ = 100;
  bool running_ = false;
  bool inRun_ = false;
};

}  // namespace kandrel
