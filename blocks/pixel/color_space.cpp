#include "blocks/pixel/color_space.h"

#include "image/image.h"
#include "process/catalogue.h"

namespace kandrel {

namespace {

constexpr const char* kUnequalSizesText =
    "において３つのチャンネルのサイズ（サンプリング間隔）がそろっていません。"
    "サイズを変換して下さい。";

// A process's own sample operations seen as a converter, so that the process's defaults are the
// converter's defaults.
class SampleOperationsOf final : public ConvertColor {
 public:
  explicit SampleOperationsOf(const ProcConvertColor& process) : process_(process) {}
  void ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const override {
    process_.ConvertIntSample(a, b, c, x, y, z);
  }
  void ConvertFloatSample(float a, float b, float c, float& x, float& y, float& z) const override {
    process_.ConvertFloatSample(a, b, c, x, y, z);
  }

 private:
  const ProcConvertColor& process_;
};

}  // namespace

// ---- ProcConvertColor

ProcConvertColor::ProcConvertColor(int processId, std::int32_t colourTag)
    : ProcStandardOut(processId), outputColourTag(colourTag) {
  SetPortCounts(1, 1);
}

bool ProcConvertColor::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  // Output type per input type; 0 refuses it.
  static constexpr int kConverted[kImageTypeCount + 1] = {0, 0, 0, 0, kTypeInt3, kTypeFloat3, 0};
  const int type = inTypes[0];
  if (type < 1 || type > kImageTypeCount || kConverted[type] == 0) return false;
  outTypes[0] = kConverted[type];
  return true;
}

template <class L, class Convert>
int ProcConvertColor::ConvertChannels(const InputImages& inputs, const InputImages& outputs,
                                      Convert convert) {
  const L* in = As<L>(inputs[0]);
  L* out = As<L>(outputs[0]);
  if (in == nullptr || out == nullptr) return 1;
  const auto& channels = in->channels;
  if (!channels[1].SameSize(channels[0]) || !channels[2].SameSize(channels[0])) {
    Message(Name() + kUnequalSizesText);
    SetStatus("sz?");
    return 1;
  }
  convert(channels, out->channels);
  out->colorSpace = outputColourTag;
  return 0;
}

int ProcConvertColor::ProcessInt3(const InputImages& inputs, const InputImages& outputs) {
  return ConvertChannels<Int3Image>(inputs, outputs, [this](const auto& in, auto& out) {
    ConvertIntArrays(in[0], in[1], in[2], out[0], out[1], out[2]);
  });
}

int ProcConvertColor::ProcessFloat3(const InputImages& inputs, const InputImages& outputs) {
  return ConvertChannels<Float3Image>(inputs, outputs, [this](const auto& in, auto& out) {
    ConvertFloatArrays(in[0], in[1], in[2], out[0], out[1], out[2]);
  });
}

void ProcConvertColor::ConvertIntArrays(const IntArray& in1, const IntArray& in2,
                                        const IntArray& in3, IntArray& out1, IntArray& out2,
                                        IntArray& out3) const {
  SampleOperationsOf(*this).ConvertIntArrays(in1, in2, in3, out1, out2, out3);
}

void ProcConvertColor::ConvertFloatArrays(const FloatArray& in1, const FloatArray& in2,
                                          const FloatArray& in3, FloatArray& out1, FloatArray& out2,
                                          FloatArray& out3) const {
  SampleOperationsOf(*this).ConvertFloatArrays(in1, in2, in3, out1, out2, out3);
}

void ProcConvertColor::ConvertIntSample(int a, int b, int c, int& x, int& y, int& z) const {
  SampleOperationsOf(*this).ConvertColor::ConvertIntSample(a, b, c, x, y, z);
}

void ProcConvertColor::ConvertFloatSample(float a, float b, float c, float& x, float& y,
                                          float& z) const {
  SampleOperationsOf(*this).ConvertColor::ConvertFloatSample(a, b, c, x, y, z);
}

// ---- The eight conversions

ProcRgbToYCrCb::ProcRgbToYCrCb(int processId) : ProcConvertColorWith(processId, kYCrCb) {
  SetDefaultName("RGB_YCrCb");
  SetVerilogName("RGB_YCrCb");
}

ProcYCrCbToRgb::ProcYCrCbToRgb(int processId) : ProcConvertColorWith(processId, kRgb) {
  SetDefaultName("YCrCb_RGB");
  SetVerilogName("YCrCb_RGB");
}

ProcRgbToHSV::ProcRgbToHSV(int processId) : ProcConvertColorWith(processId, kHsv) {
  SetDefaultName("RGB_HSV");
}

ProcHSVToRgb::ProcHSVToRgb(int processId) : ProcConvertColorWith(processId, kRgb) {
  SetDefaultName("HSV_RGB");
}

ProcRgbToXYZ::ProcRgbToXYZ(int processId) : ProcConvertColorWith(processId, kXyz) {
  SetDefaultName("RGB_XYZ");
}

ProcXYZToRgb::ProcXYZToRgb(int processId) : ProcConvertColorWith(processId, kRgb) {
  SetDefaultName("XYZ_RGB");
}

ProcRgbToLab::ProcRgbToLab(int processId) : ProcConvertColorWith(processId, kLab) {
  SetDefaultName("RGB_Lab");
}

ProcLabToRgb::ProcLabToRgb(int processId) : ProcConvertColorWith(processId, kRgb) {
  SetDefaultName("Lab_RGB");
}

// The menu groups these under "RGB から..." and "RGB へ戻す..."; each row holds its own item.
void RegisterColorSpaceKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcRgbToYCrCb>(kRgbToYCrCbProcessId, "ProcRgbToYCrCb", "YCrCb へ"));
  catalogue.Register(KindOf<ProcYCrCbToRgb>(kYCrCbToRgbProcessId, "ProcYCrCbToRgb", "YCrCb から"));
  catalogue.Register(KindOf<ProcRgbToHSV>(kRgbToHSVProcessId, "ProcRgbToHSV", "HSV へ"));
  catalogue.Register(KindOf<ProcHSVToRgb>(kHSVToRgbProcessId, "ProcHSVToRgb", "HSV から"));
  catalogue.Register(KindOf<ProcRgbToXYZ>(kRgbToXYZProcessId, "ProcRgbToXYZ", "XYZ へ"));
  catalogue.Register(KindOf<ProcXYZToRgb>(kXYZToRgbProcessId, "ProcXYZToRgb", "XYZから"));
  catalogue.Register(KindOf<ProcRgbToLab>(kRgbToLabProcessId, "ProcRgbToLab", "Lab へ"));
  catalogue.Register(KindOf<ProcLabToRgb>(kLabToRgbProcessId, "ProcLabToRgb", "Lab から"));
}

}  // namespace kandrel
