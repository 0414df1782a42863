#include "io/save_video.h"

#include <unistd.h>

#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "image/display.h"
#include "image/image_window.h"
#include "image/picture.h"
#include "io/avi_writer.h"
#include "io/frame_names.h"
#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/process_file.h"

namespace kandrel {

namespace fs = std::filesystem;

// Where the frames of one recording go.
class ProcSaveVideo::Sink {
 public:
  virtual ~Sink() = default;
  virtual bool Write(const Picture& picture) = 0;
  // Completes the file; false when it is not a whole file.
  virtual bool Finish() = 0;
};

// "DIB ": our own writer, since the encoding library has no uncompressed AVI of DIB frames.
class ProcSaveVideo::UncompressedSink : public Sink {
 public:
  bool Open(const std::string& path, int width, int height, double fps) {
    return writer_.Open(path, width, height, fps);
  }
  bool Write(const Picture& picture) override { return writer_.WriteFrame(picture); }
  bool Finish() override { return writer_.Close(); }

 private:
  AviWriter writer_;
};

// Every other codec, through OpenCV's writer.
class ProcSaveVideo::EncodedSink : public Sink {
 public:
  bool Open(const std::string& path, std::int32_t fourcc, int width, int height, double fps) {
    try {
      return writer_.open(path, cv::CAP_FFMPEG, fourcc, fps, cv::Size(width, height), true);
    } catch (const cv::Exception&) {
      return false;
    }
  }
  bool Write(const Picture& picture) override {
    // The picture's pixels are blue, green, red, unused: the writer wants the first three.
    const cv::Mat pixels(picture.Height(), picture.Width(), CV_8UC4,
                         const_cast<std::uint8_t*>(picture.ScanLine(0)),
                         static_cast<std::size_t>(picture.BytesPerLine()));
    try {
      cv::cvtColor(pixels, bgr_, cv::COLOR_BGRA2BGR);
      writer_.write(bgr_);
    } catch (const cv::Exception&) {
      return false;
    }
    return true;
  }
  bool Finish() override {
    try {
      writer_.release();
    } catch (const cv::Exception&) {
      return false;
    }
    return true;
  }

 private:
  cv::VideoWriter writer_;
  cv::Mat bgr_;
};

ProcSaveVideo::ProcSaveVideo(int processId) : ProcVirtual(processId) {
  SetDefaultName("SaveVideo");
  SetPortCounts(1, 0);
  params.fileName = (fs::path(LastUsedDirectory()) / "NoName").string();
  CreateParameterDialog("TFormSaveVideo");
}

ProcSaveVideo::~ProcSaveVideo() { CloseWriter(false); }

bool ProcSaveVideo::InferOutputTypes(const TypeList& inTypes, TypeList&) {
  return inTypes[0] > kTypeUnknown;
}

std::string ProcSaveVideo::TargetPath() const {
  const NameParts parts = SplitFileName(params.fileName);
  return parts.directory + parts.base + (params.enabled ? ".avi" : LowerCase(parts.extension));
}

int ProcSaveVideo::Process(const InputImages& inputs, OutputImages&) {
  const Image* image = inputs[0];
  if (image == nullptr) return 1;  // Prepare has refused an unlinked input already
  if (image->Width() == 0 || image->Height() == 0) {
    Message("保存する映像のサイズがわかりません。");
    return 1;
  }
  if (sink_ != nullptr && (image->Width() != writerWidth_ || image->Height() != writerHeight_))
    CloseWriter(true);
  if (sink_ == nullptr && params.enabled) {
    targetPath_ = TargetPath();
    // Beside the target, ending in ".avi" for the encoder to choose its container.
    writingPath_ = targetPath_ + ".~" + std::to_string(::getpid()) + ".avi";
    std::unique_ptr<Sink> sink;
    if (params.fourcc == FourCC("DIB ")) {
      auto uncompressed = std::make_unique<UncompressedSink>();
      if (uncompressed->Open(writingPath_, image->Width(), image->Height(), params.fps))
        sink = std::move(uncompressed);
    } else {
      auto encoded = std::make_unique<EncodedSink>();
      if (encoded->Open(writingPath_, params.fourcc, image->Width(), image->Height(), params.fps))
        sink = std::move(encoded);
    }
    if (sink == nullptr) {
      std::error_code ignored;
      fs::remove(writingPath_, ignored);
    }
    sink_ = std::move(sink);
  }
  if (sink_ == nullptr) {
    Message("映像ファイルの作成に失敗しました。");
    return 1;
  }
  writerWidth_ = image->Width();
  writerHeight_ = image->Height();
  // The frame is what the window shows, so it needs the window's display.
  ImageWindow* window = image->Window();
  if (window == nullptr) {
    Message("入力1を映像に変換できませんでした。");
    return 1;
  }
  window->Refresh(true);
  if (!sink_->Write(window->Display().GetPicture())) {
    Message(Name() + "が映像ファイル" + targetPath_ + "に書き込めません。");
    sink_.reset();  // the recording is lost; the earlier file stays
    std::error_code ignored;
    fs::remove(writingPath_, ignored);
    return 1;
  }
  return 0;
}

bool ProcSaveVideo::CloseWriter(bool report) {
  if (sink_ == nullptr) return true;
  const bool finished = sink_->Finish();
  sink_.reset();
  std::error_code error;
  if (finished) fs::rename(writingPath_, targetPath_, error);
  if (finished && !error) return true;
  fs::remove(writingPath_, error);
  if (report) Message(Name() + "が映像ファイル" + targetPath_ + "を保存できません。");
  return false;
}

int ProcSaveVideo::ResetOutputs(OutputImages&) {
  ResetFrameCounter();
  return CloseWriter(true) ? 0 : 1;
}

int ProcSaveVideo::SaveParams(ByteStream& stream) {
  ProcVirtual::SaveParams(stream);
  WriteRecordWithPath(stream, params);
  return 0;
}

int ProcSaveVideo::LoadParams(ByteStream& stream) {
  const int header = ProcVirtual::LoadParams(stream);
  return header | ReadRecordWithPath(stream, params);
}

void RegisterSaveVideoKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcSaveVideo>(kSaveVideoProcessId, "ProcSaveVideo", "「映像」を保存..."));
}

}  // namespace kandrel
