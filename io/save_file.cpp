#include "io/save_file.h"

#include <filesystem>

#include "image/display.h"
#include "image/hdr_image.h"
#include "image/tiff_dump.h"
#include "io/frame_names.h"
#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/process_file.h"

namespace kandrel {

namespace fs = std::filesystem;

ProcSaveFile::ProcSaveFile(int processId) : ProcVirtual(processId) {
  SetDefaultName("SaveFile");
  SetPortCounts(1, 0);
  params.fileName = (fs::path(LastUsedDirectory()) / "NoName").string();
  CreateParameterDialog("TFormSaveFile");
}

bool ProcSaveFile::InferOutputTypes(const TypeList& inTypes, TypeList&) {
  return inTypes[0] > kTypeUnknown;
}

std::string ProcSaveFile::FrameFileName(int frameIndex) const {
  NameParts parts = SplitFileName(params.fileName);
  if (params.numbered)
    parts.base = NumberedBase(parts.base, static_cast<long long>(frameIndex) + params.firstNumber);
  const char* extension = params.format == kBmp ? ".bmp" : params.format == kHdr ? ".hdr" : ".tif";
  return parts.directory + parts.base + extension;
}

int ProcSaveFile::Process(const InputImages& inputs, OutputImages&) {
  const Image* image = inputs[0];
  if (image == nullptr) return 1;  // Prepare has refused an unlinked input already
  return Write(*image, FrameFileName(FrameCounter()));
}

int ProcSaveFile::Write(const Image& image, const std::string& path) {
  switch (params.format) {
    case kBmp: {
      // The BMP holds exactly what the window shows, so it needs the window's display.
      ImageWindow* window = image.Window();
      if (window == nullptr) {
        Message("入力1をBMPに変換できませんでした。");
        return 1;
      }
      window->Refresh(true);
      if (window->Display().GetPicture().SaveBmp(path)) return 0;
      break;
    }
    case kHdr:
      // Complex samples have no RGBE form: no file is expected, and none is an error.
      if (image.TypeId() == kTypeComplex1 || image.TypeId() == kTypeComplex3) return 0;
      if (SaveImageHDR(image, path) == 0) return 0;
      break;
    default:
      if (SaveImageTIFF(image, path) == 0) return 0;
      break;
  }
  Message(Name() + "がファイル" + path + "を書き込めません。");
  return 1;
}

int ProcSaveFile::SaveParams(ByteStream& stream) {
  ProcVirtual::SaveParams(stream);
  WriteRecordWithPath(stream, params);
  return 0;
}

int ProcSaveFile::LoadParams(ByteStream& stream) {
  const int header = ProcVirtual::LoadParams(stream);
  return header | ReadRecordWithPath(stream, params);
}

void RegisterSaveFileKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcSaveFile>(kSaveFileProcessId, "ProcSaveFile", "「画像」を保存..."));
}

}  // namespace kandrel
