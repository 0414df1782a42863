// Arrays and typed images: creation, the scalar operations per sample type, resizing, unequal
// channel sizes, the stream form and its refusal of damaged streams, and image windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "image/array2d.h"
#include "image/display.h"
#include "image/image.h"
#include "process/headless_host.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using ImageTest = KandrelTest;

template <class T>
T SampleAt(int c, int x, int y) {
  const int v = c * 1000 + y * 37 + x - 50;  // distinct per position, negative ones included
  if constexpr (std::is_same_v<T, std::complex<float>>)
    return {static_cast<float>(v) + 0.25f, -0.5f * static_cast<float>(v)};
  else if constexpr (std::is_same_v<T, float>)
    return static_cast<float>(v) / 8.0f;
  else
    return static_cast<T>(v);
}

template <class L>
void FillPattern(L& image) {
  for (int c = 0; c < L::kChannels; ++c)
    for (int y = 0; y < image.channels[c].Height(); ++y)
      for (int x = 0; x < image.channels[c].Width(); ++x)
        image.channels[c][y][x] = SampleAt<typename L::Sample>(c, x, y);
}

// Every channel must hold exactly the samples it reports (ASan checks the reads).
template <class L>
void ExpectConsistent(const L& image) {
  for (const auto& channel : image.channels) {
    std::size_t n = 0;
    for (int y = 0; y < channel.Height(); ++y)
      for (int x = 0; x < channel.Width(); ++x, ++n) (void)channel[y][x];
    EXPECT_EQ(n, channel.SampleCount());
  }
  EXPECT_EQ(image.view, (ViewRect{0, 0, image.Width(), image.Height()}));
}

TEST(Array2DTest, CopiesResizesAndRefusesNegativeSizes) {
  IntArray a(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) a[y][x] = 10 * y + x;
  EXPECT_EQ(a[1], a.Data() + 3);

  IntArray b(5, 5);
  b = a;
  a[1][2] = -1;  // the copy owns its own samples
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(b[1][2], 12);
  EXPECT_EQ(b[1][0], 10);

  const int* before = b.Data();
  b = a;  // same size: copied in place
  EXPECT_EQ(b.Data(), before);
  EXPECT_EQ(b[1][2], -1);
  b.Resize(3, 2);
  EXPECT_EQ(b.Data(), before);
  EXPECT_EQ(b[1][2], -1);

  EXPECT_THROW(b.Resize(-1, 4), std::length_error);
  EXPECT_THROW(b.Resize(4, -1), std::length_error);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Data(), before);
  EXPECT_EQ(b[0][1], 1);

  ComplexArray z(2, 2);
  for (const std::complex<float>& s : z) EXPECT_EQ(s, std::complex<float>(0, 0));
}

