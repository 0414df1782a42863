// ProcReadFile: the source process that reads a still image, or a numbered sequence of files
// (one per frame), and publishes it on its output: BMP, JPEG, PNG and GIF as Int 3ch RGB,
// ".yuv10" as Int 3ch YCrCb, ".hdr" as Float 3ch, ".tif" dumps as the type they hold.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "process/proc_module.h"
#include "process/proc_standard_out.h"

namespace kandrel {

class ProcReadFile : public ProcStandardOut, public FileNamedProcess {
 public:
  struct Params {
    std::string fileName;  // absolute in memory, relative to the process file when stored
    // The block is given back byte for byte: any nonzero flag byte means numbered, and the
    // bytes after it are kept as stored.
    std::uint8_t numbered = 0;
    std::array<std::uint8_t, 3> numberedPadding{};
    std::int32_t firstNumber = 0;
    std::int32_t lastNumber = 0;
    template <class F>
    void Fields(F& f) {
      f.Text(fileName, 260);
      f.Byte(numbered);
      f.Bytes(numberedPadding);
      f.I32(firstNumber);
      f.I32(lastNumber);
    }
  };

  explicit ProcReadFile(int processId);

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int FrameCount() override { return frameCount_; }
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  // An empty name asks the user for a file (nothing changes when cancelled).
  void SetFileName(const std::string& name) override;

  // The file of the given frame index: numbered names count up from firstNumber.
  std::string FrameFileName(int frameIndex) const;

  Params params;

 private:
  int ReadInto(Image& output, const std::string& path);

  int frameCount_ = 1;
};

void RegisterReadFileKinds();

}  // namespace kandrel
