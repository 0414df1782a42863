// The moving-picture sources: ProcVideoFile reads an AVI file, one file frame per executed
// frame, and ProcCapture takes the newest picture of a capture device each time it runs. Both
// publish Int 3ch RGB (0..255). Each owns its sampler, which its dialog drives too.
#pragma once

#include <cstdint>
#include <string>

#include "io/video_sampler.h"
#include "process/proc_module.h"
#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kCaptureProcessId = 10013;

class ProcVideoFile : public ProcStandardOut, public FileNamedProcess {
 public:
  struct Params {
    std::string fileName;  // absolute in memory, relative to the process file when stored
    template <class F>
    void Fields(F& f) {
      f.Text(fileName, 260);
    }
  };

  explicit ProcVideoFile(int processId);

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int FrameCount() override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  // An empty name asks the user for a file (nothing changes when cancelled). The new file is
  // opened at the next frame or reset.
  void SetFileName(const std::string& name) override;

  // Opens fileName when it is not open yet and rewinds it; false when it cannot be opened.
  bool OpenVideo();
  bool IsOpened() const { return opened_; }
  ZelVideoSampler& Sampler() { return sampler_; }

  Params params;

 private:
  ZelVideoSampler sampler_;
  bool opened_ = false;
};

class ProcCapture : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t deviceIndex = 0;
    template <class F>
    void Fields(F& f) {
      f.I32(deviceIndex);
    }
  };

  explicit ProcCapture(int processId);

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;
  int FrameCount() override { return 999999; }
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  // Opens device deviceIndex and starts it taking pictures; false when it cannot be started.
  bool StartDevice();
  bool IsStarted() const { return started_; }
  ZelVideoSampler& Sampler() { return sampler_; }

  Params params;

 private:
  ZelVideoSampler sampler_;
  bool started_ = false;
};

void RegisterVideoFileKinds();

}  // namespace kandrel
