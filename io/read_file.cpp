#include "io/read_file.h"

#include <algorithm>
#include <filesystem>

#include "image/hdr_image.h"
#include "image/picture.h"
#include "image/tiff_dump.h"
#include "io/frame_names.h"
#include "io/yuv10.h"
#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/process_file.h"

namespace kandrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kImageFilter = "画像|*.bmp;*.jpg;*.png;*.gif;*.hdr;*.tif;*.yuv10;|全て|*.*";

bool IsPictureExtension(const std::string& extension) {
  return extension == ".bmp" || extension == ".jpg" || extension == ".png" || extension == ".gif";
}

}  // namespace

ProcReadFile::ProcReadFile(int processId) : ProcStandardOut(processId) {
  SetDefaultName("ReadFile");
  SetPortCounts(0, 1);
  CreateParameterDialog("TFormReadFile");
}

bool ProcReadFile::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  const std::string extension = LowerCase(ExtensionOf(params.fileName));
  if (IsPictureExtension(extension) || extension == ".yuv10")
    outTypes[0] = kTypeInt3;
  else if (extension == ".hdr")
    outTypes[0] = kTypeFloat3;
  else if (extension == ".tif")
    outTypes[0] = TIFFImageType(params.fileName);
  else
    outTypes[0] = kTypeUnknown;
  return outTypes[0] != kTypeUnknown;
}

std::string ProcReadFile::FrameFileName(int frameIndex) const {
  if (!params.numbered) return params.fileName;
  NameParts parts = SplitFileName(params.fileName);
  parts.base = NumberedBase(parts.base, static_cast<long long>(frameIndex) + params.firstNumber);
  const std::string path = parts.directory + parts.base + LowerCase(parts.extension);
  // On a case-sensitive file system "A000.BMP" is not "A000.bmp": keep the written case when
  // only that file exists.
  std::error_code error;
  if (!fs::exists(path, error)) {
    const std::string asWritten = parts.directory + parts.base + parts.extension;
    if (fs::exists(asWritten, error)) return asWritten;
  }
  return path;
}

int ProcReadFile::Process(const InputImages&, OutputImages& outputs) {
  const std::string path = FrameFileName(FrameCounter());
  std::error_code error;
  if (!fs::is_regular_file(path, error)) {
    Message(Name() + "がファイル" + path + "を見つけられません。");
    return 1;
  }
  Image* output = outputs[0].get();
  if (output == nullptr) {
    Message(Name() + "の出力を準備できません。");
    return 1;
  }
  // A file that exists but cannot be decoded is an error too, not an unchanged frame.
  if (ReadInto(*output, path) != 0) {
    Message(Name() + "がファイル" + path + "を読み込めません。");
    return 1;
  }
  const NameParts parts = SplitFileName(path);
  output->name = parts.base + LowerCase(parts.extension);
  output->ResetView();
  return 0;
}

int ProcReadFile::ReadInto(Image& output, const std::string& path) {
  const std::string extension = LowerCase(ExtensionOf(path));
  if (IsPictureExtension(extension) || extension == ".yuv10") {
    auto* rgb = As<Int3Image>(&output);
    if (rgb == nullptr) return -1;
    if (extension == ".yuv10") {
      if (ReadYUV10(rgb->channels[0], rgb->channels[1], rgb->channels[2], path) != 0) return -1;
      rgb->colorSpace = kYCrCb;
      rgb->whiteLevel = 1023;
      return 0;
    }
    Picture picture;
    if (!picture.Load(path)) return -1;
    PictureToPlanes(picture, rgb->channels[0], rgb->channels[1], rgb->channels[2]);
    return 0;
  }
  if (extension == ".hdr") {
    auto* rgb = As<Float3Image>(&output);
    double gamma = 1.0;
    if (rgb == nullptr ||
        ReadHDRPlanes(path, rgb->channels[0], rgb->channels[1], rgb->channels[2], gamma) != 0)
      return -1;
    rgb->gamma = gamma;
    return 0;
  }
  if (extension == ".tif") return LoadImageTIFF(output, path);
  return 0;
}

int ProcReadFile::ResetOutputs(OutputImages& outputs) {
  const int result = ProcStandardOut::ResetOutputs(outputs);
  if (!params.fileName.empty()) {
    Step();  // the first frame is read and shown at once
    // A last number below the first still leaves one frame to show.
    frameCount_ = params.numbered ? std::max(1, params.lastNumber - params.firstNumber + 1) : 1;
  }
  SetStatus("Rst");
  ResetFrameCounter();
  return result;
}

int ProcReadFile::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecordWithPath(stream, params);
  return 0;
}

int ProcReadFile::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return header | ReadRecordWithPath(stream, params);
}

void ProcReadFile::SetFileName(const std::string& name) {
  const std::optional<std::string> chosen = ChosenOpenPath(name, kImageFilter);
  if (!chosen) return;
  params.fileName = *chosen;
  SetModified(true);
}

void RegisterReadFileKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcReadFile>(kReadFileProcessId, "ProcReadFile", "「画像」を開く..."));
}

}  // namespace kandrel
