#include "blocks/pixel/type_conversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <type_traits>

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using Complex = std::complex<float>;

template <class T>
constexpr bool kIsComplex = std::is_same_v<T, Complex>;

// The image type holding Channels channels of element T.
template <class T, int Channels>
using LayersOf = std::conditional_t<
    std::is_same_v<T, int>, std::conditional_t<Channels == 1, Int1Image, Int3Image>,
    std::conditional_t<std::is_same_v<T, float>,
                       std::conditional_t<Channels == 1, Float1Image, Float3Image>,
                       std::conditional_t<Channels == 1, Complex1Image, Complex3Image>>>;

// Calls visit with the image as its concrete type; 1 for a missing image.
template <class Visit>
int WithLayers(Image* image, Visit&& visit) {
  switch (image != nullptr ? image->TypeId() : kTypeUnknown) {
    case kTypeInt1:
      return visit(*As<Int1Image>(image));
    case kTypeFloat1:
      return visit(*As<Float1Image>(image));
    case kTypeComplex1:
      return visit(*As<Complex1Image>(image));
    case kTypeInt3:
      return visit(*As<Int3Image>(image));
    case kTypeFloat3:
      return visit(*As<Float3Image>(image));
    case kTypeComplex3:
      return visit(*As<Complex3Image>(image));
    default:
      return 1;
  }
}

template <class L>
using SampleOf = typename std::remove_cvref_t<L>::Sample;
template <class L>
constexpr int kChannelsOf = std::remove_cvref_t<L>::kChannels;

// Output type per input type, 0 where the input type is refused.
using TypeTable = std::array<int, kImageTypeCount + 1>;

bool MapType(const TypeTable& table, int inType, int outputCount, TypeList& outTypes) {
  if (inType < 1 || inType > kImageTypeCount || table[inType] == 0) return false;
  for (int i = 0; i < outputCount; ++i) outTypes[i] = table[inType];
  return true;
}

template <class In, class Out, class F>
void MapArray(const Array2D<In>& in, Array2D<Out>& out, F f) {
  out.Resize(in.Width(), in.Height());
  std::transform(in.begin(), in.end(), out.begin(), f);
}

// Output channel c takes input channel c's size and f of each of its samples.
template <class InLayers, class OutLayers, class F>
void MapChannels(const InLayers& in, OutLayers& out, F f) {
  for (int c = 0; c < InLayers::kChannels; ++c) MapArray(in.channels[c], out.channels[c], f);
}

void CopyAttributes(const Image& source, Image& target, double whiteLevel) {
  target.colorSpace = source.colorSpace;
  target.gamma = source.gamma;
  target.whiteLevel = whiteLevel;
}

// Sets the real (part 0) or imaginary (part 1) component of every sample of out: scale × the
// sample of in where it overlaps out (anchored top-left), 0 elsewhere and without in.
template <class T>
void SetComplexPart(ComplexArray& out, const Array2D<T>* in, int part, float scale) {
  const int width = in != nullptr ? std::min(out.Width(), in->Width()) : 0;
  const int height = in != nullptr ? std::min(out.Height(), in->Height()) : 0;
  for (int y = 0; y < out.Height(); ++y) {
    // std::complex is laid out as an array of its two parts.
    float* o = reinterpret_cast<float*>(out[y]) + part;
    int x = 0;
    if (y < height) {
      const T* s = (*in)[y];
      for (; x < width; ++x) o[2 * x] = static_cast<float>(s[x]) * scale;
    }
    for (; x < out.Width(); ++x) o[2 * x] = 0.0f;
  }
}

int MixSample(int c1, int c2, int c3, const ProcToMono::Params& p) {
  return RoundHalfAwayFromZero(c1 * p.weight1 + c2 * p.weight2 + c3 * p.weight3 + p.offset);
}

float MixSample(float c1, float c2, float c3, const ProcToMono::Params& p) {
  return static_cast<float>(c1 * p.weight1 + c2 * p.weight2 + c3 * p.weight3 + p.offset);
}

// Each product and partial sum is a complex float; the offset moves only the real part.
Complex MixSample(Complex c1, Complex c2, Complex c3, const ProcToMono::Params& p) {
  Complex sum = c1 * static_cast<float>(p.weight1);
  sum = sum + c2 * static_cast<float>(p.weight2);
  sum = sum + c3 * static_cast<float>(p.weight3);
  return {static_cast<float>(sum.real() + p.offset), sum.imag()};
}

