// The analysis kinds: stereo matching on a pair with a known shift, PSNR lines against their
// formula, cascade detection (masked output, missing and malformed cascades, a real face where
// OpenCV finds one), and their records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/objdetect.hpp>
#include <random>

#include "blocks/analysis/cascade_check.h"
#include "blocks/analysis/haar_detect.h"
#include "blocks/analysis/psnr.h"
#include "blocks/analysis/stereo_matching.h"
#include "process/process_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

namespace fs = std::filesystem;

class AnalysisTest : public KandrelTest {
 protected:
  TempDir dir;
};

// A smooth random texture, shifted left by shift: sample x holds the texture at x + shift.
std::unique_ptr<Int1Image> Texture(int w, int h, int shift, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<double> phase(8);
  for (double& p : phase) p = std::uniform_real_distribution<double>(0, 6.28)(rng);
  auto image = std::make_unique<Int1Image>();
  image->Resize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = x + shift;
      const double s = std::sin(u * 0.31 + phase[0]) * std::cos(y * 0.23 + phase[1]) +
                       std::sin((u + y) * 0.57 + phase[2]) +
                       std::cos((u - 2 * y) * 0.43 + phase[3]) +
                       std::sin(u * 1.1 + y * 0.7 + phase[4]);
      image->channels[0][y][x] = static_cast<int>(128 + 30 * s) + 256;  // the 256 must wrap away
    }
  return image;
}

TEST_F(AnalysisTest, StereoMatchingFindsAKnownShift) {
  ProcStereoMatching stereo(kStereoMatchingProcessId);
  for (int shift : {5, 12}) {
    HeldImages pair;
    pair.Hold(0, Texture(160, 90, 0, 3));
    pair.Hold(1, Texture(160, 90, shift, 3));
    ASSERT_EQ(RunFrame(stereo, pair), 0);
    const FloatArray& d = As<Float1Image>(stereo.GetOutput(0))->channels[0];
    ASSERT_EQ(SizeOf(d), (std::pair{160, 90}));
    int right = 0, counted = 0;
    for (int y = 20; y < 70; ++y)
      for (int x = 80; x < 150; ++x, ++counted) right += std::fabs(d[y][x] - shift) < 0.5f;
    EXPECT_GT(right, counted * 9 / 10) << shift;
    stereo.DisconnectAll();
  }
  HeldImages odd;
  odd.Hold(0, Texture(40, 30, 0, 1));
  odd.Hold(1, Texture(41, 30, 0, 1));
  EXPECT_NE(RunFrame(stereo, odd), 0);
  EXPECT_EQ(host.LastMessage(), "StereoMatchへの入力１と２のサイズが異なります。");
  stereo.DisconnectAll();
  // Values the matcher cannot take fail the frame with a message, never reach it.
  for (auto change : {+[](ProcStereoMatching::Params& p) { p.SADWindowSize = 4; },
                      +[](ProcStereoMatching::Params& p) { p.numberOfDisparities = 20; },
                      +[](ProcStereoMatching::Params& p) { p.numberOfDisparities = 1 << 30; },
                      +[](ProcStereoMatching::Params& p) { p.preFilterCap = 0; }}) {
    stereo.params = {};
    change(stereo.params);
    HeldImages pair;
    pair.Hold(0, Texture(64, 32, 0, 2));
    pair.Hold(1, Texture(64, 32, 0, 2));
    EXPECT_NE(RunFrame(stereo, pair), 0);
    EXPECT_EQ(host.LastMessage(), "StereoMatchのパラメータが正しくありません。");
    stereo.DisconnectAll();
  }
}

// The line the formula gives for one measurement.
std::string PlainMeasure(const std::vector<double>& a, const std::vector<double>& b, double p1,
                         double p2) {
  long double e = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const long double d = a[i] * p2 - b[i] * p1;
    e = static_cast<double>(e + d * d);
  }
  if (e == 0) return "∞   , ";
  char text[32];
  std::snprintf(
      text, sizeof text, "%5.2lf, ",
      10 * std::log10(p1 * p1 * p2 * p2 * static_cast<double>(a.size()) / static_cast<double>(e)));
  return text;
}

