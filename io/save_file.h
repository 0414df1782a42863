// ProcSaveFile: the sink that writes the image on its input to a file every frame, always the
// same file or one numbered file per frame: a BMP of what the image window shows, an RGBE ".hdr"
// file, or the full-precision TIFF dump that keeps every sample.
#pragma once

#include <cstdint>
#include <string>

#include "process/proc_virtual.h"

namespace kandrel {

constexpr int kSaveFileProcessId = 10004;

class ProcSaveFile : public ProcVirtual {
 public:
  enum Format : std::int32_t { kTiff = 0, kBmp = 1, kHdr = 2 };

  struct Params {
    std::string fileName;  // absolute in memory, relative to the process file when stored
    std::int32_t numbered = 0;   // any nonzero value means numbered, kept as stored
    std::int32_t format = kBmp;  // any value but kBmp and kHdr means TIFF
    std::int32_t firstNumber = 0;
    template <class F>
    void Fields(F& f) {
      f.Text(fileName, 260);
      f.I32(numbered);
      f.I32(format);
      f.I32(firstNumber);
    }
  };

  explicit ProcSaveFile(int processId);

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  // The file written for the given frame index: numbered names count up from firstNumber, and
  // the extension always follows the format.
  std::string FrameFileName(int frameIndex) const;

  Params params;

 private:
  int Write(const Image& image, const std::string& path);
};

void RegisterSaveFileKinds();

}  // namespace kandrel
