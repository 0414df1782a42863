// OpenCV bridges: every depth of the conversion table from int, float and 8-bit planes (no
// clamping), the default depths, interleaving of three planes, images by type, and the 16-bit
// disparity matrix back into an image.
#include "image/opencv_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "image/image.h"

namespace kandrel::testing {
namespace {

struct IplReleaser {
  void operator()(IplImage* ipl) const { cvReleaseImage(&ipl); }
};
using Ipl = std::unique_ptr<IplImage, IplReleaser>;

template <class T>
Array2D<T> Plane(int width, int height, const std::vector<T>& values) {
  Array2D<T> a(width, height);
  for (std::size_t i = 0; i < a.SampleCount(); ++i) a.Data()[i] = values[i % values.size()];
  return a;
}

// Sample c of pixel (x, y), read as the depth's element type.
template <class T>
T At(const IplImage* ipl, int x, int y, int c = 0) {
  T v;
  std::memcpy(&v, ipl->imageData + y * ipl->widthStep + (x * ipl->nChannels + c) * sizeof(T),
              sizeof(T));
  return v;
}

// What the table asks of each depth, written out per source type.
double Expected(int depth, double v, bool fromFloat) {
  const double truncated = fromFloat ? std::trunc(v) : v;
  const auto low = static_cast<std::int64_t>(truncated);
  switch (static_cast<unsigned>(depth)) {
    case IPL_DEPTH_8U:
      return static_cast<double>(low & 0xFF);
    case IPL_DEPTH_16U:
      return static_cast<double>(low & 0xFFFF);
    case IPL_DEPTH_16S:
      return static_cast<double>(static_cast<std::int16_t>(low & 0xFFFF));
    case IPL_DEPTH_32S:
      return static_cast<double>(static_cast<std::int32_t>(low));
    case IPL_DEPTH_32F:
      return static_cast<double>(static_cast<float>(v));
    default:
      return v;
  }
}

double Read(const IplImage* ipl, int x, int y, int c) {
  switch (static_cast<unsigned>(ipl->depth)) {
    case IPL_DEPTH_8U:
      return At<std::uint8_t>(ipl, x, y, c);
    case IPL_DEPTH_16U:
      return At<std::uint16_t>(ipl, x, y, c);
    case IPL_DEPTH_16S:
      return At<std::int16_t>(ipl, x, y, c);
    case IPL_DEPTH_32S:
      return At<std::int32_t>(ipl, x, y, c);
    case IPL_DEPTH_32F:
      return At<float>(ipl, x, y, c);
    default:
      return At<double>(ipl, x, y, c);
  }
}

const int kDepths[] = {
    IPL_DEPTH_8U,  IPL_DEPTH_16U, static_cast<int>(IPL_DEPTH_16S), static_cast<int>(IPL_DEPTH_32S),
    IPL_DEPTH_32F, IPL_DEPTH_64F};

TEST(OpenCvBridgeTest, EveryDepthConvertsWithoutClamping) {
  const std::vector<int> ints = {-1,
                                 256,
                                 300,
                                 70000,
                                 -70000,
                                 0,
                                 255,
                                 std::numeric_limits<int>::min(),
                                 std::numeric_limits<int>::max(),
                                 16777217};
  const std::vector<float> floats = {-1.5f, 257.9f, 300.25f, -2.9f, 65536.5f, 0.0f, 1e9f, 0.1f};
  const IntArray intPlane = Plane(5, 3, ints);  // odd width: rows padded to four bytes
  const FloatArray floatPlane = Plane(5, 3, floats);
  for (int depth : kDepths) {
    Ipl fromInt(IntArrayToIpl(intPlane, depth));
    Ipl fromFloat(FloatArrayToIpl(floatPlane, depth));
    ASSERT_NE(fromInt, nullptr);
    ASSERT_NE(fromFloat, nullptr);
    EXPECT_EQ(fromInt->depth, depth);
    EXPECT_EQ(fromInt->nChannels, 1);
    EXPECT_EQ(fromInt->width, 5);
    EXPECT_EQ(fromInt->height, 3);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(Read(fromInt.get(), x, y, 0), Expected(depth, intPlane[y][x], false))
            << "depth " << depth << " int " << intPlane[y][x];
        EXPECT_EQ(Read(fromFloat.get(), x, y, 0), Expected(depth, floatPlane[y][x], true))
            << "depth " << depth << " float " << floatPlane[y][x];
      }
    }
  }
  Ipl bytes(IntArrayToIpl(intPlane, IPL_DEPTH_8U));
  EXPECT_EQ(At<std::uint8_t>(bytes.get(), 0, 0), 255);  // −1
  EXPECT_EQ(At<std::uint8_t>(bytes.get(), 1, 0), 0);    // 256
  EXPECT_EQ(At<std::uint8_t>(bytes.get(), 2, 0), 44);   // 300

