// Images to RGBE files and back: every image type, the bytes against the codec writing the whole
// image at once, refused images, and truncated or hostile files.
#include "image/hdr_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "io/rgbe.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

// What a sample becomes after an RGBE round trip.
float ThroughRGBE(float v) {
  std::uint8_t rgbe[4];
  FloatToRGBE(rgbe, v, 0, 0);
  float r, g, b;
  RGBEToFloat(rgbe, r, g, b);
  return r;
}

float SampleAt(int c, int x, int y) { return static_cast<float>(c * 100 + y * 13 + x) / 64.0f; }

template <class L>
void Fill(L& image) {
  for (int c = 0; c < L::kChannels; ++c)
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) {
        if constexpr (std::is_same_v<typename L::Sample, int>)
          image.channels[c][y][x] = static_cast<int>(SampleAt(c, x, y) * 64);
        else
          image.channels[c][y][x] = typename L::Sample(SampleAt(c, x, y));
      }
}

class HdrImageTest : public ::testing::Test {
 protected:
  // ReadHDRPlanes with its message on standard error swallowed.
  int Read(const std::string& path, double& gamma) {
    ::testing::internal::CaptureStderr();
    const int result = ReadHDRPlanes(path, planes[0], planes[1], planes[2], gamma);
    ::testing::internal::GetCapturedStderr();
    return result;
  }

  template <class L>
  void SaveAndRead() {
    const std::string path = dir.File(std::to_string(L::kTypeId) + ".hdr");
    L image;
    image.Resize(11, 3);
    Fill(image);
    image.gamma = 1.8;
    image.whiteLevel = 64;
    constexpr bool kComplex = std::is_same_v<typename L::Sample, std::complex<float>>;
    ASSERT_EQ(SaveImageHDR(image, path), kComplex ? -1 : 0) << L::kTypeId;
    if constexpr (kComplex) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      double gamma = 0;
      ASSERT_EQ(Read(path, gamma), 0);
      EXPECT_EQ(gamma, 1.8f);
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(planes[c].Width(), 11);
        ASSERT_EQ(planes[c].Height(), 3);
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < 11; ++x)
            ASSERT_EQ(planes[c][y][x], ThroughRGBE(SampleAt(L::kChannels == 3 ? c : 0, x, y)))
                << L::kTypeId;
      }
    }
  }

  // A file of the header lines, the format and size lines, then pixelBytes zero bytes.
  std::string File(const std::string& lines, const std::string& size, std::size_t pixelBytes) {
    const std::string text = lines + "FORMAT=32-bit_rle_rgbe\n\n" + size;
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.resize(bytes.size() + pixelBytes, 0);
    WriteFileBytes(dir.File("h.hdr"), bytes);
    return dir.File("h.hdr");
  }

  TempDir dir;
  FloatArray planes[3];
};

TEST_F(HdrImageTest, EveryImageTypeIsSavedOrRefused) {
  SaveAndRead<Int1Image>();
  SaveAndRead<Float1Image>();
  SaveAndRead<Complex1Image>();
  SaveAndRead<Int3Image>();
  SaveAndRead<Float3Image>();
  SaveAndRead<Complex3Image>();
}

TEST_F(HdrImageTest, FilesMatchTheCodecWritingTheWholeImage) {
  for (const int width : {5, 9}) {
    Float3Image image;
    image.Resize(width, 4);
    Fill(image);
    image.gamma = 2.2;
    ASSERT_EQ(SaveImageHDR(image, dir.File("ours.hdr")), 0);
    std::vector<float> pixels;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) pixels.push_back(image.channels[c][y][x]);
    std::FILE* f = std::fopen(dir.File("codec.hdr").c_str(), "wb");
    RGBEHeaderInfo info;
    info.valid = RGBE_VALID_GAMMA;
    info.gamma = 2.2f;
    ASSERT_EQ(WriteHeader(f, width, 4, &info), 0);
    ASSERT_EQ(WritePixelsRLE(f, pixels.data(), width, 4), 0);
    std::fclose(f);
    EXPECT_EQ(ReadFileBytes(dir.File("ours.hdr")), ReadFileBytes(dir.File("codec.hdr"))) << width;
  }
}

TEST_F(HdrImageTest, UnsavableImagesCreateNoFile) {
  Int3Image yuv;  // the shape of a YUV10 frame: half-width chroma
  yuv.channels[0].Resize(12, 2);
  yuv.channels[1].Resize(6, 2);
  yuv.channels[2].Resize(6, 2);
  EXPECT_EQ(SaveImageHDR(yuv, dir.File("yuv.hdr")), -1);
  Int1Image unscaled;
  unscaled.Resize(2, 2);
  unscaled.whiteLevel = 0;
  EXPECT_EQ(SaveImageHDR(unscaled, dir.File("white.hdr")), -1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  Float1Image plain;
  plain.Resize(2, 2);
  plain.Fill(1);
  EXPECT_EQ(SaveImageHDR(plain, dir.File("no/such/dir.hdr")), -1);
}

TEST_F(HdrImageTest, TruncatedAndHostileFilesAreRefusedWithoutTouchingThePlanes) {
  Float3Image image;
  image.Resize(9, 3);
  Fill(image);
  ASSERT_EQ(SaveImageHDR(image, dir.File("full.hdr")), 0);
  const std::vector<std::uint8_t> full = ReadFileBytes(dir.File("full.hdr"));
  planes[0].Resize(1, 1);
  double gamma = 5;
  for (std::size_t n = 0; n < full.size(); ++n) {
    WriteFileBytes(dir.File("part.hdr"),
                   {full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)});
    ASSERT_EQ(Read(dir.File("part.hdr"), gamma), -1) << n;
  }
  EXPECT_EQ(planes[0].Width(), 1);
  EXPECT_EQ(gamma, 5);
  EXPECT_EQ(Read(dir.File("missing.hdr"), gamma), -1);

  // Each size asks for far more than its file holds, and would exhaust memory if believed.
  for (const char* size :
       {"-Y 2000000000 +X 2000000000\n", "-Y 2000000000 +X 100\n", "-Y 1 +X 2000000000\n"})
    EXPECT_EQ(Read(File("", size, 4096), gamma), -1) << size;
  EXPECT_EQ(Read(File("", "-Y -5 +X 8\n", 4096), gamma), -1);
  EXPECT_EQ(planes[0].Width(), 1);
  // Nothing to read: an empty image, however many rows of nothing it claims.
  ASSERT_EQ(Read(File("#?RGBE\n", "-Y 2000000000 +X 0\n", 0), gamma), 0);
  EXPECT_EQ(planes[0].Height(), 0);
  EXPECT_EQ(gamma, 1.0);
  // Zero bytes are flat black pixels; an unusable gamma counts as none.
  ASSERT_EQ(Read(File("#?RGBE\nGAMMA=-2\n", "-Y 2 +X 3\n", 24), gamma), 0);
  EXPECT_EQ(gamma, 1.0);
  EXPECT_EQ(planes[2].Width(), 3);
  EXPECT_EQ(planes[2][1][2], 0.0f);
}

}  // namespace
}  // namespace kandrel::testing
