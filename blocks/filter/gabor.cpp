#include "blocks/filter/gabor.h"

#include <cmath>
#include <numbers>

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using Params = ProcGaborFilter::Params;

// The envelope and the carrier phase of every sample, origin at the centre of the image: for
// odd sizes the centre sample, for even ones the corner where the four middle samples meet.
template <class Sample>
void DrawKernel(const Params& p, Array2D<Sample>& out, Sample (*sample)(double g, double phase)) {
  out.Resize(p.kernelWidth, p.kernelHeight);
  const double angle = p.theta * std::numbers::pi / 180.0;
  const double c = std::cos(angle), s = std::sin(angle);
  for (int y = 0; y < p.kernelHeight; ++y) {
    const double yy = y - p.kernelHeight / 2.0 + 0.5;
    for (int x = 0; x < p.kernelWidth; ++x) {
      const double xx = x - p.kernelWidth / 2.0 + 0.5;
      const double g = std::exp(-(xx * xx + yy * yy) / (2 * p.sigma * p.sigma));
      out[y][x] = sample(g, 2 * std::numbers::pi * (xx * c + yy * s) / p.period);
    }
  }
}

}  // namespace

ProcGaborFilter::ProcGaborFilter(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Gabor");
  SetPortCounts(0, 1);
  CreateParameterDialog("TFormGaborFilter");
}

bool ProcGaborFilter::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  if (params.outputKind == kComplex)
    outTypes[0] = kTypeComplex1;
  else
    outTypes[0] = params.intOutput != 0 ? kTypeInt1 : kTypeFloat1;
  return true;
}

int ProcGaborFilter::Process(const InputImages& inputs, OutputImages& outputs) {
  const auto sizeAccepted = [](int length) {
    return length >= kMinGaborSize && length <= kMaxGaborSize;
  };
  if (!sizeAccepted(params.kernelWidth) || !sizeAccepted(params.kernelHeight) ||
      !(params.period >= 1.0) || params.outputKind < kComplex ||
      params.outputKind > kImaginaryPart) {
    Message(Name() + "のパラメータが正しくありません。");
    SetStatus("err");
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcGaborFilter::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>& out) {
  if (out[0] == nullptr) return 1;
  if (params.outputKind == kRealPart)
    DrawKernel<float>(params, *out[0], [](double g, double phase) {
      return static_cast<float>(std::cos(phase) * g);
    });
  else
    DrawKernel<float>(params, *out[0], [](double g, double phase) {
      return static_cast<float>(std::sin(phase) * g);
    });
  for (float& v : *out[0]) v = static_cast<float>(v * params.amplitude);
  return 0;
}

int ProcGaborFilter::ProcessComplexChannel(const InArrays<std::complex<float>>&,
                                           const OutArrays<std::complex<float>>& out) {
  if (out[0] == nullptr) return 1;
  // The phase is taken in single precision before its cosine and sine.
  DrawKernel<std::complex<float>>(params, *out[0], [](double g, double phase) {
    const double single = static_cast<float>(phase);
    return std::complex<float>(static_cast<float>(g * std::cos(single)),
                               static_cast<float>(g * std::sin(single)));
  });
  const auto k = static_cast<float>(params.amplitude);
  for (std::complex<float>& v : *out[0]) v = {v.real() * k, v.imag() * k};
  return 0;
}

int ProcGaborFilter::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcGaborFilter::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterGaborKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcGaborFilter>(kGaborFilterProcessId, "ProcGaborFilter", "GaborFilter生成..."));
}

}  // namespace kandrel
