#include "ui/form_psnr.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <optional>

#include "blocks/analysis/psnr.h"
#include "ui/number_text.h"

namespace kandrel {

using namespace std::chrono_literals;

namespace {

constexpr auto kResultRefresh = 200ms;

FileBoxRequest TextSaveBox() {
  FileBoxRequest request;
  request.filter = "テキスト|*.txt";
  request.defaultExtension = "txt";
  request.confirmOverwrite = true;
  return request;
}

// The window's caption, or the image's own name while it has no window.
QString NameOf(const Image& image) {
  return QString::fromStdString(image.Window() != nullptr || image.name.empty() ? image.WindowName()
                                                                                : image.name);
}

const QString kNotConnected = QStringLiteral("未接続");

}  // namespace

TFormPSNR::TFormPSNR(ProcPSNR& process)
    : TFormVirtual(process),
      process_(process),
      memo_(new QPlainTextEdit),
      frameNumber_(new QCheckBox(QStringLiteral("Frame No."))),
      refresh_(new QTimer(this)) {
  setWindowTitle(QStringLiteral("PSNR 計測"));
  PreviewButton().setText(QStringLiteral("実行"));
  OkButton().setText(QStringLiteral("閉じる"));
  CancelButton().hide();
  CancelButton().setEnabled(false);

  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* clear = new QPushButton(QStringLiteral("クリア"));
  auto* save = new QPushButton(QStringLiteral("保存..."));
  auto* checks = new QHBoxLayout;
  checks->addWidget(frameNumber_);
  connect(frameNumber_, &QCheckBox::clicked, this, &TFormPSNR::StoreChecks);
  for (std::size_t c = 0; c < channels_.size(); ++c) {
    channels_[c] = new QCheckBox(QStringLiteral("Ch.%1").arg(c + 1));
    checks->addWidget(channels_[c]);
    connect(channels_[c], &QCheckBox::clicked, this, &TFormPSNR::StoreChecks);
  }
  checks->addStretch();
  checks->addWidget(clear);
  checks->addWidget(save);
  auto* results = new QGroupBox(QStringLiteral("PSNR (dB)"));
  auto* resultColumn = new QVBoxLayout(results);
  resultColumn->addWidget(memo_, 1);
  resultColumn->addLayout(checks);

  auto* imageBox = new QGroupBox(QStringLiteral("Images"));
  auto* imageColumn = new QVBoxLayout(imageBox);
  auto* peakBox = new QGroupBox(QStringLiteral("Peak(WhiteLevel)"));
  auto* peakColumn = new QVBoxLayout(peakBox);
  for (std::size_t k = 0; k < images_.size(); ++k) {
    images_[k] = new QLabel(kNotConnected);
    images_[k]->setFrameShape(QFrame::Panel);
    images_[k]->setFrameShadow(QFrame::Sunken);
    images_[k]->setObjectName(QStringLiteral("image%1").arg(k + 1));
    imageColumn->addWidget(images_[k]);
    peaks_[k] = new QLineEdit;
    peaks_[k]->setObjectName(QStringLiteral("peak%1").arg(k + 1));
    peakColumn->addWidget(peaks_[k]);
  }
  auto* inputs = new QHBoxLayout;
  inputs->addWidget(imageBox, 2);
  inputs->addWidget(peakBox, 1);

  Body().addWidget(results, 1);
  Body().addLayout(inputs);

  connect(clear, &QPushButton::clicked, this, &TFormPSNR::ClearResults);
  connect(save, &QPushButton::clicked, this, &TFormPSNR::SaveResults);
  refresh_->setInterval(kResultRefresh);
  connect(refresh_, &QTimer::timeout, this, &TFormPSNR::Refresh);
}

void TFormPSNR::ParamsToControls() {
  const ProcPSNR::Params& p = process_.params;
  frameNumber_->setChecked(p.showFrameNumber != 0);
  for (std::size_t c = 0; c < channels_.size(); ++c)
    channels_[c]->setChecked(p.channelEnabled[c] != 0);
  const double stored[2] = {p.peak1, p.peak2};
  for (std::size_t k = 0; k < images_.size(); ++k) {
    const Image* image = process_.GetInput(static_cast<int>(k));
    // A name left from an earlier link would mislead.
    images_[k]->setText(image != nullptr ? NameOf(*image) : kNotConnected);
    peaks_[k]->setText(FloatToStr(image != nullptr ? image->whiteLevel : stored[k]));
  }
}

int TFormPSNR::ControlsToParams() {
  const double peak1 = StrToFloat(peaks_[0]->text());
  const double peak2 = StrToFloat(peaks_[1]->text());
  if (!(peak1 > 0 && peak2 > 0)) {
    GetHost().ShowMessage("Peak(WhiteLevel)には正の数を指定して下さい。");
    return 1;
  }
  process_.params.peak1 = peak1;
  process_.params.peak2 = peak2;
  return 0;
}

void TFormPSNR::showEvent(QShowEvent* event) {
  TFormVirtual::showEvent(event);
  refresh_->start();
  Refresh();
}

void TFormPSNR::hideEvent(QHideEvent* event) {
  refresh_->stop();
  TFormVirtual::hideEvent(event);
}

void TFormPSNR::Refresh() {
  const std::vector<std::string>& lines = process_.Results();
  // A reset may have emptied the list and a run refilled it past what is shown.
  if (lines.size() < shown_.size() || !std::equal(shown_.begin(), shown_.end(), lines.begin())) {
    memo_->clear();
    shown_.clear();
  }
  if (lines.size() == shown_.size()) return;
  QStringList added;
  for (std::size_t i = shown_.size(); i < lines.size(); ++i)
    added << QString::fromStdString(lines[i]);
  memo_->appendPlainText(added.join(QLatin1Char('\n')));
  shown_.insert(shown_.end(), lines.begin() + static_cast<std::ptrdiff_t>(shown_.size()),
                lines.end());
}

void TFormPSNR::ClearResults() {
  process_.ClearResults();
  memo_->clear();
  shown_.clear();
}

void TFormPSNR::SaveResults() {
  const std::optional<std::string> path = GetHost().AskSaveFile(TextSaveBox());
  if (path) process_.SaveResults(*path);  // a failure has shown its own message
}

void TFormPSNR::StoreChecks() {
  ProcPSNR::Params& p = process_.params;
  p.showFrameNumber = frameNumber_->isChecked() ? 1 : 0;
  for (std::size_t c = 0; c < channels_.size(); ++c)
    p.channelEnabled[c] = channels_[c]->isChecked() ? 1 : 0;
  process_.SetModified(true);
}

}  // namespace kandrel