TEST_F(AnalysisTest, PsnrLinesFollowTheFormula) {
  std::mt19937 rng(4);
  ProcPSNR psnr(kPsnrProcessId);
  HeldImages held;
  const Int3Image& a = held.Hold(0, RandomImage<Int3Image>(rng, 7, 5, 0, false));
  Int3Image& b = held.Hold(1, RandomImage<Int3Image>(rng, 7, 5, 0, false));
  b.channels[1] = a.channels[1];  // identical: an infinite ratio
  const auto plain = [&](int c) {
    const std::vector<double> x(a.channels[c].begin(), a.channels[c].end());
    const std::vector<double> y(b.channels[c].begin(), b.channels[c].end());
    return PlainMeasure(x, y, 255, 255);
  };
  ASSERT_EQ(RunFrame(psnr, held), 0);
  psnr.params.channelEnabled[0] = 0;
  ASSERT_EQ(RunFrame(psnr, held), 0);
  psnr.params = {0, {0, 0, 0}, 255, 255};
  ASSERT_EQ(RunFrame(psnr, held), 0);
  const std::vector<std::string> expected{"0000, " + plain(0) + "∞   , " + plain(2),
                                          "0001, ∞   , " + plain(2), ""};
  EXPECT_EQ(psnr.Results(), expected);
  EXPECT_EQ(host.Measurements(), expected);
  psnr.DisconnectAll();

  // Each image by its own peak: the same picture on 0..1 and on 0..255 scales is identical.
  HeldImages scaled;
  auto& unit = scaled.Hold(0, RandomImage<Float1Image>(rng, 6, 3, 0, false));
  auto& wide = scaled.Hold(1, std::make_unique<Float1Image>());
  int m = 0;
  for (float& s : unit.channels[0])
    s = static_cast<float>(m++ % 256) / 256;  // exact in both scales
  wide.channels[0] = unit.channels[0];
  for (float& s : wide.channels[0]) s *= 255;
  psnr.params = {0, {0, 0, 0}, 1, 255};  // a 1ch input always measures its channel
  ASSERT_EQ(RunFrame(psnr, scaled), 0);
  EXPECT_EQ(psnr.Results().back(), "∞   , ");
  wide.channels[0].Resize(5, 3);
  ASSERT_EQ(RunFrame(psnr, scaled), 0);  // a frame never fails
  EXPECT_EQ(psnr.Results().back(), "SizeErr, ");
  EXPECT_EQ(host.LastMessage(), "PSNRへの入力画像サイズがそろっていません。");
  psnr.DisconnectAll();
  ASSERT_TRUE(psnr.SaveResults(dir.File("psnr.txt")));
  std::ifstream saved(dir.File("psnr.txt"));
  std::string line;
  for (const std::string& result : psnr.Results()) {
    std::getline(saved, line);
    EXPECT_EQ(line, result);
  }
  EXPECT_FALSE(psnr.SaveResults(dir.File("no/such/dir/psnr.txt")));
  psnr.Reset();
  EXPECT_TRUE(psnr.Results().empty());
}

// Frontal faces in pictures that Debian ships, when its documentation package is installed.
std::vector<std::string> FacePictures() {
  std::vector<std::string> found;
  for (const char* path : {"/usr/share/doc/opencv-doc/examples/data/lena.jpg",
                           "/usr/share/doc/opencv-doc/examples/data/messi5.jpg"})
    if (fs::exists(path)) found.push_back(path);
  return found;
}

TEST_F(AnalysisTest, CascadeDetectionMasksTheInputToWhatItFinds) {
  const std::string cascade =
      std::string(kSystemCascadeFolder) + "/haarcascade_frontalface_alt2.xml";
  ASSERT_TRUE(fs::exists(cascade)) << "opencv-data is missing";
  ProcHaarDetect haar(kHaarDetectProcessId);
  // Without a cascade every frame fails, naming the file.
  haar.params.cascadePath = dir.File("none.xml");
  haar.Reset();
  EXPECT_EQ(host.LastMessage(),
            "HaarDetectが定義ファイル" + dir.File("none.xml") + "を見つけられません。");
  std::ofstream(dir.File("bad.xml")) << "<opencv_storage><cascade>broken";
  haar.params.cascadePath = dir.File("bad.xml");
  haar.Reset();
  EXPECT_EQ(host.LastMessage(),
            "HaarDetectが定義ファイル" + dir.File("bad.xml") + "を読み込めません。");
  std::mt19937 rng(6);
  HeldImages flat;
  flat.Hold(0, RandomImage<Int3Image>(rng, 64, 48, 0, false));
  EXPECT_NE(RunFrame(haar, flat), 0);
  EXPECT_NE(host.LastMessage().find(dir.File("bad.xml")), std::string::npos);
  haar.DisconnectAll();
  // An empty path takes the system's frontal-face cascade when none lies beside the graph.
  haar.params.cascadePath.clear();
  SetLastUsedDirectory(dir.Path());
  haar.Reset();
  EXPECT_EQ(haar.params.cascadePath, cascade);
  ASSERT_EQ(RunFrame(haar, flat), 0);  // noise holds no face: all zero
  for (const auto& channel : As<Int3Image>(haar.GetOutput(0))->channels)
    for (int s : channel) ASSERT_EQ(s, 0);
  haar.DisconnectAll();
}

