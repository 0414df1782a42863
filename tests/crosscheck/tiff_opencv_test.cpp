// TIFF dumps against OpenCV's TIFF codec: our dumps read by cv::imread, and files written by
// cv::imwrite (uncompressed and with its default compression) read by LoadImageTIFF, all
// compared sample for sample.
#include <gtest/gtest.h>

#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "image/image.h"
#include "image/tiff_dump.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

template <class T>
T Sample(int c, int x, int y) {
  const int v = (c * 1000 + y * 37 + x) * (x % 2 ? -1 : 1);
  if constexpr (std::is_same_v<T, float>)
    return static_cast<float>(v) / 7.0f;
  else
    return v * 65537;
}

template <class L>
void FillPattern(L& image, int width, int height) {
  image.Resize(width, height);
  for (int c = 0; c < L::kChannels; ++c)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) image.channels[c][y][x] = Sample<typename L::Sample>(c, x, y);
}

template <class T>
bool SameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// OpenCV keeps three channels in B, G, R order; our channels 0, 1, 2 are R, G, B.
template <class L>
void ExpectSameSamples(const L& image, const cv::Mat& mat) {
  using T = typename L::Sample;
  ASSERT_EQ(mat.cols, image.Width());
  ASSERT_EQ(mat.rows, image.Height());
  ASSERT_EQ(mat.channels(), L::kChannels);
  ASSERT_EQ(mat.depth(), (std::is_same_v<T, float> ? CV_32F : CV_32S));
  int mismatches = 0;
  for (int y = 0; y < mat.rows; ++y) {
    const T* row = mat.ptr<T>(y);
    for (int x = 0; x < mat.cols; ++x)
      for (int c = 0; c < L::kChannels; ++c) {
        const T opencv = row[x * L::kChannels + (L::kChannels == 3 ? 2 - c : 0)];
        if (!SameBits(opencv, image.channels[c][y][x])) ++mismatches;
      }
  }
  EXPECT_EQ(mismatches, 0);
}

template <class L>
void ExpectOpenCvReadsDump(const TempDir& dir) {
  L image;
  FillPattern(image, 37, 23);
  const std::string path = dir.File("dump.tif");
  ASSERT_EQ(SaveImageTIFF(image, path), 0);
  const cv::Mat mat = cv::imread(path, cv::IMREAD_UNCHANGED);
  ASSERT_FALSE(mat.empty()) << ImageTypeName(L::kTypeId);
  ExpectSameSamples(image, mat);
}

TEST(TiffOpenCvTest, OpenCvReadsOurDumps) {
  TempDir dir;
  ExpectOpenCvReadsDump<Float1Image>(dir);
  ExpectOpenCvReadsDump<Float3Image>(dir);
  ExpectOpenCvReadsDump<Int1Image>(dir);
  // Int 3ch is left out: OpenCV refuses to read signed 32-bit colour files.
}

template <class L>
void ExpectWeReadOpenCvFile(const TempDir& dir, const std::vector<int>& params) {
  constexpr int kType = L::kChannels == 3 ? CV_32FC3 : CV_32FC1;
  cv::Mat mat(29, 41, kType);
  for (int y = 0; y < mat.rows; ++y)
    for (int x = 0; x < mat.cols; ++x)
      for (int c = 0; c < L::kChannels; ++c)
        mat.ptr<float>(y)[x * L::kChannels + c] = Sample<float>(c, x, y) - 0.125f * c;
  const std::string path = dir.File("opencv.tif");
  ASSERT_TRUE(cv::imwrite(path, mat, params));
  ASSERT_EQ(TIFFImageType(path), L::kTypeId);
  L image;
  ASSERT_EQ(LoadImageTIFF(image, path), 0);
  ExpectSameSamples(image, mat);
}

TEST(TiffOpenCvTest, WeReadOpenCvFilesCompressedOrNot) {
  TempDir dir;
  // TIFF compression codes: none, LZW, Deflate.
  for (int compression : {1, 5, 8}) {
    SCOPED_TRACE(compression);
    const std::vector<int> params = {cv::IMWRITE_TIFF_COMPRESSION, compression};
    ExpectWeReadOpenCvFile<Float1Image>(dir, params);
    ExpectWeReadOpenCvFile<Float3Image>(dir, params);
  }
  ExpectWeReadOpenCvFile<Float1Image>(dir, {});
}

// By default OpenCV stores float colour as LogLuv, which keeps about 1% of precision: not a
// dump, and refused rather than read approximately.
TEST(TiffOpenCvTest, LogLuvColourIsRefused) {
  TempDir dir;
  const cv::Mat mat(8, 8, CV_32FC3, cv::Scalar(0.25, 0.5, 0.75));
  const std::string path = dir.File("logluv.tif");
  ASSERT_TRUE(cv::imwrite(path, mat));
  Float3Image image;
  EXPECT_EQ(LoadImageTIFF(image, path), -1);
  EXPECT_EQ(image.Width(), 0);
}

}  // namespace
}  // namespace kandrel::testing