TEST(Array2DTest, TruncationAndRoundingAreDefinedForEveryDouble) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(TruncateToInt(-2.9), -2);
  EXPECT_EQ(TruncateToInt(std::nan("")), 0);
  EXPECT_EQ(TruncateToInt(1e300), kMax);
  EXPECT_EQ(TruncateToInt(-1e300), kMin);
  EXPECT_EQ(TruncateToInt(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(TruncateToInt(2147483647.9), kMax);
  EXPECT_EQ(TruncateToInt(-2147483648.9), kMin);

  EXPECT_EQ(RoundHalfAwayFromZero(2.5), 3);
  EXPECT_EQ(RoundHalfAwayFromZero(-2.5), -3);
  EXPECT_EQ(RoundHalfAwayFromZero(-0.5), -1);
  // The largest double below one half: adding 0.5 first would round it up to 1.
  EXPECT_EQ(RoundHalfAwayFromZero(0.49999999999999994), 0);
  EXPECT_EQ(RoundHalfAwayFromZero(-0.49999999999999994), 0);
  EXPECT_EQ(RoundHalfAwayFromZero(std::nan("")), 0);
  EXPECT_EQ(RoundHalfAwayFromZero(2147483647.4), kMax);
  EXPECT_EQ(RoundHalfAwayFromZero(-1e300), kMin);
}

TEST_F(ImageTest, CreateImageGivesEmptyTypedImagesAndNullOutsideOneToSix) {
  EXPECT_EQ(CreateImage(0), nullptr);
  EXPECT_EQ(CreateImage(7), nullptr);
  EXPECT_STREQ(ImageTypeName(7), "(Unknown)");

  const int channels[] = {0, 1, 1, 1, 3, 3, 3};
  const double white[] = {0, 255, 1, 1, 255, 1, 1};
  for (int t = 1; t <= 6; ++t) {
    SCOPED_TRACE(ImageTypeName(t));
    std::unique_ptr<Image> image = CreateImage(t);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->TypeId(), t);
    EXPECT_EQ(image->channelCount, channels[t]);
    EXPECT_EQ(image->colorSpace, channels[t] == 3 ? 0 : 100);
    EXPECT_EQ(image->whiteLevel, white[t]);
    EXPECT_EQ(image->gamma, 2.2);
    EXPECT_TRUE(image->name.empty());
    EXPECT_EQ(image->view, ViewRect{});
    EXPECT_EQ(image->Width(), 0);
    EXPECT_EQ(image->Height(), 0);
    EXPECT_EQ(image->Window(), nullptr);
    EXPECT_EQ(image->WindowName(), "NoName?");
  }
  std::unique_ptr<Image> int3 = CreateImage(kTypeInt3);
  EXPECT_STREQ(ImageTypeName(int3->TypeId()), "Int 3ch");
  EXPECT_EQ(As<Float3Image>(int3.get()), nullptr);
  for (const IntArray& c : As<Int3Image>(int3.get())->channels) EXPECT_EQ(c.SampleCount(), 0u);
}

TEST_F(ImageTest, IntScalarOperationsTruncateTowardZero) {
  Int3Image image;
  image.Resize(2, 2);
  image.Fill(2.9);
  for (const IntArray& c : image.channels)
    for (int s : c) EXPECT_EQ(s, 2);
  image.Fill(-2.9);
  EXPECT_EQ(image.channels[2][1][1], -2);
  image.Fill(-3);
  image.MultiplyScalar(0.5);
  EXPECT_EQ(image.channels[1][0][1], -1);
  image.Fill(-7);
  image.DivideScalar(2);
  EXPECT_EQ(image.channels[0][1][0], -3);
  image.Fill(10);
  image.AddScalar(1.9);  // the scalar is truncated before adding
  image.SubtractScalar(-1.9);
  EXPECT_EQ(image.channels[0][0][0], 12);
  image.MultiplyScalar(1e10);  // far outside int32: saturates instead of undefined behaviour
  EXPECT_EQ(image.channels[0][0][0], std::numeric_limits<int>::max());
}

TEST_F(ImageTest, FloatAndComplexScalarOperations) {
  Float1Image f;
  f.Resize(3, 1);
  // Products and quotients are formed in double; in float they would come out one ulp off.
  const double factor = 1.0 / 3.5;
  ASSERT_NE(3.0f * static_cast<float>(factor), static_cast<float>(3.0 * factor));
  f.Fill(3);
  f.MultiplyScalar(factor);
  EXPECT_EQ(f.channels[0][0][2], static_cast<float>(3.0 * factor));
  f.Fill(3);
  f.DivideScalar(0.9);
  ASSERT_NE(3.0f / static_cast<float>(0.9), static_cast<float>(3.0 / 0.9));
  EXPECT_EQ(f.channels[0][0][1], static_cast<float>(3.0 / 0.9));
  f.Fill(-2.9);
  f.AddScalar(0.5);
  EXPECT_EQ(f.channels[0][0][0], -2.4f);

  Complex3Image z;
  z.Resize(2, 3);
  z.Fill(0.5);
  for (const ComplexArray& c : z.channels)
    for (const std::complex<float>& s : c) EXPECT_EQ(s, std::complex<float>(0.5f, 0));
  for (ComplexArray& c : z.channels)
    for (std::complex<float>& s : c) s.imag(-4);
  z.AddScalar(1);
  EXPECT_EQ(z.channels[2][2][1], std::complex<float>(1.5f, -4));
  z.SubtractScalar(0.25);
  EXPECT_EQ(z.channels[1][0][0], std::complex<float>(1.25f, -4));
  z.MultiplyScalar(2);
  EXPECT_EQ(z.channels[0][1][1], std::complex<float>(2.5f, -8));
  z.DivideScalar(-4);
  EXPECT_EQ(z.channels[0][1][1], std::complex<float>(-0.625f, 2));
}

