// The RGBE codec: pixel encoding against a frexp reference, the header lines and every error
// text, the run-length packet choice, flat versus encoded widths, and damaged scanlines.
#include "io/rgbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encode(float r, float g, float b) {
  Bytes rgbe(4);
  FloatToRGBE(rgbe.data(), r, g, b);
  return rgbe;
}

std::array<float, 3> Decode(const Bytes& rgbe) {
  std::array<float, 3> c;
  RGBEToFloat(rgbe.data(), c[0], c[1], c[2]);
  return c;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The textbook conversion, with negative components clamped at 0.
Bytes ReferenceEncode(float r, float g, float b) {
  const float v = std::max({r, g, b});
  if (!(v >= 1e-32f)) return {0, 0, 0, 0};
  int e = 0;
  const float s = static_cast<float>(std::frexp(v, &e) * 256.0 / v);
  auto m = [s](float c) { return std::uint8_t(c * s <= 0 ? 0 : c * s > 255 ? 255 : c * s + 0.5); };
  return {m(r), m(g), m(b), static_cast<std::uint8_t>(e + 128)};
}

// Decoded pixels (fixed points of the codec), alternating runs of 40 and noise.
std::vector<float> Pattern(int width, int height) {
  std::vector<float> pixels;
  std::mt19937 random(static_cast<unsigned>(width + height));
  for (int i = 0; i < width * height; ++i) {
    const bool run = i / 40 % 2 != 0;
    const auto d = Decode({std::uint8_t(run ? 200 : 128 + random() % 128),
                           std::uint8_t(random() % 128), std::uint8_t(run ? 0 : random() % 128),
                           std::uint8_t(run ? 130 : 120 + random() % 16)});
    pixels.insert(pixels.end(), d.begin(), d.end());
  }
  return pixels;
}

class RgbeTest : public ::testing::Test {
 protected:
  // The bytes a writer puts on a fresh stream.
  template <class Write>
  Bytes Written(Write write) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_EQ(write(f), 0);
    std::fclose(f);
    return ReadFileBytes(path);
  }

  // A routine's result on a stream holding bytes; what it printed goes to printed.
  template <class Run>
  int RunOn(const Bytes& bytes, Run run) {
    WriteFileBytes(path, bytes);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ::testing::internal::CaptureStderr();
    const int result = run(f);
    printed = ::testing::internal::GetCapturedStderr();
    std::fclose(f);
    return result;
  }

  TempDir dir;
  const std::string path = dir.File("stream.hdr");
  std::string printed;
};

TEST(RgbePixelTest, EncodingEdgeCases) {
  EXPECT_EQ(Encode(1, 1, 1), (Bytes{128, 128, 128, 129}));
  EXPECT_EQ(Decode({128, 128, 128, 129}), (std::array<float, 3>{1, 1, 1}));
  EXPECT_EQ(Encode(0, 0, 0), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Encode(1, 0.5f, 0.25f), (Bytes{128, 64, 32, 129}));
  EXPECT_EQ(Encode(0.9999999f, 0, 0), (Bytes{255, 0, 0, 128}));  // 255.99997 clamps, not 256 → 0
  EXPECT_EQ(Encode(1, -0.5f, 0.25f), (Bytes{128, 0, 32, 129}));  // not 193: negatives clamp at 0
  EXPECT_EQ(Encode(-1, -2, -3), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Encode(9e-33f, 0, 0), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Encode(1, std::nanf(""), 0), (Bytes{128, 0, 0, 129}));
  // From 2^127 up the exponent byte would wrap to 0 (black); it saturates instead.
  EXPECT_EQ(Encode(std::ldexp(1.0f, 127), 0, 0), (Bytes{255, 0, 0, 255}));
  EXPECT_EQ(Encode(std::numeric_limits<float>::infinity(), 1, 0), (Bytes{255, 0, 0, 255}));
  EXPECT_EQ(Decode({255, 0, 0, 255})[0], std::ldexp(255.0f, 119));
  EXPECT_EQ(Decode({1, 0, 0, 1})[0], std::ldexp(1.0f, -135));  // subnormal, still exact
  EXPECT_EQ(Decode({9, 9, 9, 0}), (std::array<float, 3>{0, 0, 0}));
}