TEST_F(AnalysisTest, EveryShippedCascadeIsSoundAndDamagedOnesAreRefused) {
  // Every cascade OpenCV ships passes, old format and LBP included.
  int checked = 0;
  for (const char* folder : {kSystemCascadeFolder, "/usr/share/opencv4/lbpcascades"})
    for (const auto& entry : fs::directory_iterator(folder)) {
      EXPECT_TRUE(CascadeFileIsSound(entry.path().string())) << entry.path();
      ++checked;
    }
  EXPECT_GT(checked, 10);
  // One stump on an 8 × 8 window, then damaged where OpenCV would follow the damage.
  const std::string good =
      "<?xml version=\"1.0\"?><opencv_storage><cascade><stageType>BOOST</stageType>"
      "<featureType>HAAR</featureType>"
      "<height>8</height><width>8</width><featureParams><maxCatCount>0</maxCatCount>"
      "</featureParams><stages><_><stageThreshold>-1.</stageThreshold><weakClassifiers><_>"
      "<internalNodes>0 -1 0 0.01</internalNodes><leafValues>-0.5 0.5</leafValues></_>"
      "</weakClassifiers></_></stages><features><_><rects><_>0 0 8 4 -1.</_><_>0 4 8 4 1.</_>"
      "</rects></_></features></cascade></opencv_storage>";
  const struct {
    const char* from;
    const char* to;
    bool sound;
  } damages[] = {
      {"", "", true},                                     // as it is
      {"0 -1 0 0.01", "0 -1 1 0.01", false},              // a feature that is not there
      {"0 -1 0 0.01", "0 0 0 0.01", true},                // both sides leaves
      {"0 -1 0 0.01", "1 -1 0 0.01", false},              // a node the tree lacks
      {"0 -1 0 0.01", "0 -2 0 0.01", false},              // a leaf the tree lacks
      {"0 4 8 4 1.", "0 5 8 4 1.", false},                // a rectangle out of the window
      {"<leafValues>-0.5 0.5", "<leafValues>-0.5", false},  // too few leaves
      {"</cascade>", "", false},                          // cut short
  };
  for (const auto& d : damages) {
    std::string text = good;
    if (*d.from != 0) text.replace(text.find(d.from), std::strlen(d.from), d.to);
    std::ofstream(dir.File("c.xml")) << text;
    EXPECT_EQ(CascadeFileIsSound(dir.File("c.xml")), d.sound) << d.from << " -> " << d.to;
  }
}

TEST_F(AnalysisTest, ARealFaceIsFoundWhereOpenCVAloneFindsIt) {
  if (FacePictures().empty()) GTEST_SKIP() << "no picture with a face installed (opencv-doc)";
  const std::string cascade =
      std::string(kSystemCascadeFolder) + "/haarcascade_frontalface_alt2.xml";
  ProcHaarDetect haar(kHaarDetectProcessId);
  haar.params.cascadePath = cascade;
  haar.Reset();
  cv::CascadeClassifier reference(cascade);
  for (const std::string& path : FacePictures()) {
    SCOPED_TRACE(path);
    const cv::Mat grey = cv::imread(path, cv::IMREAD_GRAYSCALE);
    std::vector<cv::Rect> faces;
    reference.detectMultiScale(grey, faces, 1.1, 3, cv::CASCADE_DO_CANNY_PRUNING, cv::Size(30, 30));
    HeldImages picture;
    auto& image = picture.Hold(0, std::make_unique<Int1Image>());
    image.Resize(grey.cols, grey.rows);
    for (int y = 0; y < grey.rows; ++y)
      for (int x = 0; x < grey.cols; ++x) image.channels[0][y][x] = grey.at<std::uint8_t>(y, x);
    ASSERT_EQ(RunFrame(haar, picture), 0);
    const IntArray& out = As<Int1Image>(haar.GetOutput(0))->channels[0];
    ASSERT_FALSE(faces.empty());
    for (const cv::Rect& f : faces)
      for (int y = f.y; y < f.y + f.height; y += 4)
        for (int x = f.x; x < f.x + f.width; x += 4) ASSERT_EQ(out[y][x], image.channels[0][y][x]);
    // Outside every face, nothing.
    EXPECT_EQ(out[0][0], 0);
    haar.DisconnectAll();
  }
}

TEST_F(AnalysisTest, CatalogueRowsAndRecords) {
  ExpectKind<ProcStereoMatching>({kStereoMatchingProcessId, "ProcStereoMatching",
                                  "ステレオマッチング", "StereoMatch", "", 2, 1, true, 32},
                                 [](ProcStereoMatching& p) { p.params.uniquenessRatio = 7; });
  ExpectKind<ProcPSNR>({kPsnrProcessId, "ProcPSNR", "PSNR計測...", "PSNR", "", 2, 0, true, 32},
                       [](ProcPSNR& p) { p.params.peak2 = 1023; });
  ExpectKind<ProcHaarDetect>(
      {kHaarDetectProcessId, "ProcHaarDetect", "物体検出", "HaarDetect", "", 1, 1, true, 268},
      [&](ProcHaarDetect& p) {
        p.params.cascadePath = dir.File("faces.xml");
        p.params.minWidth = 44;
      });
}

}  // namespace
}  // namespace kandrel::testing