// The weighted sum at channel 1's size; a smaller channel contributes 0 outside its bounds.
template <class T>
void MixToOne(const std::array<Array2D<T>, 3>& channels, Array2D<T>& out,
              const ProcToMono::Params& p) {
  const int width = channels[0].Width();
  const int height = channels[0].Height();
  out.Resize(width, height);
  for (int y = 0; y < height; ++y) {
    const T* rows[3];
    int widths[3];
    for (int c = 0; c < 3; ++c) {
      const bool inside = y < channels[c].Height();
      rows[c] = inside ? channels[c][y] : nullptr;
      widths[c] = inside ? std::min(width, channels[c].Width()) : 0;
    }
    T* o = out[y];
    for (int x = 0; x < width; ++x) {
      auto at = [&](int c) { return x < widths[c] ? rows[c][x] : T{}; };
      o[x] = MixSample(at(0), at(1), at(2), p);
    }
  }
}

}  // namespace

// ---- ProcToInt

ProcToInt::ProcToInt(int processId) : ProcStandardOut(processId) {
  SetDefaultName("ToInt");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormToIntDouble");
}

bool ProcToInt::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, kTypeInt1, kTypeInt1, 0, kTypeInt3, kTypeInt3, 0};
  return MapType(kTypes, inTypes[0], 1, outTypes);
}

int ProcToInt::Process(const InputImages& inputs, OutputImages& outputs) {
  Image* source = inputs[0];
  Image* target = outputs[0].get();
  if (source == nullptr || target == nullptr) return 1;
  CopyAttributes(*source, *target, params.outputWhiteLevel);
  std::optional<float> scale;
  if (params.rescale != 0) {
    if (params.inputWhiteLevel == 0) return 1;
    scale = static_cast<float>(params.outputWhiteLevel / params.inputWhiteLevel);
  }
  const int r = WithLayers(source, [&](auto& in) -> int {
    using T = SampleOf<decltype(in)>;
    if constexpr (kIsComplex<T>) {
      return 1;
    } else {
      auto* out = As<LayersOf<int, kChannelsOf<decltype(in)>>>(target);
      if (out == nullptr) return 1;
      MapChannels(in, *out, [scale](T x) -> int {
        // The scaled product is rounded to float before it is rounded to an integer.
        if (scale)
          return RoundHalfAwayFromZero(static_cast<float>(static_cast<double>(x) * *scale));
        if constexpr (std::is_same_v<T, int>)
          return x;
        else
          return RoundHalfAwayFromZero(x);
      });
      return 0;
    }
  });
  if (r != 0) return r;
  target->ResetView();
  return 0;
}

int ProcToInt::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcToInt::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcToDouble

ProcToDouble::ProcToDouble(int processId) : ProcToInt(processId) { SetDefaultName("ToFloat"); }

bool ProcToDouble::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, kTypeFloat1, kTypeFloat1, 0, kTypeFloat3, kTypeFloat3, 0};
  return MapType(kTypes, inTypes[0], 1, outTypes);
}

int ProcToDouble::Process(const InputImages& inputs, OutputImages& outputs) {
  Image* source = inputs[0];
  Image* target = outputs[0].get();
  if (source == nullptr || target == nullptr) return 1;
  CopyAttributes(*source, *target, params.outputWhiteLevel);
  const bool rescale = params.rescale != 0 && params.inputWhiteLevel != 0;
  const double factor = rescale ? params.outputWhiteLevel / params.inputWhiteLevel : 1.0;
  const int r = WithLayers(source, [&](auto& in) -> int {
    using T = SampleOf<decltype(in)>;
    if constexpr (kIsComplex<T>) {
      return 1;
    } else {
      auto* out = As<LayersOf<float, kChannelsOf<decltype(in)>>>(target);
      if (out == nullptr) return 1;
      // Conversion and rescaling in one pass: the float sample times the factor in double.
      MapChannels(in, *out, [rescale, factor](T x) {
        const float f = static_cast<float>(x);
        return rescale ? static_cast<float>(f * factor) : f;
      });
      return 0;
    }
  });
  if (r != 0) return r;
  if (params.rescale != 0 && params.inputWhiteLevel == 0) {
    Message(Name() + "が0で割ろうとしました。");
    return 1;
  }
  target->ResetView();
  return 0;
}

// ---- ProcToComplex

ProcToComplex::ProcToComplex(int processId) : ProcToInt(processId) {
  SetDefaultName("ToComplex");
  SetPortCounts(2, 1);
}