TEST(RgbePixelTest, AgreesWithTheFrexpReferenceAndKeepsCanonicalBytes) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> exponent(-110, 127), sign(-0.3f, 1);
  for (int i = 0; i < 200000; ++i) {
    float c[3];
    for (float& v : c) v = std::copysign(std::exp2(exponent(random)), sign(random));
    ASSERT_EQ(Encode(c[0], c[1], c[2]), ReferenceEncode(c[0], c[1], c[2])) << c[0] << " " << c[1];
  }
  // Every byte pattern whose largest mantissa is at least 128 survives decoding and encoding.
  for (int e = 30; e < 256; ++e)
    for (int m = 128; m < 256; ++m) {
      const Bytes rgbe{std::uint8_t(m % 97), std::uint8_t(m), std::uint8_t(m / 2), std::uint8_t(e)};
      const auto c = Decode(rgbe);
      ASSERT_EQ(Encode(c[0], c[1], c[2]), rgbe) << e << " " << m;
    }
}

TEST_F(RgbeTest, HeaderLinesAreWrittenAndParsed) {
  const std::string tail = "FORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n";
  EXPECT_EQ(Written([](std::FILE* f) { return WriteHeader(f, 3, 2, nullptr); }),
            Text("#?RGBE\n" + tail));
  RGBEHeaderInfo info;
  info.valid = RGBE_VALID_GAMMA;
  std::snprintf(info.programType, sizeof info.programType, "RADIANCE");  // not valid: not written
  info.gamma = 2.2f;
  info.exposure = 0.5f;
  EXPECT_EQ(Written([&](std::FILE* f) { return WriteHeader(f, 3, 2, &info); }),
            Text("#?RGBE\nGAMMA=2.2\n" + tail));
  info.valid = RGBE_VALID_PROGRAMTYPE | RGBE_VALID_GAMMA | RGBE_VALID_EXPOSURE;
  const Bytes full = Written([&](std::FILE* f) { return WriteHeader(f, 3, 2, &info); });
  EXPECT_EQ(full, Text("#?RADIANCE\nGAMMA=2.2\nEXPOSURE=0.5\n" + tail));

  RGBEHeaderInfo got;
  int width = 0, height = 0;
  auto read = [&](const Bytes& bytes) {
    got.valid = 99;
    return RunOn(bytes, [&](std::FILE* f) { return ReadHeader(f, &width, &height, &got); });
  };
  ASSERT_EQ(read(full), 0);
  EXPECT_EQ(got.valid, 7);
  EXPECT_STREQ(got.programType, "RADIANCE");
  EXPECT_EQ(got.gamma, 2.2f);
  EXPECT_EQ(got.exposure, 0.5f);
  EXPECT_EQ(width * 10 + height, 32);
  // No "#?" line; other lines ignored, however long (a bare tail of 127 is no empty line).
  const std::string command(254, 'c');
  ASSERT_EQ(read(Text("GAMMA=1.8\n" + command + "\n# a\nFORMAT=32-bit_rle_rgbe\n\n-Y 5 +X 40\n")),
            0);
  EXPECT_EQ(got.valid, RGBE_VALID_GAMMA);
  EXPECT_EQ(got.gamma, 1.8f);
  EXPECT_EQ(got.exposure, 1.0f);
  EXPECT_EQ(width * 10 + height, 405);
  // Lines after FORMAT (stb_image_write puts EXPOSURE there) up to the blank line.
  ASSERT_EQ(read(Text("#?RADIANCE\n# Made with stb\nFORMAT=32-bit_rle_rgbe\nEXPOSURE=          "
                      "1.0000000000000\n# note\nGAMMA=2\nSOFTWARE=x y\n\n-Y 4 +X 9\n")),
            0);
  EXPECT_EQ(got.valid, 7);
  EXPECT_EQ(got.gamma, 2.0f);
  EXPECT_EQ(got.exposure, 1.0f);
  EXPECT_EQ(width * 10 + height, 94);
  // The program type stops at a space or after 15 characters.
  ASSERT_EQ(read(Text("#?ABCDEFGHIJKLMNOPQ\n" + tail)), 0);
  EXPECT_STREQ(got.programType, "ABCDEFGHIJKLMNO");
  ASSERT_EQ(read(Text("#?AB CD\n" + tail)), 0);
  EXPECT_STREQ(got.programType, "AB");
  EXPECT_EQ(RunOn(Text("#?AB\n" + tail),
                  [&](std::FILE* f) { return ReadHeader(f, &width, &height, nullptr); }),
            0);
  EXPECT_TRUE(printed.empty());
}

