#include "image/opencv_bridge.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <type_traits>

namespace kandrel {
namespace {

// Integer depths keep the low bits of the (truncated) value; float depths take the value.
template <class Dst, class Src>
Dst ConvertSample(Src v) {
  if constexpr (std::is_integral_v<Dst> && std::is_floating_point_v<Src>)
    return static_cast<Dst>(TruncateToInt(v));
  else
    return static_cast<Dst>(v);
}

template <class Dst, class Src, std::size_t N>
void Fill(IplImage* ipl, const std::array<const Array2D<Src>*, N>& planes) {
  const int width = planes[0]->Width();
  for (int y = 0; y < planes[0]->Height(); ++y) {
    Dst* row =
        reinterpret_cast<Dst*>(ipl->imageData + static_cast<std::ptrdiff_t>(y) * ipl->widthStep);
    for (std::size_t c = 0; c < N; ++c) {
      const Src* in = (*planes[c])[y];
      for (int x = 0; x < width; ++x)
        row[static_cast<std::size_t>(x) * N + c] = ConvertSample<Dst>(in[x]);
    }
  }
}

// The depths an IplImage can have. Others are refused before OpenCV sees them: cvCreateImage
// would throw after allocating the header, which it then leaks.
bool IsIplDepth(int depth) {
  switch (static_cast<unsigned>(depth)) {
    case IPL_DEPTH_8U:
    case IPL_DEPTH_8S:
    case IPL_DEPTH_16U:
    case IPL_DEPTH_16S:
    case IPL_DEPTH_32S:
    case IPL_DEPTH_32F:
    case IPL_DEPTH_64F:
      return true;
    default:
      return false;
  }
}

template <class Src, std::size_t N>
IplImage* ToIpl(const std::array<const Array2D<Src>*, N>& planes, int depth, int defaultDepth) {
  for (const auto* plane : planes)
    if (!plane->SameSize(*planes[0])) return nullptr;
  if (depth == 0) depth = defaultDepth;
  if (!IsIplDepth(depth)) return nullptr;
  IplImage* ipl = nullptr;
  try {
    ipl =
        cvCreateImage(cvSize(planes[0]->Width(), planes[0]->Height()), depth, static_cast<int>(N));
  } catch (const std::exception&) {
    return nullptr;
  }
  if (ipl == nullptr) return nullptr;
  switch (static_cast<unsigned>(depth)) {  // the signed depth codes are unsigned constants
    case IPL_DEPTH_8U:
      Fill<std::uint8_t>(ipl, planes);
      break;
    case IPL_DEPTH_16U:
      Fill<std::uint16_t>(ipl, planes);
      break;
    case IPL_DEPTH_16S:
      Fill<std::int16_t>(ipl, planes);
      break;
    case IPL_DEPTH_32S:
      Fill<std::int32_t>(ipl, planes);
      break;
    case IPL_DEPTH_32F:
      Fill<float>(ipl, planes);
      break;
    case IPL_DEPTH_64F:
      Fill<double>(ipl, planes);
      break;
    default:  // not converted, but never left undefined
      if (ipl->imageData != nullptr)
        std::memset(ipl->imageData, 0, static_cast<std::size_t>(ipl->imageSize));
      break;
  }
  return ipl;
}

}  // namespace

IplImage* IntArrayToIpl(const IntArray& array, int depth) {
  return ToIpl(std::array{&array}, depth, IPL_DEPTH_32S);
}

IplImage* FloatArrayToIpl(const FloatArray& array, int depth) {
  return ToIpl(std::array{&array}, depth, IPL_DEPTH_64F);
}

IplImage* Planes8ToIpl(const ByteArray& p0, const ByteArray& p1, const ByteArray& p2, int depth) {
  return ToIpl(std::array{&p0, &p1, &p2}, depth, IPL_DEPTH_8U);
}

IplImage* IntPlanesToIpl(const IntArray& a0, const IntArray& a1, const IntArray& a2, int depth) {
  return ToIpl(std::array{&a0, &a1, &a2}, depth, IPL_DEPTH_32S);
}

IplImage* FloatPlanesToIpl(const FloatArray& a0, const FloatArray& a1, const FloatArray& a2,
                           int depth) {
  return ToIpl(std::array{&a0, &a1, &a2}, depth, IPL_DEPTH_64F);
}

IplImage* ImageToIpl(const Image& image, int depth) {
  if (const auto* i1 = As<Int1Image>(&image)) return IntArrayToIpl(i1->channels[0], depth);
  if (const auto* f1 = As<Float1Image>(&image)) return FloatArrayToIpl(f1->channels[0], depth);
  if (const auto* i3 = As<Int3Image>(&image))
    return IntPlanesToIpl(i3->channels[0], i3->channels[1], i3->channels[2], depth);
  if (const auto* f3 = As<Float3Image>(&image))
    return FloatPlanesToIpl(f3->channels[0], f3->channels[1], f3->channels[2], depth);
  return nullptr;
}

namespace {

template <class T>
void CopyDisparities(const CvMat& mat, Array2D<T>& dst) {
  for (int y = 0; y < mat.rows; ++y) {
    const auto* in = reinterpret_cast<const std::int16_t*>(
        mat.data.ptr + static_cast<std::ptrdiff_t>(y) * mat.step);
    T* out = dst[y];
    for (int x = 0; x < mat.cols; ++x) out[x] = static_cast<T>(in[x]);
  }
}

}  // namespace

int MatToImage(const CvMat* mat, Image& image) {
  if (mat == nullptr || CV_MAT_TYPE(mat->type) != CV_16SC1) return -1;
  image.Resize(mat->cols, mat->rows);
  if (auto* i1 = As<Int1Image>(&image)) CopyDisparities(*mat, i1->channels[0]);
  if (auto* f1 = As<Float1Image>(&image)) CopyDisparities(*mat, f1->channels[0]);
  return 0;
}

}  // namespace kandrel