bool ProcToComplex::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {
      0, kTypeComplex1, kTypeComplex1, 0, kTypeComplex3, kTypeComplex3, 0};
  if (inTypes[0] != 0 && inTypes[1] != 0 && inTypes[0] != inTypes[1]) return false;
  return MapType(kTypes, inTypes[0] != 0 ? inTypes[0] : inTypes[1], 1, outTypes);
}

int ProcToComplex::Process(const InputImages& inputs, OutputImages& outputs) {
  Image* source = inputs[0] != nullptr ? inputs[0] : inputs[1];
  Image* target = outputs[0].get();
  if (source == nullptr || target == nullptr) return 1;
  CopyAttributes(*source, *target, params.outputWhiteLevel);
  target->Resize(source->Width(), source->Height());
  const bool divideByZero = params.rescale != 0 && params.inputWhiteLevel == 0;
  const float scale = params.rescale != 0 && !divideByZero
                          ? static_cast<float>(params.outputWhiteLevel / params.inputWhiteLevel)
                          : 1.0f;
  const int r = WithLayers(target, [&](auto& out) -> int {
    constexpr int kChannels = kChannelsOf<decltype(out)>;
    if constexpr (!kIsComplex<SampleOf<decltype(out)>>) {
      return 1;
    } else {
      for (int part = 0; part < 2; ++part) {
        // Input 1 gives the real parts, input 2 the imaginary parts; zeros without one.
        const int filled = WithLayers(inputs[part], [&](auto& in) -> int {
          using T = SampleOf<decltype(in)>;
          if constexpr (kIsComplex<T> || kChannelsOf<decltype(in)> != kChannels) {
            return 1;
          } else {
            for (int c = 0; c < kChannels; ++c)
              SetComplexPart(out.channels[c], &in.channels[c], part, scale);
            return 0;
          }
        });
        if (filled != 0)
          for (int c = 0; c < kChannels; ++c)
            SetComplexPart<float>(out.channels[c], nullptr, part, scale);
      }
      return 0;
    }
  });
  if (r != 0) return r;
  if (divideByZero) {
    Message(Name() + "が0で割ろうとしました。");
    return 1;
  }
  return 0;
}

// ---- ProcToMono

ProcToMono::ProcToMono(int processId) : ProcStandardOut(processId) {
  SetDefaultName("ToMono");
  SetVerilogName("ToMono");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormToMono");
}

bool ProcToMono::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, 0, 0, 0, kTypeInt1, kTypeFloat1, kTypeComplex1};
  return MapType(kTypes, inTypes[0], 1, outTypes);
}

int ProcToMono::Process(const InputImages& inputs, OutputImages& outputs) {
  Image* target = outputs[0].get();
  return WithLayers(inputs[0], [&](auto& in) -> int {
    using T = SampleOf<decltype(in)>;
    if constexpr (kChannelsOf<decltype(in)> != 3) {
      return 1;
    } else {
      auto* out = As<LayersOf<T, 1>>(target);
      if (out == nullptr) return 1;
      if (!in.channels[1].SameSize(in.channels[0]) || !in.channels[2].SameSize(in.channels[0]))
        Message(Name() + "への入力の各チャンネルのサイズが異なります。");
      MixToOne(in.channels, out->channels[0], params);
      out->ResetView();
      return 0;
    }
  });
}

int ProcToMono::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcToMono::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcExtractCh

ProcExtractCh::ProcExtractCh(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Ch3Split");
  SetVerilogName("Ch3Split");
  SetPortCounts(1, 3);
}

bool ProcExtractCh::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, 0, 0, 0, kTypeInt1, kTypeFloat1, kTypeComplex1};
  return MapType(kTypes, inTypes[0], 3, outTypes);
}

int ProcExtractCh::Process(const InputImages& inputs, OutputImages& outputs) {
  return WithLayers(inputs[0], [&](auto& in) -> int {
    using One = LayersOf<SampleOf<decltype(in)>, 1>;
    if constexpr (kChannelsOf<decltype(in)> != 3) {
      return 1;
    } else {
      One* outs[3];
      for (int k = 0; k < 3; ++k)
        if ((outs[k] = As<One>(outputs[k].get())) == nullptr) return 1;
      // Every output's view follows its new size, not only the first one's.
      for (int k = 0; k < 3; ++k) {
        outs[k]->channels[0] = in.channels[k];
        outs[k]->ResetView();
      }
      return 0;
    }
  });
}

