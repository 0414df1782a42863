#include "blocks/analysis/stereo_matching.h"

#include <opencv2/core/types_c.h>

#include <opencv2/calib3d.hpp>

#include "image/opencv_bridge.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

bool IsOddWithin(std::int32_t v, std::int32_t low, std::int32_t high) {
  return v % 2 != 0 && v >= low && v <= high;
}

// The ranges the matcher accepts; outside them it would stop with an error of its own, or, for a
// huge disparity range, try to allocate far more than any picture needs.
bool MatcherAccepts(const ProcStereoMatching::Params& p) {
  return (p.preFilterType == 0 || p.preFilterType == 1) && IsOddWithin(p.preFilterSize, 5, 255) &&
         p.preFilterCap >= 1 && p.preFilterCap <= 63 && IsOddWithin(p.SADWindowSize, 5, 255) &&
         p.minDisparity >= -(1 << 16) && p.minDisparity <= (1 << 16) && p.numberOfDisparities > 0 &&
         p.numberOfDisparities % 16 == 0 && p.numberOfDisparities <= (1 << 16) &&
         p.textureThreshold >= 0 && p.uniquenessRatio >= 0;
}

}  // namespace

ProcStereoMatching::ProcStereoMatching(int processId) : ProcStandardOut(processId) {
  SetDefaultName("StereoMatch");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormStereoMatching");
}

bool ProcStereoMatching::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeInt1 || inTypes[1] != kTypeInt1) return false;
  outTypes[0] = kTypeFloat1;
  return true;
}

int ProcStereoMatching::Process(const InputImages& inputs, OutputImages& outputs) {
  const auto* left = As<Int1Image>(inputs[0]);
  const auto* right = As<Int1Image>(inputs[1]);
  auto* out = As<Float1Image>(outputs[0].get());
  if (inputs[0] != nullptr && inputs[1] != nullptr &&
      (inputs[0]->Width() != inputs[1]->Width() || inputs[0]->Height() != inputs[1]->Height())) {
    Message(Name() + "への入力１と２のサイズが異なります。");
    return 1;
  }
  if (left == nullptr || right == nullptr || out == nullptr) return 1;
  if (!MatcherAccepts(params)) {
    Message(Name() + "のパラメータが正しくありません。");
    return 1;
  }
  // Samples keep their low 8 bits; the mats only point into the bridged images.
  const IplImagePtr leftIpl(ImageToIpl(*left, IPL_DEPTH_8U)),
      rightIpl(ImageToIpl(*right, IPL_DEPTH_8U));
  if (leftIpl == nullptr || rightIpl == nullptr) {
    Message(Name() + "の処理に必要なメモリを確保できません。");
    return 1;
  }
  cv::Mat disparity;
  try {
    const cv::Ptr<cv::StereoBM> matcher =
        cv::StereoBM::create(params.numberOfDisparities, params.SADWindowSize);
    matcher->setPreFilterType(params.preFilterType);
    matcher->setPreFilterSize(params.preFilterSize);
    matcher->setPreFilterCap(params.preFilterCap);
    matcher->setMinDisparity(params.minDisparity);
    matcher->setTextureThreshold(params.textureThreshold);
    matcher->setUniquenessRatio(params.uniquenessRatio);
    matcher->compute(cv::cvarrToMat(leftIpl.get()), cv::cvarrToMat(rightIpl.get()), disparity);
  } catch (const cv::Exception& e) {
    Message(Name() + "の処理中にエラーが発生しました。（" + e.what() + "）");
    return 1;
  }
  const CvMat header = cvMat(disparity);
  if (MatToImage(&header, *out) != 0) return 1;
  // The matcher gives disparities with four fractional bits.
  for (float& d : out->channels[0]) d /= 16.0f;
  out->ResetView();
  return 0;
}

int ProcStereoMatching::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcStereoMatching::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterStereoMatchingKinds() {
  Catalogue::Instance().Register(KindOf<ProcStereoMatching>(
      kStereoMatchingProcessId, "ProcStereoMatching", "ステレオマッチング"));
}

}  // namespace kandrel
