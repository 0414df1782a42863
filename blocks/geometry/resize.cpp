#include "blocks/geometry/resize.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <type_traits>

#include "image/resample.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

constexpr const char* kSizeRefusedText = "の出力画像のサイズが 1～2048 を超えます。";

// trunc(length × percent × 0.01) with the products in extended precision, so that a product a
// hair below a whole number is not rounded up to it first; NaN gives 0, values beyond int32
// saturate.
int ScaledLength(int length, double percent) {
  const long double v = static_cast<long double>(length) * percent * 0.01;
  if (!(v == v)) return 0;
  if (v >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

bool WithinLimit(int length, int minimum) {
  return length >= minimum && length <= kMaxResizedLength;
}

// The output size of one channel. In ratio mode a channel other than the first may round to 0
// (kept: an empty channel) or exceed the limit (refused with the size message).
template <class T>
std::optional<ChannelSize> ChannelOutputSize(const std::string& processName,
                                             const ProcResize::Params& p, const Array2D<T>& in) {
  const ChannelSize size = p.OutputSize(in.Width(), in.Height());
  if (!WithinLimit(size.width, 0) || !WithinLimit(size.height, 0)) {
    GetHost().ShowMessage(processName + kSizeRefusedText);
    return std::nullopt;
  }
  return size;
}

// The Int or Float entry of a resampler, by element type.
template <class Resampler, class T>
void ResampleWith(Resampler&& resampler, const Array2D<T>& in, Array2D<T>& out) {
  if constexpr (std::is_same_v<T, int>)
    resampler.ResizeInt(in, out);
  else
    resampler.ResizeFloat(in, out);
}

template <class T>
int ResizeChannel(const std::string& processName, const ProcResize::Params& p, const Array2D<T>* in,
                  Array2D<T>* out) {
  if (in == nullptr || out == nullptr) return 1;
  const std::optional<ChannelSize> size = ChannelOutputSize(processName, p, *in);
  if (!size) return 1;
  if (p.interpolation == kResizeNearest)
    ResampleWith(NearestNeighbor(size->width, size->height), *in, *out);
  else
    ResampleWith(CResize2D(p.interpolation, size->width, size->height), *in, *out);
  return 0;
}

// Where the input's origin lands on a canvas `slack` samples wider than the input (negative when
// narrower); the centre rounds toward zero.
int AnchorOffset(int anchor, int slack) {
  switch (anchor) {
    case 0:
      return 0;
    case 2:
      return slack;
    default:
      return slack / 2;
  }
}

template <class T>
int PlaceOnCanvas(const std::string& processName, const ProcResize::Params& p, const Array2D<T>* in,
                  Array2D<T>* out) {
  if (in == nullptr || out == nullptr) return 1;
  const std::optional<ChannelSize> size = ChannelOutputSize(processName, p, *in);
  if (!size) return 1;
  out->Resize(size->width, size->height);
  std::fill(out->begin(), out->end(), T{});
  const int ox = AnchorOffset(p.anchorX, size->width - in->Width());
  const int oy = AnchorOffset(p.anchorY, size->height - in->Height());
  // The output columns and rows that have an input sample.
  const int left = std::max(0, ox), right = std::min(size->width, in->Width() + ox);
  const int top = std::max(0, oy), bottom = std::min(size->height, in->Height() + oy);
  if (left >= right) return 0;
  for (int y = top; y < bottom; ++y) {
    const T* source = (*in)[y - oy];
    std::copy(source + (left - ox), source + (right - ox), (*out)[y] + left);
  }
  return 0;
}

}  // namespace

ChannelSize ProcResize::Params::OutputSize(int inputWidth, int inputHeight) const {
  return {widthByRatio != 0 ? ScaledLength(inputWidth, widthPercent) : width,
          heightByRatio != 0 ? ScaledLength(inputHeight, heightPercent) : height};
}

// ---- ProcResize

ProcResize::ProcResize(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Resize");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormResize");
}

bool ProcResize::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount) return false;
  outTypes[0] = inTypes[0];
  return true;
}

bool ProcResize::OutputSizeAccepted(const InputImages& inputs) const {
  if (inputs[0] == nullptr) {
    Message("入出力エラー");
    return false;
  }
  const ChannelSize size = params.OutputSize(inputs[0]->Width(), inputs[0]->Height());
  if (!WithinLimit(size.width, 1) || !WithinLimit(size.height, 1)) {
    Message(Name() + kSizeRefusedText);
    return false;
  }
  return true;
}

void ProcResize::RefuseParams() const { Message(Name() + "のパラメータが正しくありません。"); }

int ProcResize::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!OutputSizeAccepted(inputs)) return 1;
  if (params.interpolation < kResizeNearest || params.interpolation > kResizeAreaAverage) {
    RefuseParams();
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcResize::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return ResizeChannel(Name(), params, in[0], out[0]);
}

int ProcResize::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return ResizeChannel(Name(), params, in[0], out[0]);
}

int ProcResize::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcResize::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcCanvasSize

ProcCanvasSize::ProcCanvasSize(int processId) : ProcResize(processId) {
  SetDefaultName("CanvasSize");
}

int ProcCanvasSize::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!OutputSizeAccepted(inputs)) return 1;
  if (params.anchorX < 0 || params.anchorX > 2 || params.anchorY < 0 || params.anchorY > 2) {
    RefuseParams();
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcCanvasSize::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return PlaceOnCanvas(Name(), params, in[0], out[0]);
}

int ProcCanvasSize::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return PlaceOnCanvas(Name(), params, in[0], out[0]);
}

void RegisterResizeKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcResize>(kResizeProcessId, "ProcResize", "画像サイズ..."));
  catalogue.Register(
      KindOf<ProcCanvasSize>(kCanvasSizeProcessId, "ProcCanvasSize", "カンバスサイズ..."));
}

}  // namespace kandrel
