#include "ui/form_save_video.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

#include "io/save_video.h"
#include "ui/file_name_fields.h"
#include "ui/form_fields.h"
#include "ui/number_text.h"

namespace kandrel {

namespace {

FileBoxRequest VideoSaveBox() {
  FileBoxRequest request;
  request.filter = "映像|*.avi";
  request.defaultExtension = "avi";
  request.confirmOverwrite = true;
  return request;
}

std::int32_t FourCCOf(const VideoCodec& codec) {
  const char code[5] = {codec.code[0], codec.code[1], codec.code[2], codec.code[3], '\0'};
  return FourCC(code);
}

}  // namespace

TFormSaveVideo::TFormSaveVideo(ProcSaveVideo& process)
    : TFormVirtual(process),
      process_(process),
      fields_(new FileNameFields(FileNameFields::Box::kSave, VideoSaveBox())),
      codec_(new QComboBox),
      frameRate_(new QComboBox) {
  setWindowTitle(QStringLiteral("映像ファイルの保存"));
  PreviewButton().hide();
  for (const VideoCodec& codec : kVideoCodecs) codec_->addItem(QString::fromUtf8(codec.caption));
  frameRate_->setEditable(true);
  frameRate_->addItems({QStringLiteral("29.97"), QStringLiteral("30"), QStringLiteral("25"),
                        QStringLiteral("24"), QStringLiteral("15"), QStringLiteral("10")});

  auto* grid = new QGridLayout;
  AddLabelledRow(*grid, 0, QStringLiteral("コーデック"), *codec_);
  AddLabelledRow(*grid, 1, QStringLiteral("フレームレート"), *frameRate_);
  Body().addWidget(fields_);
  Body().addLayout(grid);
}

void TFormSaveVideo::ParamsToControls() {
  const ProcSaveVideo::Params& p = process_.params;
  fields_->ShowFileName(p.fileName);
  for (int i = 0; i < frameRate_->count(); ++i) {
    if (TryStrToFloat(frameRate_->itemText(i)) == p.fps) {
      frameRate_->setCurrentIndex(i);
      break;
    }
  }
  frameRate_->setEditText(FloatToStr(p.fps));
  for (std::size_t row = 0; row < kVideoCodecs.size(); ++row)
    if (FourCCOf(kVideoCodecs[row]) == p.fourcc) codec_->setCurrentIndex(static_cast<int>(row));
}

int TFormSaveVideo::ControlsToParams() {
  ProcSaveVideo::Params& p = process_.params;
  p.fourcc = FourCCOf(kVideoCodecs[static_cast<std::size_t>(std::max(0, codec_->currentIndex()))]);
  const double fps = StrToFloat(frameRate_->currentText());
  if (fps <= 0) {
    GetHost().ShowMessage("フレームレートには正の数を指定して下さい。");
    return 1;
  }
  p.fps = fps;
  if (!fields_->HasFileName()) {
    GetHost().ShowMessage("ファイル名を指定して下さい。");
    return 1;
  }
  p.fileName = fields_->FileName();
  process_.Reset();  // finishes the file being written
  return 0;
}

}  // namespace kandrel
