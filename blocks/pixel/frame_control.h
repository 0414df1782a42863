// Frame control: processes that steer what flows from frame to frame rather than computing on
// samples. The frame-delay buffer outputs at frame n what arrived at frame n − 1 and is the only
// way to close a loop; the period switch passes one of two inputs by the frame number; the
// interlace splitter separates even and odd rows; the paste source holds a picture taken from
// the clip board once, kept in the process file as a BMP.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/picture.h"
#include "process/proc_module.h"
#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kPeriodSwitchProcessId = 10029;
constexpr int kInterlaceProcessId = 10044;

class ProcFrameBuffer : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t bufferType = kTypeInt3;
    std::int32_t bufferWidth = 640;
    std::int32_t bufferHeight = 480;
    double initialValue = 0.0;  // no dialog control edits it
    template <class F>
    void Fields(F& f) {
      f.I32(bufferType);
      f.I32(bufferWidth);
      f.I32(bufferHeight);
      f.Zeros(4);
      f.F64(initialValue);
    }
  };

  explicit ProcFrameBuffer(int processId);
  ~ProcFrameBuffer() override;

  // Output 1 always has the buffer's type, whatever arrives: loops through it are well defined.
  int GetOutputType(int i) override;
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  // Prepare hands out the buffer (the previous frame's input); Execute takes the new input.
  int PrepareOutputs(const InputImages& inputs, OutputImages& outputs) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessFloat3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessComplex3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;

  Params params;

 private:
  // The buffer image of bufferType, made when missing or of another type; false (with the
  // message) when it cannot be made.
  bool EnsureBuffer();
  // image at bufferWidth × bufferHeight with every sample initialValue; false (with a message)
  // for a size no buffer can have.
  bool Initialise(Image& image);
  // Execute's part: the input written into the buffer.
  template <class L>
  int TakeImage(const InputImages& inputs, const InputImages& outputs);
  template <class L, class T>
  int TakeChannel(const InArrays<T>& in, const OutArrays<T>& out);

  std::unique_ptr<Image> buffer_;
  // Between Prepare and Execute the buffer's content lies in the output (see the source).
  bool bufferInOutput_ = false;
};

class ProcPeriodSwitch : public ProcVirtual {
 public:
  struct Params {
    std::int32_t period1 = 1;
    std::int32_t period2 = 1;
    template <class F>
    void Fields(F& f) {
      f.I32(period1);
      f.I32(period2);
    }
  };

  explicit ProcPeriodSwitch(int processId);
  // The image of the selected input itself, never a copy.
  Image* GetOutput(int i) const override;
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  int SelectedInput() const { return selectedInput_; }

  Params params;

 private:
  int selectedInput_ = 0;
  // Set while the selected input is being resolved: switches that feed each other (a loop the
  // frame fails on) give no image instead of recursing forever.
  mutable bool busy_ = false;
};

// Output 1 holds the even rows, output 2 the odd ones, each at full height with the other
// field's rows 0.
class ProcInterlace : public ProcStandardOut {
 public:
  explicit ProcInterlace(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

// A constant Int 3ch RGB image from a picture taken from the clip board at the first frame (or
// read from the process file) and kept.
class ProcPaste : public ProcStandardOut {
 public:
  explicit ProcPaste(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;

  bool HoldsPicture() const { return !bmp_.empty(); }

 private:
  Picture picture_;
  // The held picture as the BMP file it is saved as, byte for byte as it was read.
  std::vector<std::uint8_t> bmp_;
};

void RegisterFrameControlKinds();

}  // namespace kandrel
