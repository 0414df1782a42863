#include "ui/form_time_pallete.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "process/run_control.h"

namespace kandrel {

namespace {

constexpr int kRunningWidth = 320;
constexpr int kRunningHeight = 42;

QRect WorkArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

QPoint ControllerPosition(const QRect& mainFrame, const QSize& controllerSize, const QRect& workArea) {
  int left = mainFrame.x() + mainFrame.width();
  const int workRight = workArea.x() + workArea.width();
  if (left + controllerSize.width() > workRight) left = workRight - controllerSize.width();
  return {left, mainFrame.y()};
}

// ---- TFormRunning ----

TFormRunning::TFormRunning(RunController& controller, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      controller_(controller),
      pause_(new QPushButton(QStringLiteral("一時停止"))),
      closeTimer_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("連続フレーム実行中．．．"));
  setFixedSize(kRunningWidth, kRunningHeight);
  setModal(true);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(pause_);
  connect(pause_, &QPushButton::clicked, this, [this] { controller_.Pause(); });
  closeTimer_->setSingleShot(true);
  closeTimer_->setInterval(1);
  connect(closeTimer_, &QTimer::timeout, this, [this] { reject(); });
}

void TFormRunning::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QTimer::singleShot(0, this, [this] { RunFrames(); });
}

void TFormRunning::RunFrames() {
  controller_.RunAll();
  closeTimer_->start();
}

// ---- TFormTimePallete ----

TFormTimePallete::TFormTimePallete(RunController& controller)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint),
      controller_(controller),
      current_(new QLineEdit),
      end_(new QLineEdit),
      progress_(new QProgressBar),
      running_(new TFormRunning(controller, this)) {
  setWindowTitle(QStringLiteral("全プロセスを実行"));
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QGridLayout;
  auto* start = new QLineEdit(QStringLiteral("0000"));
  start->setReadOnly(true);
  current_->setReadOnly(true);
  const QString headings[3][2] = {{"開始点", "（最初のFrame）"},
                                  {"現在位置", "（次の処理Frame）"},
                                  {"終点", "（非処理）"}};
  QLineEdit* const edits[3] = {start, current_, end_};
  for (int column = 0; column < 3; ++column) {
    fields->addWidget(new QLabel(headings[column][0]), 0, column);
    fields->addWidget(new QLabel(headings[column][1]), 1, column);
    fields->addWidget(edits[column], 2, column);
  }
  layout->addLayout(fields);
  progress_->setMinimum(0);
  progress_->setTextVisible(false);
  layout->addWidget(progress_);
  auto* buttons = new QHBoxLayout;
  auto* reset = new QPushButton(QStringLiteral("リセット"));
  auto* step = new QPushButton(QStringLiteral("ステップ実行"));
  auto* run = new QPushButton(QStringLiteral("連続実行"));
  run->setDefault(true);
  buttons->addWidget(reset);
  buttons->addWidget(step);
  buttons->addWidget(run);
  layout->addLayout(buttons);
  connect(reset, &QPushButton::clicked, this, [this] { PressReset(); });
  connect(step, &QPushButton::clicked, this, [this] { PressStep(); });
  connect(run, &QPushButton::clicked, this, [this] { PressRun(); });
  connect(end_, &QLineEdit::textEdited, this,
          [this](const QString& text) { controller_.SetEndPointText(text.toStdString()); });
  controller_.onChanged = [this] { ShowState(); };
  ShowState();
}

void TFormTimePallete::ShowState() {
  current_->setText(QString::number(controller_.CurrentFrame()));
  // The end field is rewritten only when it shows another number, or leftover text the user is
  // no longer typing: rewriting it under the cursor would fight the user.
  bool isNumber = false;
  const int shown = end_->text().toInt(&isNumber);
  const bool userIsTyping = end_->hasFocus() && !isNumber;
  if (!userIsTyping && (!isNumber || shown != controller_.EndPoint()))
    end_->setText(QString::number(controller_.EndPoint()));
  progress_->setMaximum(controller_.EndPoint());
  progress_->setValue(std::min(controller_.CurrentFrame(), controller_.EndPoint()));
}

void TFormTimePallete::ShowController(const QRect& mainFrame) {
  if (!isVisible()) {
    adjustSize();
    move(ControllerPosition(mainFrame, frameGeometry().size(), WorkArea()));
  }
  show();
  raise();
}

void TFormTimePallete::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  controller_.OnShown();
}

void TFormTimePallete::PressReset() { controller_.ResetAll(); }

void TFormTimePallete::PressStep() { controller_.StepAll(); }

void TFormTimePallete::PressRun() {
  if (controller_.InRun()) return;
  if (onRunStarting) onRunStarting();
  // The strip covers the button row of the controller.
  const QPoint corner = mapToGlobal(QPoint(0, height() - kRunningHeight));
  running_->move(corner);
  running_->exec();
}

}  // namespace kandrel
