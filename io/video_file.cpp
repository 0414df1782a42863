#include "io/video_file.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "io/frame_names.h"
#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/process_file.h"

namespace kandrel {

namespace {

constexpr const char* kVideoFilter = "映像|*.avi";

// What every video frame is: RGB of 0..255 on a display of gamma 2.2.
void MarkAsVideo(Image& image) {
  image.colorSpace = kRgb;
  image.whiteLevel = 255;
  image.gamma = 2.2;
}

}  // namespace

// ---- ProcVideoFile

ProcVideoFile::ProcVideoFile(int processId) : ProcStandardOut(processId) {
  SetDefaultName("VideoFile");
  SetPortCounts(0, 1);
  CreateParameterDialog("TFormVideoFile");
}

bool ProcVideoFile::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = kTypeInt3;
  return true;
}

int ProcVideoFile::FrameCount() {
  if (!opened_) return 0;
  return static_cast<int>(
      std::min<std::int64_t>(sampler_.EndFrame(), std::numeric_limits<int>::max()));
}

bool ProcVideoFile::OpenVideo() {
  if (!opened_) opened_ = sampler_.OpenFile(params.fileName);
  if (opened_) sampler_.SeekToFrame(0);
  return opened_;
}

int ProcVideoFile::ProcessInt3(const InputImages&, const InputImages& outputs) {
  auto* out = As<Int3Image>(outputs[0]);
  if (out == nullptr) return 1;
  MarkAsVideo(*out);
  const NameParts parts = SplitFileName(params.fileName);
  out->name = parts.base + parts.extension;
  if (!opened_) OpenVideo();
  int result = 0;
  if (!opened_) {
    Message("ビデオファイルが見つかりません。（" + params.fileName + "）");
    return 1;
  }
  const std::int64_t frame = sampler_.CurrentFrame();
  if (frame >= sampler_.EndFrame()) {
    Message("映像の終わりです。開始位置まで戻して下さい。");
    result = 1;
  } else if (!sampler_.GetFrame(out->channels[0], out->channels[1], out->channels[2])) {
    // A frame the file claims but cannot give (a truncated file, a damaged frame) is no
    // success: the picture would silently be the previous one.
    Message(Name() + "が映像ファイル" + params.fileName + "のフレーム" + std::to_string(frame) +
            "を読めません。");
    result = 1;
  }
  sampler_.StepFrames(1);  // the next execution takes the next frame
  return result;
}

int ProcVideoFile::ResetOutputs(OutputImages& outputs) {
  const int result = ProcStandardOut::ResetOutputs(outputs);
  if (OpenVideo()) {
    Step();  // frame 0 is shown at once
    sampler_.SeekToFrame(0);
  }
  SetStatus("Rst");
  ResetFrameCounter();
  return result;
}

int ProcVideoFile::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecordWithPath(stream, params);
  return 0;
}

int ProcVideoFile::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  const int result = header | ReadRecordWithPath(stream, params);
  opened_ = false;  // another file, maybe
  return result;
}

void ProcVideoFile::SetFileName(const std::string& name) {
  const std::optional<std::string> chosen = ChosenOpenPath(name, kVideoFilter);
  if (!chosen) return;
  params.fileName = *chosen;
  opened_ = false;
  SetModified(true);
}

// ---- ProcCapture

ProcCapture::ProcCapture(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Capture");
  SetPortCounts(0, 1);
  CreateParameterDialog("TFormCapture");
}

bool ProcCapture::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = kTypeInt3;
  return true;
}

bool ProcCapture::StartDevice() {
  started_ = sampler_.OpenDevice(params.deviceIndex);
  if (started_) sampler_.Run();
  return started_;
}

int ProcCapture::ProcessInt3(const InputImages&, const InputImages& outputs) {
  auto* out = As<Int3Image>(outputs[0]);
  if (out == nullptr) return 1;
  MarkAsVideo(*out);
  // A device just started needs a moment before its first picture.
  if (!started_ && StartDevice()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!started_) {
    Message("ビデオデバイスを選択して下さい。");
    return 1;
  }
  if (!sampler_.GetFrame(out->channels[0], out->channels[1], out->channels[2])) {
    // The device gave no picture within its time-out.
    Message(Name() + "がビデオデバイスから映像を取り込めません。");
    return 1;
  }
  return 0;
}

int ProcCapture::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcCapture::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  const int result = ReadRecord(stream, params) | header;
  started_ = false;  // another device, maybe
  return result;
}

void RegisterVideoFileKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(
      KindOf<ProcVideoFile>(kVideoFileProcessId, "ProcVideoFile", "「映像」を開く..."));
  catalogue.Register(KindOf<ProcCapture>(kCaptureProcessId, "ProcCapture", "カメラに接続..."));
}

}  // namespace kandrel