TEST_F(ImageTest, ResizeKeepsSamplesOnlyAtTheSameSizeAndAlwaysResetsTheView) {
  Complex1Image image;
  image.Resize(4, 3);
  EXPECT_EQ(image.view, (ViewRect{0, 0, 4, 3}));
  image.Fill(7);
  image.view = ViewRect{1, 1, 2, 2};
  image.Resize(4, 3);
  EXPECT_EQ(image.channels[0][2][3], std::complex<float>(7, 0));
  EXPECT_EQ(image.view, (ViewRect{0, 0, 4, 3}));
  image.Resize(5, 2);
  EXPECT_EQ(image.Width(), 5);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(image.view, (ViewRect{0, 0, 5, 2}));
  EXPECT_EQ(image.channels[0][1][4], std::complex<float>(0, 0));
}

TEST_F(ImageTest, SubsampledChromaReportsChannelZeroAndRoundTrips) {
  Int3Image image;
  image.channels[0].Resize(1920, 1080);
  image.channels[1].Resize(960, 1080);
  image.channels[2].Resize(960, 1080);
  FillPattern(image);
  EXPECT_EQ(image.Width(), 1920);
  EXPECT_EQ(image.Height(), 1080);
  MemoryStream stream;
  image.WriteTo(stream);
  EXPECT_EQ(stream.Size(), 12 + 3 * 8 + (1920 + 2 * 960) * 1080 * 4);
  stream.Seek(0);
  Int3Image back;
  ASSERT_EQ(back.ReadFrom(stream), 0);
  EXPECT_EQ(back.view, (ViewRect{0, 0, 1920, 1080}));
  for (int c = 0; c < 3; ++c) {
    EXPECT_TRUE(back.channels[c].SameSize(image.channels[c]));
    EXPECT_TRUE(std::equal(back.channels[c].begin(), back.channels[c].end(), image.channels[c].begin()));
  }
}

template <class L>
void CheckRoundTrip() {
  SCOPED_TRACE(ImageTypeName(L::kTypeId));
  const int sizes[3][2] = {{5, 3}, {2, 3}, {4, 1}};
  L image;
  for (int c = 0; c < L::kChannels; ++c) image.channels[c].Resize(sizes[c][0], sizes[c][1]);
  FillPattern(image);
  image.colorSpace = 4;
  image.whiteLevel = 1023.5;
  MemoryStream stream;
  image.WriteTo(stream);
  EXPECT_EQ(stream.Remaining(), 0);
  stream.Seek(0);

  L back;
  back.gamma = 1.0;
  back.name = "kept";
  ASSERT_EQ(back.ReadFrom(stream), 0);
  EXPECT_FALSE(stream.Damaged());
  EXPECT_EQ(back.colorSpace, 4);
  EXPECT_EQ(back.whiteLevel, 1023.5);
  EXPECT_EQ(back.gamma, 1.0);  // not part of the stream form
  EXPECT_EQ(back.name, "kept");
  EXPECT_EQ(back.view, (ViewRect{0, 0, 5, 3}));
  for (int c = 0; c < L::kChannels; ++c) {
    ASSERT_EQ(back.channels[c].Width(), sizes[c][0]);
    ASSERT_EQ(back.channels[c].Height(), sizes[c][1]);
    for (int y = 0; y < sizes[c][1]; ++y)
      for (int x = 0; x < sizes[c][0]; ++x)
        EXPECT_EQ(back.channels[c][y][x], (SampleAt<typename L::Sample>(c, x, y)));
  }

  // Every proper prefix is refused, and leaves an image that holds what it reports.
  const std::vector<std::uint8_t>& whole = stream.Bytes();
  for (std::size_t n = 0; n < whole.size(); ++n) {
    MemoryStream prefix(std::vector<std::uint8_t>(whole.begin(), whole.begin() + n));
    L partial;
    ASSERT_EQ(partial.ReadFrom(prefix), -1) << n << " bytes";
    ExpectConsistent(partial);
  }
}

