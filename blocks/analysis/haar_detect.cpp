#include "blocks/analysis/haar_detect.h"

#include <algorithm>
#include <filesystem>
#include <opencv2/objdetect.hpp>

#include "blocks/analysis/cascade_check.h"
#include "image/opencv_bridge.h"
#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/process_file.h"

namespace kandrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultCascade = "haarcascade_frontalface_alt2.xml";

// Copies the samples inside every rectangle; the rest of out stays as it is.
void CopyInside(const Array2D<int>& in, const std::vector<DetectedRect>& rects, Array2D<int>& out) {
  for (const DetectedRect& r : rects)
    for (int y = r.y; y < r.y + r.height; ++y)
      std::copy(in[y] + r.x, in[y] + r.x + r.width, out[y] + r.x);
}

bool LoadCascade(cv::CascadeClassifier& cascade, const std::string& path) {
  try {
    return cascade.load(path) && !cascade.empty();
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace

ProcHaarDetect::ProcHaarDetect(int processId) : ProcStandardOut(processId) {
  SetDefaultName("HaarDetect");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormHaarDetect");
}

ProcHaarDetect::~ProcHaarDetect() = default;

bool ProcHaarDetect::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeInt1 && inTypes[0] != kTypeInt3) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcHaarDetect::ResetOutputs(OutputImages& outputs) {
  const int result = ProcStandardOut::ResetOutputs(outputs);
  std::error_code error;
  if (params.cascadePath.empty()) {
    // Beside the process file first, then the cascades the system provides.
    params.cascadePath = (fs::path(LastUsedDirectory()) / kDefaultCascade).string();
    const std::string system = (fs::path(kSystemCascadeFolder) / kDefaultCascade).string();
    if (!fs::is_regular_file(params.cascadePath, error) && fs::is_regular_file(system, error))
      params.cascadePath = system;
  }
  if (!fs::is_regular_file(params.cascadePath, error)) {
    Message(Name() + "が定義ファイル" + params.cascadePath + "を見つけられません。");
    return result;
  }
  auto cascade = std::make_unique<cv::CascadeClassifier>();
  const bool loaded =
      CascadeFileIsSound(params.cascadePath) && LoadCascade(*cascade, params.cascadePath);
  // A file that is no cascade leaves the one held before.
  if (loaded)
    cascade_ = std::move(cascade);
  else
    Message(Name() + "が定義ファイル" + params.cascadePath + "を読み込めません。");
  return result;
}

bool ProcHaarDetect::Detect(const Array2D<int>& samples, std::vector<DetectedRect>& found) {
  found.clear();
  if (cascade_ == nullptr) {
    Message(Name() + "の定義ファイル" + params.cascadePath + "が読み込まれていません。");
    return false;
  }
  const IplImagePtr image(IntArrayToIpl(samples, IPL_DEPTH_8U));
  if (image == nullptr) {
    Message(Name() + "の処理に必要なメモリを確保できません。");
    return false;
  }
  std::vector<cv::Rect> rects;
  try {
    cascade_->detectMultiScale(
        cv::cvarrToMat(image.get()), rects, 1.1, 3, cv::CASCADE_DO_CANNY_PRUNING,
        cv::Size(std::max(params.minWidth, 0), std::max(params.minHeight, 0)));
  } catch (const cv::Exception& e) {
    Message(Name() + "の処理中にエラーが発生しました。（" + e.what() + "）");
    return false;
  }
  // Kept inside the picture, whatever the detector gives.
  const cv::Rect picture(0, 0, samples.Width(), samples.Height());
  for (const cv::Rect& r : rects) {
    const cv::Rect inside = r & picture;
    if (!inside.empty()) found.push_back({inside.x, inside.y, inside.width, inside.height});
  }
  return true;
}

int ProcHaarDetect::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  std::vector<DetectedRect> rects;
  if (!Detect(*in[0], rects)) return 1;
  out[0]->Resize(in[0]->Width(), in[0]->Height());
  std::fill(out[0]->begin(), out[0]->end(), 0);
  CopyInside(*in[0], rects, *out[0]);
  return 0;
}

// Searched on the first channel; all three are copied.
int ProcHaarDetect::ProcessInt3(const InputImages& inputs, const InputImages& outputs) {
  const auto* in = As<Int3Image>(inputs[0]);
  auto* out = As<Int3Image>(outputs[0]);
  if (in == nullptr || out == nullptr) return 1;
  std::vector<DetectedRect> rects;
  if (!Detect(in->channels[0], rects)) return 1;
  out->Resize(in->Width(), in->Height());
  for (int c = 0; c < 3; ++c) {
    std::fill(out->channels[c].begin(), out->channels[c].end(), 0);
    CopyInside(in->channels[c], rects, out->channels[c]);
  }
  return 0;
}

int ProcHaarDetect::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecordWithPath(stream, params, &Params::cascadePath);
  return 0;
}

int ProcHaarDetect::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return header | ReadRecordWithPath(stream, params, &Params::cascadePath);
}

void RegisterHaarDetectKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcHaarDetect>(kHaarDetectProcessId, "ProcHaarDetect", "物体検出"));
}

}  // namespace kandrel
