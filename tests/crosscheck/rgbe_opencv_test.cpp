// Our RGBE files against OpenCV's Radiance codec, in both directions. The two decoders must agree
// exactly on the same bytes; against the original floats a pixel may be off by one mantissa step
// of its largest component, which is at least 128 steps: a tolerance of 1/128 of that component
// (OpenCV truncates where we round, so its files sit within one step too).
#include <gtest/gtest.h>

#include <algorithm>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <random>

#include "image/hdr_image.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

constexpr int kOpenCvFloatFlags = cv::IMREAD_UNCHANGED | cv::IMREAD_ANYDEPTH;

// Random high-dynamic-range colours, BGR as OpenCV holds them.
cv::Mat RandomBgr(int width, int height) {
  cv::Mat bgr(height, width, CV_32FC3);
  std::mt19937 random(static_cast<unsigned>(width * 7 + height));
  std::uniform_real_distribution<float> exponent(-12, 12);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        bgr.at<cv::Vec3f>(y, x)[c] =
            (x / 4) % 3 == 0 ? 0.75f : std::exp2(exponent(random));  // runs too
  return bgr;
}

// Expects our planes to equal the BGR image exactly, and to lie within tolerance of the source.
void ExpectSamePixels(const FloatArray (&planes)[3], const cv::Mat& decoded,
                      const cv::Mat& source) {
  ASSERT_EQ(decoded.type(), CV_32FC3);
  ASSERT_EQ(planes[0].Width(), decoded.cols);
  ASSERT_EQ(planes[0].Height(), decoded.rows);
  for (int y = 0; y < decoded.rows; ++y)
    for (int x = 0; x < decoded.cols; ++x) {
      const cv::Vec3f& bgr = decoded.at<cv::Vec3f>(y, x);
      const cv::Vec3f& original = source.at<cv::Vec3f>(y, x);
      const float largest = std::max({original[0], original[1], original[2]});
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(planes[c][y][x], bgr[2 - c]) << x << "," << y << " channel " << c;
        ASSERT_NEAR(bgr[2 - c], original[2 - c], largest / 128)
            << x << "," << y << " channel " << c;
      }
    }
}

TEST(RgbeOpenCvTest, OpenCvReadsOurFiles) {
  TempDir dir;
  for (const int width : {5, 40}) {  // flat and run-length encoded
    const cv::Mat source = RandomBgr(width, 6);
    Float3Image image;
    image.Resize(width, 6);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) image.channels[c][y][x] = source.at<cv::Vec3f>(y, x)[2 - c];
    const std::string path = dir.File("ours" + std::to_string(width) + ".hdr");
    ASSERT_EQ(SaveImageHDR(image, path), 0);
    FloatArray planes[3];
    double gamma = 0;
    ASSERT_EQ(ReadHDRPlanes(path, planes[0], planes[1], planes[2], gamma), 0);
    ExpectSamePixels(planes, cv::imread(path, kOpenCvFloatFlags), source);
  }
}

TEST(RgbeOpenCvTest, WeReadOpenCvFiles) {
  TempDir dir;
  for (const int width : {5, 40, 300}) {
    const cv::Mat source = RandomBgr(width, 4);
    const std::string path = dir.File("opencv" + std::to_string(width) + ".hdr");
    ASSERT_TRUE(cv::imwrite(path, source));
    if (width >= 8) {
      const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
      const std::string size = "-Y 4 +X " + std::to_string(width) + "\n";
      const auto pixels = std::search(bytes.begin(), bytes.end(), size.begin(), size.end()) +
                          static_cast<std::ptrdiff_t>(size.size());
      ASSERT_LT(pixels + 2, bytes.end());
      EXPECT_TRUE(pixels[0] == 2 && pixels[1] == 2) << "OpenCV wrote flat pixels";
    }
    FloatArray planes[3];
    double gamma = 0;
    ASSERT_EQ(ReadHDRPlanes(path, planes[0], planes[1], planes[2], gamma), 0);
    EXPECT_EQ(gamma, 1.0);
    ExpectSamePixels(planes, cv::imread(path, kOpenCvFloatFlags), source);
  }
}

}  // namespace
}  // namespace kandrel::testing
