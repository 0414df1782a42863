// ProcSaveVideo: the sink that appends every frame on its input to an AVI file, as its image
// window shows it (8-bit display rendition). The file is opened at the first frame after a
// reset and finished by the next reset, a change of picture size, or the end of the process.
// It is written under a temporary name beside the target and renamed over the target only
// once finished, so a failed recording never destroys an earlier file of that name.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "process/proc_virtual.h"

namespace kandrel {

constexpr int kSaveVideoProcessId = 10080;

// The fourcc of four characters, the first in the lowest byte.
constexpr std::int32_t FourCC(const char (&code)[5]) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[0])) |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[1])) << 8 |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[2])) << 16 |
      static_cast<std::uint32_t>(static_cast<std::uint8_t>(code[3])) << 24);
}

struct VideoCodec {
  const char* code;
  const char* caption;
};
// The codecs offered, the uncompressed one first.
constexpr std::array<VideoCodec, 5> kVideoCodecs{{{"DIB ", "非圧縮AVI"},
                                                  {"MSVC", "Microsoft Video 1"},
                                                  {"CVID", "Cinepak"},
                                                  {"MJPG", "MotionJPEG"},
                                                  {"DIVX", "DivX"}}};

class ProcSaveVideo : public ProcVirtual {
 public:
  struct Params {
    std::string fileName;      // absolute in memory, relative to the process file when stored
    std::int32_t enabled = 1;  // 0: no file is ever created
    std::int32_t fourcc = FourCC("DIB ");
    double fps = 29.97;
    template <class F>
    void Fields(F& f) {
      f.Text(fileName, 260);
      f.I32(enabled);
      f.I32(fourcc);
      f.Zeros(4);
      f.F64(fps);
    }
  };

  explicit ProcSaveVideo(int processId);
  ~ProcSaveVideo() override;

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  // The file the frames go to: fileName with ".avi" for its extension (or, when not enabled,
  // its own extension in lower case).
  std::string TargetPath() const;
  bool IsWriting() const { return sink_ != nullptr; }

  Params params;

 private:
  class Sink;
  class UncompressedSink;
  class EncodedSink;
  // Finishes the open file and renames it over the target; false (with a message) when that
  // fails. report = false keeps quiet, for the destructor.
  bool CloseWriter(bool report);

  std::unique_ptr<Sink> sink_;
  std::string writingPath_;  // the temporary file
  std::string targetPath_;
  int writerWidth_ = 0, writerHeight_ = 0;
};

void RegisterSaveVideoKinds();

}  // namespace kandrel