  // Depth 0 is the default depth.
  EXPECT_EQ(Ipl(IntArrayToIpl(intPlane))->depth, static_cast<int>(IPL_DEPTH_32S));
  EXPECT_EQ(Ipl(FloatArrayToIpl(floatPlane, 0))->depth, IPL_DEPTH_64F);
  // A float that is no int truncates to a defined value rather than an undefined one.
  const FloatArray odd = Plane<float>(2, 1, {std::nanf(""), -1e30f});
  Ipl truncated(FloatArrayToIpl(odd, static_cast<int>(IPL_DEPTH_32S)));
  EXPECT_EQ(At<std::int32_t>(truncated.get(), 0, 0), 0);
  EXPECT_EQ(At<std::int32_t>(truncated.get(), 1, 0), std::numeric_limits<int>::min());
}

TEST(OpenCvBridgeTest, ThreePlanesInterleaveInOrder) {
  const ByteArray p0 = Plane<unsigned char>(3, 2, {1, 255});
  const ByteArray p1 = Plane<unsigned char>(3, 2, {2, 128});
  const ByteArray p2 = Plane<unsigned char>(3, 2, {3, 0});
  for (int depth : kDepths) {
    Ipl ipl(Planes8ToIpl(p0, p1, p2, depth));
    ASSERT_NE(ipl, nullptr);
    EXPECT_EQ(ipl->nChannels, 3);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        for (int c = 0; c < 3; ++c) {
          const ByteArray& p = c == 0 ? p0 : c == 1 ? p1 : p2;
          EXPECT_EQ(Read(ipl.get(), x, y, c), p[y][x]) << depth;  // zero-extended, even in 16S
        }
  }
  EXPECT_EQ(Ipl(Planes8ToIpl(p0, p1, p2))->depth, IPL_DEPTH_8U);

  const IntArray a0 = Plane<int>(4, 2, {-1, 10}), a1 = Plane<int>(4, 2, {300}),
                 a2 = Plane<int>(4, 2, {7});
  Ipl ints(IntPlanesToIpl(a0, a1, a2, IPL_DEPTH_8U));
  EXPECT_EQ(At<std::uint8_t>(ints.get(), 0, 1, 0), 255);
  EXPECT_EQ(At<std::uint8_t>(ints.get(), 1, 1, 0), 10);
  EXPECT_EQ(At<std::uint8_t>(ints.get(), 3, 1, 1), 44);
  EXPECT_EQ(At<std::uint8_t>(ints.get(), 3, 1, 2), 7);
  EXPECT_EQ(Ipl(IntPlanesToIpl(a0, a1, a2))->depth, static_cast<int>(IPL_DEPTH_32S));

  const FloatArray f0 = Plane<float>(2, 2, {0.5f}), f1 = Plane<float>(2, 2, {-2.25f}),
                   f2 = Plane<float>(2, 2, {1e-3f});
  Ipl floats(FloatPlanesToIpl(f0, f1, f2));
  EXPECT_EQ(floats->depth, IPL_DEPTH_64F);
  EXPECT_EQ(At<double>(floats.get(), 1, 1, 1), -2.25);
  EXPECT_EQ(At<double>(floats.get(), 1, 1, 2), static_cast<double>(1e-3f));

  // Sub-sampled chroma has no interleaved form; nothing outside a plane is read.
  const IntArray narrow = Plane<int>(2, 2, {1});
  EXPECT_EQ(IntPlanesToIpl(a0, narrow, narrow), nullptr);
  EXPECT_EQ(Planes8ToIpl(p0, p1, ByteArray(3, 1)), nullptr);
}

