// The analysis kinds that hand their work to OpenCV, against the OpenCV call alone on the same
// 8-bit mats: ProcStereoMatching on a 640 × 480 textured pair shifted by 9 pixels (64
// disparities, block 15) against cv::StereoBM::compute, and ProcHaarDetect on a 640 × 480
// picture with the frontalface_alt cascade against detectMultiScale with the same arguments.
#include <cmath>
#include <opencv2/calib3d.hpp>
#include <opencv2/objdetect.hpp>

#include "bench/bench_support.h"
#include "blocks/analysis/haar_detect.h"
#include "blocks/analysis/stereo_matching.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 640, kHeight = 480;

// A texture of grey levels, sample x holding the texture at x + shift.
std::unique_ptr<Int1Image> Texture(int shift) {
  auto image = std::make_unique<Int1Image>();
  image->Resize(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const double u = x + shift;
      image->channels[0][y][x] = static_cast<int>(
          128 + 40 * std::sin(u * 0.31) * std::cos(y * 0.23) + 30 * std::sin((u + y) * 0.57) +
          20 * std::cos((u - 2 * y) * 0.43) + 10 * std::sin(u * 1.1 + y * 0.7));
    }
  return image;
}

cv::Mat AsByteMat(const IntArray& samples) {
  cv::Mat mat(samples.Height(), samples.Width(), CV_8U);
  for (int y = 0; y < samples.Height(); ++y)
    for (int x = 0; x < samples.Width(); ++x)
      mat.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>(samples[y][x]);
  return mat;
}

void BM_StereoMatchingAgainstStereoBM(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage left(Texture(0)), right(Texture(9));
    ProcStereoMatching stereo(kStereoMatchingProcessId);
    stereo.Connect(0, &left, 0);
    stereo.Connect(1, &right, 0);
    if (stereo.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat leftMat = AsByteMat(left.Held().channels[0]),
                  rightMat = AsByteMat(right.Held().channels[0]);
    const cv::Ptr<cv::StereoBM> matcher = cv::StereoBM::create(64, 15);
    matcher->setPreFilterSize(9);
    matcher->setPreFilterCap(30);
    matcher->setTextureThreshold(10);
    matcher->setUniquenessRatio(15);
    cv::Mat disparity;
    bench::TimeAgainst(
        state, [&] { return stereo.Step(); },
        [&] { matcher->compute(leftMat, rightMat, disparity); });
    stereo.DisconnectAll();
  }
  SetHost(nullptr);
}
BENCHMARK(BM_StereoMatchingAgainstStereoBM)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_HaarDetectAgainstDetectMultiScale(benchmark::State& state) {
  const std::string cascade =
      std::string(kSystemCascadeFolder) + "/haarcascade_frontalface_alt.xml";
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage picture(Texture(0));
    ProcHaarDetect haar(kHaarDetectProcessId);
    haar.params.cascadePath = cascade;
    haar.Connect(0, &picture, 0);
    haar.Reset();
    if (haar.Step() != 0) state.SkipWithError("frame failed");
    const cv::Mat grey = AsByteMat(picture.Held().channels[0]);
    cv::CascadeClassifier reference(cascade);
    std::vector<cv::Rect> found;
    bench::TimeAgainst(
        state, [&] { return haar.Step(); },
        [&] {
          reference.detectMultiScale(grey, found, 1.1, 3, cv::CASCADE_DO_CANNY_PRUNING,
                                     cv::Size(30, 30));
        });
    haar.DisconnectAll();
  }
  SetHost(nullptr);
}
BENCHMARK(BM_HaarDetectAgainstDetectMultiScale)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