TEST_F(RgbeTest, BrokenHeadersPrintTheirMessages) {
  const std::string format = "#?RGBE\nFORMAT=32-bit_rle_rgbe\n";
  const std::string noSize = "RGBE bad file format: missing image size specifier\n";
  const std::pair<std::string, std::string> cases[] = {
      {"#?RGBE\n\n", "RGBE bad file format: no FORMAT specifier found\n"},
      {format + "-Y 1 +X 1\n", "RGBE bad file format: missing blank line after FORMAT specifier\n"},
      {format + "EXPOSURE=1\n-Y 1 +X 1\n",
       "RGBE bad file format: missing blank line after FORMAT specifier\n"},
      {format + "EXPOSURE=1\n", "RGBE read error"},
      {format + "\nY 1 X 1\n", noSize},
      {format + "\n -Y 1 +X 1\n", noSize},
      {format + "\n-Y -1 +X 1\n", noSize},
      {format + "\n-Y 1 +X 99999999999\n", noSize},
      {"", "RGBE read error"},
      {"#?RGBE\n", "RGBE read error"},
      {format, "RGBE read error"},
      {format + "\n", "RGBE read error"},
  };
  for (const auto& [header, message] : cases) {
    int width = 0, height = 0;
    RGBEHeaderInfo info;
    EXPECT_EQ(
        RunOn(Text(header), [&](std::FILE* f) { return ReadHeader(f, &width, &height, &info); }),
        -1);
    EXPECT_EQ(printed.substr(0, message.size()), message) << header;
  }
  EXPECT_EQ(RunOn({}, [](std::FILE* f) { return WriteHeader(f, -1, 1, nullptr); }), -1);
  EXPECT_EQ(printed, noSize);
}

TEST_F(RgbeTest, RunsAndLiteralsAreChosenAsDocumented) {
  // One scanline whose red plane is the given bytes (green and blue 0, exponent byte 128).
  auto encoded = [&](const Bytes& red) {
    std::vector<float> pixels;
    for (std::uint8_t m : red) pixels.insert(pixels.end(), {m / 256.0f, 0, 0});
    return Written(
        [&](std::FILE* f) { return WritePixelsRLE(f, pixels.data(), int(red.size()), 1); });
  };
  EXPECT_EQ(encoded({200, 200, 200, 200, 200, 200, 200, 200, 200, 200, 150, 170, 190}),
            (Bytes{2, 2, 0, 13, 138, 200, 3, 150, 170, 190, 141, 0, 141, 0, 141, 128}));
  // A short run gets a run packet only when it is all that precedes a long run.
  EXPECT_EQ(encoded({150, 150, 150, 200, 200, 200, 200, 200}),
            (Bytes{2, 2, 0, 8, 131, 150, 133, 200, 136, 0, 136, 0, 136, 128}));
  EXPECT_EQ(encoded({150, 150, 160, 200, 200, 200, 200, 200}),
            (Bytes{2, 2, 0, 8, 3, 150, 150, 160, 133, 200, 136, 0, 136, 0, 136, 128}));
  // Literals stop at 128 bytes, runs at 127.
  Bytes noise(300), expected{2, 2, 1, 44};
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = std::uint8_t(128 + i % 2);
  for (std::size_t start = 0; start < 300; start += 128) {
    const std::size_t end = std::min<std::size_t>(300, start + 128);
    expected.push_back(std::uint8_t(end - start));
    expected.insert(expected.end(), noise.begin() + long(start), noise.begin() + long(end));
  }
  for (std::uint8_t byte : {0, 0, 128})
    expected.insert(expected.end(), {255, byte, 255, byte, 174, byte});
  EXPECT_EQ(encoded(noise), expected);
}

