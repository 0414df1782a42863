#include "image/hdr_image.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

#include "image/replace_file.h"
#include "io/rgbe.h"

namespace kandrel {
namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr Open(const std::string& fileName, const char* mode) {
  return FilePtr(std::fopen(fileName.c_str(), mode), &std::fclose);
}

// Writes three planes as red, green and blue, each sample through toFloat. Planes of another size
// than the first (the half-width chroma of a YUV10 frame) are refused before creating the file.
template <class T, class ToFloat>
int WriteRGBEFile(const std::string& fileName, const std::array<const Array2D<T>*, 3>& planes,
                  double gamma, ToFloat toFloat) {
  const int width = planes[0]->Width();
  const int height = planes[0]->Height();
  for (const Array2D<T>* plane : planes)
    if (!plane->SameSize(*planes[0])) return -1;
  std::vector<float> row(3 * static_cast<std::size_t>(width));
  FilePtr file = Open(fileName, "wb");
  if (file == nullptr) return -1;
  RGBEHeaderInfo info;
  info.valid = RGBE_VALID_GAMMA;
  info.gamma = static_cast<float>(gamma);
  int result = WriteHeader(file.get(), width, height, &info);
  // Scanlines are encoded independently, so writing one at a time gives the same bytes as
  // writing the whole image.
  for (int y = 0; y < height && result == 0; ++y) {
    const T* rows[3] = {(*planes[0])[y], (*planes[1])[y], (*planes[2])[y]};
    float* pixel = row.data();
    for (int x = 0; x < width; ++x)
      for (const T* plane : rows) *pixel++ = toFloat(plane[x]);
    result = WritePixelsRLE(file.get(), row.data(), width, 1);
  }
  if (std::fclose(file.release()) != 0) result = -1;
  return result;
}

template <class L>
int SaveLayers(const L& image, const std::string& fileName) {
  const auto& ch = image.channels;
  std::array<const typename L::ArrayType*, 3> planes{&ch[0], &ch[0], &ch[0]};
  if constexpr (L::kChannels == 3) planes = {&ch[0], &ch[1], &ch[2]};
  if constexpr (std::is_same_v<typename L::Sample, int>) {
    const double white = image.whiteLevel;
    // Without a usable white level the samples have no scale.
    if (!std::isfinite(white) || white == 0) return -1;
    return WriteRGBEFile(fileName, planes, image.gamma,
                         [white](int v) { return static_cast<float>(v / white); });
  } else {
    return WriteRGBEFile(fileName, planes, image.gamma, [](float v) { return v; });
  }
}

}  // namespace

int SaveImageHDR(const Image& image, const std::string& fileName) {
  const auto save = [&](const auto& layers) {
    std::string error;
    const auto writeTo = [&](const std::string& temporary) {
      return SaveLayers(layers, temporary) == 0;
    };
    return ReplaceFileWith(fileName, writeTo, error) ? 0 : -1;
  };
  if (const auto* i3 = As<Int3Image>(&image)) return save(*i3);
  if (const auto* f3 = As<Float3Image>(&image)) return save(*f3);
  if (const auto* i1 = As<Int1Image>(&image)) return save(*i1);
  if (const auto* f1 = As<Float1Image>(&image)) return save(*f1);
  return -1;
}

int ReadHDRPlanes(const std::string& fileName, FloatArray& r, FloatArray& g, FloatArray& b,
                  double& gammaOut) {
  FilePtr file = Open(fileName, "rb");
  if (file == nullptr) return -1;
  RGBEHeaderInfo info;
  int width = 0;
  int height = 0;
  if (ReadHeader(file.get(), &width, &height, &info) != 0) return -1;
  if (CheckPixelDataFits(file.get(), width, height) != 0) return -1;
  // An image without pixels needs no rows either (a hostile 0 × 2000000000 would want them).
  if (width == 0 || height == 0) width = height = 0;
  std::array<FloatArray, 3> planes;
  try {
    for (FloatArray& plane : planes) plane.Resize(width, height);
  } catch (const std::exception&) {
    return -1;
  }
  const int result = ReadScanlinesRLE(file.get(), width, height, [&](int y, const float* pixels) {
    float* rows[3] = {planes[0][y], planes[1][y], planes[2][y]};
    for (int x = 0; x < width; ++x, pixels += 3)
      for (int c = 0; c < 3; ++c) rows[c][x] = pixels[c];
  });
  if (result != 0) return -1;
  r.Swap(planes[0]);
  g.Swap(planes[1]);
  b.Swap(planes[2]);
  // A gamma no display could use counts as absent.
  const bool usableGamma =
      (info.valid & RGBE_VALID_GAMMA) != 0 && std::isfinite(info.gamma) && info.gamma > 0;
  gammaOut = usableGamma ? info.gamma : 1.0;
  return 0;
}

}  // namespace kandrel
