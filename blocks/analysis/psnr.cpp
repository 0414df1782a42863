#include "blocks/analysis/psnr.h"

#include <cmath>
#include <cstdio>

#include "process/catalogue.h"
#include "process/param_record.h"
#include "image/replace_file.h"

namespace kandrel {

ProcPSNR::ProcPSNR(int processId) : ProcVirtual(processId) {
  SetDefaultName("PSNR");
  SetPortCounts(2, 0);
  CreateParameterDialog("TFormPSNR");
}

bool ProcPSNR::InferOutputTypes(const TypeList& inTypes, TypeList&) {
  const int type = inTypes[0];
  return type == inTypes[1] &&
         (type == kTypeInt1 || type == kTypeInt3 || type == kTypeFloat1 || type == kTypeFloat3);
}

template <class T>
void ProcPSNR::Measure(const Array2D<T>& a, const Array2D<T>& b, std::string& line) const {
  if (!a.SameSize(b)) {
    Message(Name() + "への入力画像サイズがそろっていません。");
    line += "SizeErr, ";
    return;
  }
  // Each image scaled by the other's peak, so both stand on the product of the two.
  const long double peak1 = params.peak1, peak2 = params.peak2;
  double e = 0;
  for (std::size_t i = 0; i < a.SampleCount(); ++i) {
    const long double d = a.Data()[i] * peak2 - b.Data()[i] * peak1;
    e = static_cast<double>(e + d * d);
  }
  if (!(e > 0)) {
    line += "∞   , ";
    return;
  }
  const double peaks = params.peak1 * params.peak2;
  const double n = static_cast<double>(a.SampleCount());
  char value[64];
  std::snprintf(value, sizeof value, "%5.2lf, ",
                10 * std::log(peaks * peaks * n / e) / std::log(10.0));
  line += value;
}

int ProcPSNR::Process(const InputImages& inputs, OutputImages&) {
  const Image* a = inputs[0];
  const Image* b = inputs[1];
  if (a == nullptr || b == nullptr || a->TypeId() != b->TypeId()) return 1;
  std::string line;
  if (params.showFrameNumber) {
    char number[32];
    std::snprintf(number, sizeof number, "%04d, ", FrameCounter());
    line = number;
  }
  WithImageType(a->TypeId(), [&]<class L>() {
    const L* first = As<L>(a);
    const L* second = As<L>(b);
    if constexpr (std::is_same_v<typename L::Sample, std::complex<float>>) {
      return 0;  // refused by the type inference
    } else {
      for (int c = 0; c < L::kChannels; ++c)
        if (L::kChannels == 1 || params.channelEnabled[c])
          Measure(first->channels[c], second->channels[c], line);
      return 0;
    }
  });
  results_.push_back(line);
  GetHost().ReportMeasurement(line);
  return 0;
}

int ProcPSNR::ResetOutputs(OutputImages&) {
  ResetFrameCounter();
  results_.clear();
  return 0;
}

bool ProcPSNR::SaveResults(const std::string& path) const {
  std::string error;
  const bool saved = ReplaceFile(
      path,
      [&](ByteStream& stream) {
        for (const std::string& line : results_) {
          stream.Write(line.data(), line.size());
          stream.Write("\n", 1);
        }
        return true;
      },
      error);
  if (!saved) Message(Name() + "がファイル" + path + "を書き込めません。（" + error + "）");
  return saved;
}

int ProcPSNR::SaveParams(ByteStream& stream) {
  ProcVirtual::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcPSNR::LoadParams(ByteStream& stream) {
  const int header = ProcVirtual::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterPsnrKinds() {
  Catalogue::Instance().Register(KindOf<ProcPSNR>(kPsnrProcessId, "ProcPSNR", "PSNR計測..."));
}

}  // namespace kandrel