TEST_F(RgbeTest, NarrowAndWideImagesAreFlatOthersEncoded) {
  for (const int width : {7, 8, 32767, 32768}) {
    const std::vector<float> pixels = Pattern(width, 2);
    const Bytes bytes =
        Written([&](std::FILE* f) { return WritePixelsRLE(f, pixels.data(), width, 2); });
    if (width == 8 || width == 32767)
      EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4),
                (Bytes{2, 2, std::uint8_t(width >> 8), std::uint8_t(width)}));
    else
      EXPECT_EQ(bytes,
                Written([&](std::FILE* f) { return WritePixels(f, pixels.data(), width * 2); }));
    std::vector<float> read(pixels.size(), -1);
    ASSERT_EQ(RunOn(bytes, [&](std::FILE* f) { return ReadPixelsRLE(f, read.data(), width, 2); }),
              0);
    EXPECT_EQ(read, pixels) << width;
  }
  // Flat data at an encodable width, from the start or after an encoded first scanline.
  const std::vector<float> pixels = Pattern(9, 3);
  const Bytes flat = Written([&](std::FILE* f) { return WritePixels(f, pixels.data(), 27); });
  const Bytes mixed = Written([&](std::FILE* f) {
    const int first = WritePixelsRLE(f, pixels.data(), 9, 1);
    return first | WritePixels(f, pixels.data() + 27, 18);
  });
  for (const Bytes& bytes : {flat, mixed}) {
    std::vector<float> read(pixels.size(), -1);
    ASSERT_EQ(RunOn(bytes, [&](std::FILE* f) { return ReadPixelsRLE(f, read.data(), 9, 3); }), 0);
    EXPECT_EQ(read, pixels);
  }
}

TEST_F(RgbeTest, DamagedScanlinesAndImpossibleSizesAreRefused) {
  std::vector<float> pixels(3 * 8 * 2);
  auto read = [&](const Bytes& bytes, int height = 2) {
    return RunOn(bytes, [&](std::FILE* f) { return ReadPixelsRLE(f, pixels.data(), 8, height); });
  };
  EXPECT_EQ(read({2, 2, 0, 9}), -1);
  EXPECT_EQ(printed, "RGBE bad file format: wrong scanline width\n");
  for (const Bytes& bytes : {Bytes{2, 2, 0, 8, 0, 1}, Bytes{2, 2, 0, 8, 137, 1},
                             Bytes{2, 2, 0, 8, 4, 1, 1, 1, 1, 5, 1}}) {
    EXPECT_EQ(read(bytes), -1);
    EXPECT_EQ(printed, "RGBE bad file format: bad scanline data\n");
  }
  for (const Bytes& bytes :
       {Bytes{2, 2, 0}, Bytes{2, 2, 0, 8, 136, 1, 136}, Bytes{2, 2, 0, 8, 8, 1, 2}, Bytes(33)}) {
    EXPECT_EQ(read(bytes), -1);
    EXPECT_EQ(printed.substr(0, 15), "RGBE read error");
  }
  const std::string noSize = "RGBE bad file format: missing image size specifier\n";
  EXPECT_EQ(read({}, -1), -1);
  EXPECT_EQ(printed, noSize);
  EXPECT_EQ(RunOn({}, [&](std::FILE* f) { return ReadPixels(f, pixels.data(), -1); }), -1);
  EXPECT_EQ(printed, noSize);
  EXPECT_EQ(RunOn({}, [&](std::FILE* f) { return WritePixelsRLE(f, pixels.data(), -8, 1); }), -1);
  EXPECT_EQ(printed, noSize);

  EXPECT_EQ(MinimumPixelBytes(7, 3), 84u);
  EXPECT_EQ(MinimumPixelBytes(127, 3), 36u);  // marker and one 127-run per plane
  EXPECT_EQ(MinimumPixelBytes(128, 1), 20u);
  EXPECT_EQ(MinimumPixelBytes(2000000000, 2000000000), 16000000000000000000u);
  EXPECT_EQ(RunOn(Bytes(83), [](std::FILE* f) { return CheckPixelDataFits(f, 7, 3); }), -1);
  EXPECT_EQ(printed.substr(0, 15), "RGBE read error");
  EXPECT_EQ(RunOn(Bytes(84), [](std::FILE* f) { return CheckPixelDataFits(f, 7, 3); }), 0);
}

}  // namespace
}  // namespace kandrel::testing
