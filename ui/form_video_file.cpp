#include "ui/form_video_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "io/video_file.h"
#include "ui/file_name_fields.h"
#include "ui/form_fields.h"

namespace kandrel {

using namespace std::chrono_literals;

namespace {

constexpr QSize kNoSourceFrame(640, 480);
constexpr auto kFileRefresh = 200ms;
// Often enough for a live picture, seldom enough to leave the interface time between pictures.
constexpr auto kCameraRefresh = 100ms;

struct TransportButton {
  const char* name;
  const char* tip;
  QStyle::StandardPixmap icon;
  void (*act)(ZelVideoSampler&);
};
constexpr TransportButton kTransport[] = {
    {"play", "再生", QStyle::SP_MediaPlay, [](ZelVideoSampler& s) { s.Run(); }},
    {"stop", "停止", QStyle::SP_MediaStop, [](ZelVideoSampler& s) { s.Stop(); }},
    {"rewind", "先頭へ", QStyle::SP_MediaSkipBackward,
     [](ZelVideoSampler& s) { s.SeekToFrame(0); }},
    {"step", "コマ送り", QStyle::SP_MediaSeekForward, [](ZelVideoSampler& s) { s.StepFrames(1); }},
    {"back", "コマ戻し", QStyle::SP_MediaSeekBackward,
     [](ZelVideoSampler& s) { s.StepFrames(-1); }},
};

QString FrameText(std::int64_t frame) { return QString::number(frame); }

QLineEdit* NewFrameEdit(const QString& initial, bool readOnly) {
  auto* edit = new QLineEdit(initial);
  edit->setReadOnly(readOnly);
  return edit;
}

FileBoxRequest VideoOpenBox() {
  FileBoxRequest request;
  request.filter = "映像|*.avi";
  request.mustExist = true;
  return request;
}

// "閉じる" and "キャプチャ", without cancelling: the sampler's position cannot be taken back.
void UseSourceButtons(QPushButton& preview, QPushButton& ok, QPushButton& cancel) {
  preview.setText(QStringLiteral("キャプチャ"));
  ok.setText(QStringLiteral("閉じる"));
  cancel.hide();
  cancel.setEnabled(false);
}

}  // namespace

// ---- preview

PreviewLayout LayOutPreview(QSize frame, QSize client, bool actualSize) {
  if (actualSize || frame.isEmpty()) return {QRect(QPoint(0, 0), frame), true};
  if (client.isEmpty()) return {QRect(), false};
  // Exact fractions: dividing by the scale in floating point can come out a pixel short.
  const std::int64_t cw = client.width(), ch = client.height();
  std::int64_t width = cw;
  std::int64_t height = frame.height() * cw / frame.width();
  std::int64_t left = 0;
  std::int64_t top = (ch - height) / 2;
  if (height > ch) {
    width = width * ch / height;
    height = ch;
    left = (cw - width) / 2;
    top = 0;
  }
  return {QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                static_cast<int>(height)),
          false};
}

VideoPreview::VideoPreview(ZelVideoSampler& sampler, QCheckBox& actualSize)
    : sampler_(sampler),
      actualSize_(actualSize),
      canvas_(new QWidget),
      panel_(new QLabel(QStringLiteral("カメラ映像"), canvas_)) {
  panel_->setAlignment(Qt::AlignCenter);
  panel_->setFrameShape(QFrame::Panel);
  panel_->setScaledContents(true);
  setWidget(canvas_);
  setMinimumSize(320, 240);
  connect(&actualSize_, &QCheckBox::toggled, this, &VideoPreview::Arrange);
}

void VideoPreview::Arrange() {
  int width = 0, height = 0;
  const QSize frame = sampler_.IsOpen() && sampler_.FrameSize(width, height) ? QSize(width, height)
                                                                             : kNoSourceFrame;
  const bool actual = actualSize_.isChecked();
  const Qt::ScrollBarPolicy bars =
      actual || frame.isEmpty() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  setHorizontalScrollBarPolicy(bars);
  setVerticalScrollBarPolicy(bars);
  const PreviewLayout layout = LayOutPreview(frame, maximumViewportSize(), actual);
  canvas_->resize(layout.scrolls ? layout.panel.size() : maximumViewportSize());
  panel_->setGeometry(layout.panel);
}