TEST(OpenCvBridgeTest, ImagesByTypeAndUnconvertedDepths) {
  Int1Image i1;
  i1.Resize(3, 2);
  i1.Fill(-1);
  Float3Image f3;
  f3.Resize(3, 2);
  f3.Fill(2.5);
  Ipl a(ImageToIpl(i1, IPL_DEPTH_8U));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->nChannels, 1);
  EXPECT_EQ(At<std::uint8_t>(a.get(), 2, 1), 255);
  Ipl b(ImageToIpl(f3));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->nChannels, 3);
  EXPECT_EQ(b->depth, IPL_DEPTH_64F);
  EXPECT_EQ(At<double>(b.get(), 2, 1, 2), 2.5);
  Int3Image i3;
  i3.Resize(2, 2);
  i3.Fill(5);
  EXPECT_EQ(Ipl(ImageToIpl(i3))->depth, static_cast<int>(IPL_DEPTH_32S));
  Float1Image f1;
  f1.Resize(2, 2);
  EXPECT_EQ(Ipl(ImageToIpl(f1))->nChannels, 1);
  EXPECT_EQ(ImageToIpl(Complex1Image()), nullptr);
  EXPECT_EQ(ImageToIpl(Complex3Image()), nullptr);

  // A depth OpenCV can create but the table does not convert: created, all zero.
  Ipl signedBytes(ImageToIpl(i1, static_cast<int>(IPL_DEPTH_8S)));
  ASSERT_NE(signedBytes, nullptr);
  EXPECT_EQ(At<std::int8_t>(signedBytes.get(), 2, 1), 0);
  // One it cannot create at all.
  EXPECT_EQ(ImageToIpl(i1, 12345), nullptr);
}

TEST(OpenCvBridgeTest, DisparityMatrixBecomesAnImage) {
  CvMat* mat = cvCreateMat(3, 4, CV_16SC1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      reinterpret_cast<std::int16_t*>(mat->data.ptr + y * mat->step)[x] =
          static_cast<std::int16_t>(y == 2   ? -32768
                                    : x == 3 ? 32767
                                             : 16 * y + x);
  Int1Image ints;
  ASSERT_EQ(MatToImage(mat, ints), 0);
  EXPECT_EQ(ints.Width(), 4);
  EXPECT_EQ(ints.Height(), 3);
  EXPECT_EQ(ints.channels[0][1][2], 18);
  EXPECT_EQ(ints.channels[0][0][3], 32767);
  EXPECT_EQ(ints.channels[0][2][0], -32768);
  EXPECT_EQ(ints.view, (ViewRect{0, 0, 4, 3}));
  Float1Image floats;
  ASSERT_EQ(MatToImage(mat, floats), 0);
  EXPECT_EQ(floats.channels[0][2][1], -32768.0f);
  EXPECT_EQ(floats.channels[0][1][1], 17.0f);
  Int3Image other;
  ASSERT_EQ(MatToImage(mat, other), 0);
  EXPECT_EQ(other.channels[2].Width(), 4);  // only resized
  cvReleaseMat(&mat);

  CvMat* bytes = cvCreateMat(2, 2, CV_8UC1);
  EXPECT_EQ(MatToImage(bytes, ints), -1);  // 2-byte reads would leave its rows
  EXPECT_EQ(ints.Width(), 4);
  EXPECT_EQ(MatToImage(nullptr, ints), -1);
  cvReleaseMat(&bytes);
}

}  // namespace
}  // namespace kandrel::testing