TEST_F(ImageTest, StreamFormRoundTripsUnequalChannelsOfEveryType) {
  CheckRoundTrip<Int1Image>();
  CheckRoundTrip<Float1Image>();
  CheckRoundTrip<Complex1Image>();
  CheckRoundTrip<Int3Image>();
  CheckRoundTrip<Float3Image>();
  CheckRoundTrip<Complex3Image>();
}

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t bits, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

TEST_F(ImageTest, StreamFormLayoutIsExact) {
  Complex1Image image;
  image.Resize(2, 1);
  image.channels[0][0][0] = {1.0f, -2.0f};
  image.channels[0][0][1] = {0.5f, 0.0f};
  image.whiteLevel = 2.0;
  MemoryStream stream;
  image.WriteTo(stream);
  std::vector<std::uint8_t> expected;
  AppendLittleEndian(expected, 100, 4);
  AppendLittleEndian(expected, 0x4000000000000000u, 8);  // 2.0
  AppendLittleEndian(expected, 2, 4);
  AppendLittleEndian(expected, 1, 4);
  for (std::uint32_t bits : {0x3F800000u, 0xC0000000u, 0x3F000000u, 0u}) AppendLittleEndian(expected, bits, 4);
  EXPECT_EQ(stream.Bytes(), expected);

  Int3Image rgb;
  rgb.Resize(1, 1);
  rgb.channels[0][0][0] = -2;
  rgb.channels[1][0][0] = 0x01020304;
  rgb.channels[2][0][0] = 255;
  MemoryStream second;
  rgb.WriteTo(second);
  expected.clear();
  AppendLittleEndian(expected, 0, 4);
  AppendLittleEndian(expected, 0x406FE00000000000u, 8);  // 255.0
  for (std::uint32_t sample : {0xFFFFFFFEu, 0x01020304u, 255u}) {
    AppendLittleEndian(expected, 1, 4);
    AppendLittleEndian(expected, 1, 4);
    AppendLittleEndian(expected, sample, 4);
  }
  EXPECT_EQ(second.Bytes(), expected);
}