void VideoPreview::ShowFrame() {
  if (!sampler_.GetFrame(red_, green_, blue_)) return;
  QImage picture(red_.Width(), red_.Height(), QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x) line[x] = qRgb(red_[y][x], green_[y][x], blue_[y][x]);
  }
  panel_->setPixmap(QPixmap::fromImage(picture));
}

void VideoPreview::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  Arrange();
}

// ---- video file

TFormVideoFile::TFormVideoFile(ProcVideoFile& process)
    : TFormVirtual(process),
      process_(process),
      fields_(new FileNameFields(FileNameFields::Box::kOpen, VideoOpenBox())),
      firstFrame_(NewFrameEdit(QStringLiteral("0000"), true)),
      lastFrame_(NewFrameEdit(QStringLiteral("9999"), true)),
      currentFrame_(NewFrameEdit(QStringLiteral("9999"), false)),
      refresh_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("映像ファイルの選択"));
  UseSourceButtons(PreviewButton(), OkButton(), CancelButton());
  fields_->FileEdit().setReadOnly(true);

  auto* frames = new QGridLayout;
  AddLabelledRow(*frames, 0, QStringLiteral("最初のフレーム"), *firstFrame_);
  AddLabelledRow(*frames, 1, QStringLiteral("最後のフレーム"), *lastFrame_);
  AddLabelledRow(*frames, 2, QStringLiteral("現在のフレーム"), *currentFrame_,
                 QStringLiteral("（←次の実行時にキャプチャされます）"));

  auto* transport = new QHBoxLayout;
  for (const TransportButton& button : kTransport) {
    auto* tool = new QToolButton;
    tool->setObjectName(button.name);
    tool->setToolTip(QString::fromUtf8(button.tip));
    tool->setIcon(style()->standardIcon(button.icon));
    transport->addWidget(tool);
    connect(tool, &QToolButton::clicked, this, [this, act = button.act] {
      if (!process_.IsOpened()) return;
      act(process_.Sampler());
      Refresh();
    });
  }
  transport->addStretch();

  auto* actualSize = new QCheckBox(QStringLiteral("実際のサイズで表示"));
  preview_ = new VideoPreview(process_.Sampler(), *actualSize);
  Body().addWidget(fields_);
  Body().addLayout(frames);
  Body().addLayout(transport);
  Body().addWidget(actualSize);
  Body().addWidget(preview_, 1);

  connect(fields_, &FileNameFields::Chosen, this, &TFormVideoFile::OpenChosenFile);
  connect(currentFrame_, &QLineEdit::returnPressed, this, &TFormVideoFile::SeekToTypedFrame);
  currentFrame_->installEventFilter(this);
  refresh_->setInterval(kFileRefresh);
  connect(refresh_, &QTimer::timeout, this, &TFormVideoFile::Refresh);
}

void TFormVideoFile::ParamsToControls() { ShowVideo(); }

void TFormVideoFile::showEvent(QShowEvent* event) {
  TFormVirtual::showEvent(event);
  refresh_->start();
  Refresh();
}

void TFormVideoFile::hideEvent(QHideEvent* event) {
  refresh_->stop();
  TFormVirtual::hideEvent(event);
}

bool TFormVideoFile::eventFilter(QObject* watched, QEvent* event) {
  if (watched == currentFrame_ && event->type() == QEvent::FocusIn) editing_ = true;
  if (watched == currentFrame_ && event->type() == QEvent::FocusOut) {
    editing_ = false;
    SeekToTypedFrame();
  }
  return TFormVirtual::eventFilter(watched, event);
}

void TFormVideoFile::ShowVideo() {
  fields_->ShowFileName(process_.params.fileName);
  if (!process_.IsOpened() && !process_.OpenVideo()) {
    // No range to show: the numbers of an earlier file would mislead.
    firstFrame_->clear();
    lastFrame_->clear();
    return;
  }
  ZelVideoSampler& sampler = process_.Sampler();
  firstFrame_->setText(FrameText(sampler.FirstFrame()));
  lastFrame_->setText(FrameText(sampler.EndFrame() - 1));
  preview_->Arrange();
}