// ---- ProcExtractAbs

ProcExtractAbs::ProcExtractAbs(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Abs");
  SetPortCounts(1, 1);
}

bool ProcExtractAbs::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, 0, 0, kTypeFloat1, 0, 0, kTypeFloat3};
  return MapType(kTypes, inTypes[0], 1, outTypes);
}

int ProcExtractAbs::Process(const InputImages& inputs, OutputImages& outputs) {
  return WithLayers(inputs[0], [&](auto& in) -> int {
    constexpr int kChannels = kChannelsOf<decltype(in)>;
    if constexpr (!kIsComplex<SampleOf<decltype(in)>>) {
      return 1;
    } else {
      auto* out = As<LayersOf<float, kChannels>>(outputs[0].get());
      if (out == nullptr) return 1;
      for (int c = 0; c < kChannels; ++c) ProcessAbsChannel(in.channels[c], out->channels[c]);
      out->ResetView();
      return 0;
    }
  });
}

void ProcExtractAbs::ProcessAbsChannel(const ComplexArray& in, FloatArray& out) {
  // std::abs scales the parts, so large or tiny ones neither overflow nor underflow.
  MapArray(in, out, [](Complex z) { return std::abs(z); });
}

// ---- ProcConjugate

ProcConjugate::ProcConjugate(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Conjugate");
  SetPortCounts(1, 1);
}

bool ProcConjugate::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, 0, 0, kTypeComplex1, 0, 0, kTypeComplex3};
  return MapType(kTypes, inTypes[0], 1, outTypes);
}

int ProcConjugate::ProcessComplexChannel(const InArrays<Complex>& in,
                                         const OutArrays<Complex>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  MapArray(*in[0], *out[0], [](Complex z) { return std::conj(z); });
  return 0;
}

// ---- ProcExtractRealImag

ProcExtractRealImag::ProcExtractRealImag(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Real+Imag");
  SetPortCounts(1, 2);
}

bool ProcExtractRealImag::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr TypeTable kTypes = {0, 0, 0, kTypeFloat1, 0, 0, kTypeFloat3};
  return MapType(kTypes, inTypes[0], 2, outTypes);
}

int ProcExtractRealImag::Process(const InputImages& inputs, OutputImages& outputs) {
  return WithLayers(inputs[0], [&](auto& in) -> int {
    constexpr int kChannels = kChannelsOf<decltype(in)>;
    using Parts = LayersOf<float, kChannels>;
    if constexpr (!kIsComplex<SampleOf<decltype(in)>>) {
      return 1;
    } else {
      Parts* real = As<Parts>(outputs[0].get());
      Parts* imag = As<Parts>(outputs[1].get());
      if (real == nullptr || imag == nullptr) return 1;
      for (int c = 0; c < kChannels; ++c)
        ProcessRealImagChannel(in.channels[c], real->channels[c], imag->channels[c]);
      real->ResetView();
      imag->ResetView();
      return 0;
    }
  });
}

void ProcExtractRealImag::ProcessRealImagChannel(const ComplexArray& in, FloatArray& real,
                                                 FloatArray& imag) {
  MapArray(in, real, [](Complex z) { return z.real(); });
  MapArray(in, imag, [](Complex z) { return z.imag(); });
}

void RegisterTypeConversionKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcToInt>(kToIntProcessId, "ProcToInt", "Int型へ"));
  catalogue.Register(KindOf<ProcToDouble>(kToDoubleProcessId, "ProcToDouble", "Float型へ"));
  catalogue.Register(KindOf<ProcToComplex>(kToComplexProcessId, "ProcToComplex", "Complex型へ"));
  catalogue.Register(
      KindOf<ProcToMono>(kToMonoProcessId, "ProcToMono", "グレースケール（1ch）へ..."));
  catalogue.Register(
      KindOf<ProcExtractCh>(kExtractChProcessId, "ProcExtractCh", "カラー（3ch）分離"));
  catalogue.Register(KindOf<ProcExtractRealImag>(kExtractRealImagProcessId, "ProcExtractRealImag",
                                                 "実数と虚数を分離"));
  catalogue.Register(
      KindOf<ProcExtractAbs>(kExtractAbsProcessId, "ProcExtractAbs", "絶対値に変換"));
  catalogue.Register(KindOf<ProcConjugate>(kConjugateProcessId, "ProcConjugate", "複素共役へ"));
}

}  // namespace kandrel