TEST_F(ImageTest, ImpossibleSizesAreRefusedBeforeAllocating) {
  auto claim = [](std::int32_t width, std::int32_t height) {
    MemoryStream stream;
    WriteI32(stream, 0);
    WriteF64(stream, 1.0);
    WriteI32(stream, width);
    WriteI32(stream, height);
    for (int i = 0; i < 16; ++i) WriteF32(stream, 1.0f);
    stream.Seek(0);
    return stream;
  };
  const std::int32_t kHuge = std::numeric_limits<std::int32_t>::max();
  // Empty channels of absurd extent are refused too: their row table alone would be gigabytes.
  const std::int32_t claims[][2] = {{kHuge, kHuge}, {kHuge, 1}, {1, kHuge}, {-1, 2}, {2, -1},
                                    {std::numeric_limits<std::int32_t>::min(), -1}, {0, kHuge},
                                    {kHuge, 0}};
  for (const auto& size : claims) {
    SCOPED_TRACE(::testing::Message() << size[0] << " x " << size[1]);
    Complex3Image image;
    image.Resize(2, 2);
    MemoryStream stream = claim(size[0], size[1]);
    EXPECT_EQ(image.ReadFrom(stream), -1);
    EXPECT_LE(image.channels[0].SampleCount(), 4u);
    ExpectConsistent(image);
  }
  // Exactly enough samples for the first channel; the second channel's size is missing.
  Float3Image image;
  MemoryStream stream = claim(4, 4);
  EXPECT_EQ(image.ReadFrom(stream), -1);
  EXPECT_EQ(image.Width(), 4);
  EXPECT_EQ(image.channels[0][3][3], 1.0f);
  ExpectConsistent(image);
}

TEST_F(ImageTest, WindowsAreNumberedFromZeroAndTheHundredAndFirstStaysUnnumbered) {
  ASSERT_EQ(ImageWindowRegistry::Instance().RegisteredCount(), 0);
  std::vector<std::unique_ptr<Image>> images;
  for (int i = 0; i < 101; ++i) {
    images.push_back(CreateImage(kTypeFloat1));
    images.back()->CreateWindow();
  }
  EXPECT_EQ(images[0]->WindowName(), "Image0");
  EXPECT_EQ(images[1]->WindowName(), "Image1");
  EXPECT_EQ(images[99]->WindowName(), "Image99");
  EXPECT_EQ(images[100]->WindowName(), "Image");
  EXPECT_EQ(ImageWindowRegistry::Instance().RegisteredCount(), 100);

  ImageWindow* window = images[3]->Window();
  images[3]->CreateWindow();  // an image keeps its one window
  EXPECT_EQ(images[3]->Window(), window);

  images[5].reset();  // destroying an image frees its window's number for the next one
  auto reused = CreateImage(kTypeInt1);
  reused->CreateWindow();
  EXPECT_EQ(reused->WindowName(), "Image5");
  reused.reset();
  images.clear();
  EXPECT_EQ(ImageWindowRegistry::Instance().RegisteredCount(), 0);
}

TEST_F(ImageTest, WindowVisibilityAndRefresh) {
  Int1Image image;
  image.ShowWindow();  // without a window this does nothing
  EXPECT_FALSE(image.IsWindowVisible());
  SetImageWindowFactory(nullptr);
  image.CreateWindow();
  EXPECT_EQ(image.WindowName(), "NoName?");
  SetImageWindowFactory(&host);

  image.CreateWindow();
  auto* window = dynamic_cast<HeadlessImageWindow*>(image.Window());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(image.IsWindowVisible());
  image.RefreshWindow();  // hidden windows are not repainted
  EXPECT_EQ(window->RefreshCount(), 0);
  image.ShowWindow();
  EXPECT_TRUE(image.IsWindowVisible());
  const int shown = window->RefreshCount();
  image.RefreshWindow();
  EXPECT_EQ(window->RefreshCount(), shown + 1);
  image.HideWindow();
  EXPECT_FALSE(image.IsWindowVisible());

  // The stand-in computes its picture only when asked, from the samples and settings of that
  // moment.
  image.Resize(2, 1);
  image.channels[0][0][0] = 255;
  image.channels[0][0][1] = 0;
  image.RefreshWindow();
  window->Refresh(true);
  EXPECT_EQ(window->Display().GetPicture().ScanLine(0)[2], 255);
  EXPECT_EQ(window->Display().GetPicture().ScanLine(0)[4 + 2], 0);
  image.channels[0][0][1] = 255;
  image.whiteLevel = 510;
  window->Refresh(false);
  EXPECT_EQ(window->Display().GetPicture().ScanLine(0)[4 + 2], 128);
}

}  // namespace
}  // namespace kandrel::testing
