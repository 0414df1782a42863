// The run controller's windows: "全プロセスを実行", a small always-on-top tool window with the
// start, current and end frame, a progress bar and the three run buttons, and the borderless
// running strip with "一時停止" inside which a continuous run takes place.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kandrel {

class RunController;

class TFormRunning : public QDialog {
  Q_OBJECT

 public:
  explicit TFormRunning(RunController& controller, QWidget* parent = nullptr);

  QPushButton& PauseButton() const { return *pause_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RunFrames();

  RunController& controller_;
  QPushButton* pause_;
  // The run happens while the dialog is up; it can only close itself once that call returned.
  QTimer* closeTimer_;
};

class TFormTimePallete : public QWidget {
  Q_OBJECT

 public:
  explicit TFormTimePallete(RunController& controller);

  // Shows the controller; when it was hidden, first puts it beside mainFrame (the main
  // window's frame), inside the work area.
  void ShowController(const QRect& mainFrame);

  void PressReset();
  void PressStep();
  void PressRun();
  // Called as a continuous run is about to start, from any of its buttons and keys.
  std::function<void()> onRunStarting;

  QLineEdit& CurrentField() const { return *current_; }
  QLineEdit& EndField() const { return *end_; }
  QProgressBar& Progress() const { return *progress_; }
  TFormRunning& Running() const { return *running_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowState();

  RunController& controller_;
  QLineEdit* current_;
  QLineEdit* end_;
  QProgressBar* progress_;
  TFormRunning* running_;
};

// Where the controller goes: its left edge at the main window's right edge, its top at the
// main window's top, moved left to end at the work area's right edge when it would stick out.
QPoint ControllerPosition(const QRect& mainFrame, const QSize& controllerSize, const QRect& workArea);

}  // namespace kandrel
