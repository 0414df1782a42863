// Resizing processes: ProcResize resamples every channel to a new size (nearest neighbour,
// bilinear, bicubic or area average); ProcCanvasSize changes the canvas without resampling,
// padding with zeros or cropping around one of nine anchors. The size is computed per channel,
// so in ratio mode a sub-sampled chroma channel keeps its proportion; outputs must stay within
// 1..2048 samples a side.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kResizeProcessId = 10011;
constexpr int kCanvasSizeProcessId = 10030;
constexpr int kMaxResizedLength = 2048;

struct ChannelSize {
  int width = 0;
  int height = 0;
  bool operator==(const ChannelSize&) const = default;
};

// Every channel resampled to its Params::OutputSize with the chosen interpolation.
class ProcResize : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t widthByRatio = 1;  // 1: width from widthPercent, 0: from width
    std::int32_t heightByRatio = 1;
    double widthPercent = 100.0;
    double heightPercent = 100.0;
    std::int32_t width = 640;
    std::int32_t height = 480;
    std::int32_t referenceWidth = 0;  // the input's size when the dialog was last shown
    std::int32_t referenceHeight = 0;
    std::int32_t interpolation = 1;  // a ResizeMethod; ProcResize only
    std::int32_t anchorX = 1;        // 0 left, 1 centre, 2 right; ProcCanvasSize only
    std::int32_t anchorY = 1;        // 0 top, 1 centre, 2 bottom
    template <class F>
    void Fields(F& f) {
      f.I32(widthByRatio);
      f.I32(heightByRatio);
      f.F64(widthPercent);
      f.F64(heightPercent);
      f.I32(width);
      f.I32(height);
      f.I32(referenceWidth);
      f.I32(referenceHeight);
      f.I32(interpolation);
      f.I32(anchorX);
      f.I32(anchorY);
      f.Zeros(4);
    }
    // The output size of a channel of width × height.
    ChannelSize OutputSize(int inputWidth, int inputHeight) const;
  };

  explicit ProcResize(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 protected:
  // The check both kinds make before a frame: input 1 present and its first channel's output
  // size within 1..2048; false after showing the message.
  bool OutputSizeAccepted(const InputImages& inputs) const;
  // Shows the message for a parameter record that no dialog would produce.
  void RefuseParams() const;
};

// The input placed on a canvas of the output size at the anchor: output (x, y) holds input
// (x − ox, y − oy) where both exist and 0 elsewhere.
class ProcCanvasSize : public ProcResize {
 public:
  explicit ProcCanvasSize(int processId);
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

void RegisterResizeKinds();

}  // namespace kandrel