void TFormVideoFile::OpenChosenFile() {
  process_.SetFileName(fields_->FileName());  // marks the process modified
  ShowVideo();
  process_.Reset();
  Refresh();
}

void TFormVideoFile::Refresh() {
  if (!editing_) currentFrame_->setText(FrameText(process_.Sampler().CurrentFrame()));
  if (process_.IsOpened()) preview_->ShowFrame();
}

void TFormVideoFile::SeekToTypedFrame() {
  bool isNumber = false;
  const std::int64_t typed = currentFrame_->text().trimmed().toLongLong(&isNumber);
  const std::int64_t frame = isNumber ? typed : 0;
  ZelVideoSampler& sampler = process_.Sampler();
  if (frame >= sampler.FirstFrame() && frame < sampler.EndFrame()) sampler.SeekToFrame(frame);
  // The edit shows where the file really is, also when the number was refused.
  currentFrame_->setText(FrameText(sampler.CurrentFrame()));
  if (process_.IsOpened()) preview_->ShowFrame();
}

// ---- capture

TFormCapture::TFormCapture(ProcCapture& process)
    : TFormVirtual(process),
      process_(process),
      devices_(new QComboBox),
      refresh_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("キャプチャ"));
  UseSourceButtons(PreviewButton(), OkButton(), CancelButton());

  auto* deviceRow = new QHBoxLayout;
  deviceRow->addWidget(NewBuddyLabel(QStringLiteral("キャプチャデバイス："), *devices_));
  deviceRow->addWidget(devices_, 1);
  auto* pages = new QHBoxLayout;
  for (QPushButton*& button : pageButtons_) {
    button = new QPushButton(QStringLiteral("カメラ設定"));
    button->hide();
    pages->addWidget(button);
  }
  pages->addStretch();

  auto* actualSize = new QCheckBox(QStringLiteral("実際のキャプチャサイズで表示"));
  preview_ = new VideoPreview(process_.Sampler(), *actualSize);
  Body().addLayout(deviceRow);
  Body().addLayout(pages);
  Body().addWidget(actualSize);
  Body().addWidget(preview_, 1);

  // Only the user's choice: filling the list must not restart the device.
  connect(devices_, &QComboBox::activated, this, &TFormCapture::ChooseDevice);
  refresh_->setInterval(kCameraRefresh);
  connect(refresh_, &QTimer::timeout, this, &TFormCapture::Refresh);
}

void TFormCapture::ParamsToControls() {
  // Listed at every showing: a run may have started the device before the dialog was shown.
  std::vector<std::string> names;
  process_.Sampler().ListDevices(names);
  devices_->clear();
  for (const std::string& name : names) devices_->addItem(QString::fromStdString(name));
  const int index = process_.params.deviceIndex;
  devices_->setCurrentIndex(index >= 0 && index < devices_->count() ? index : -1);
  if (!process_.IsStarted()) {
    StartDevice();
    return;
  }
  ShowPageButtons();
  preview_->Arrange();
}

void TFormCapture::showEvent(QShowEvent* event) {
  TFormVirtual::showEvent(event);
  refresh_->start();
}

void TFormCapture::hideEvent(QHideEvent* event) {
  refresh_->stop();
  TFormVirtual::hideEvent(event);
}

void TFormCapture::ChooseDevice(int index) {
  process_.SetModified(true);
  process_.params.deviceIndex = index;
  StartDevice();
  process_.Reset();
}

void TFormCapture::StartDevice() {
  process_.StartDevice();  // runs the device once it is open
  ShowPageButtons();
  preview_->Arrange();
}

void TFormCapture::ShowPageButtons() {
  for (std::size_t kind = 0; kind < pageButtons_.size(); ++kind) {
    std::string caption;
    const bool exists =
        process_.IsStarted() && process_.Sampler().HasPropertyPage(static_cast<int>(kind), caption);
    if (exists) pageButtons_[kind]->setText(QString::fromStdString(caption));
    pageButtons_[kind]->setVisible(exists);
  }
}

void TFormCapture::Refresh() {
  if (process_.IsStarted()) preview_->ShowFrame();
}

}  // namespace kandrel
