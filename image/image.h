// Typed images: the six image types (one or three channels of int, float or complex float) that
// flow through every process graph, their display attributes, scalar operations and stream form.
#pragma once

#include <array>
#include <complex>
#include <memory>
#include <string>

#include "image/array2d.h"
#include "image/byte_stream.h"
#include "image/image_window.h"

namespace kandrel {

enum ImageTypeId : int {
  kTypeUnknown = 0,
  kTypeInt1 = 1,
  kTypeFloat1 = 2,
  kTypeComplex1 = 3,
  kTypeInt3 = 4,
  kTypeFloat3 = 5,
  kTypeComplex3 = 6,
};
constexpr int kImageTypeCount = 6;

// "(Unknown)", "Int 1ch", … "Complex 3ch"; entry 0 for anything outside 1..6.
const char* ImageTypeName(int typeId);

enum ColorSpace : int { kRgb = 0, kYCrCb = 1, kHsv = 2, kXyz = 3, kLab = 4, kNoColorSpace = 100 };

// Region of interest; right and bottom are exclusive.
struct ViewRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const ViewRect&) const = default;
};

class Image {
 public:
  Image() = default;
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  // Closes and destroys the window.
  virtual ~Image();

  // Stream form: colorSpace, whiteLevel, then per channel width, height and the samples.
  virtual void WriteTo(ByteStream& stream) const = 0;
  // Reads the stream form into this image (which must be of the stored type); 0 on success,
  // -1 when the stream is short or holds an impossible size (the image stays consistent).
  virtual int ReadFrom(ByteStream& stream) = 0;
  virtual int TypeId() const { return kTypeUnknown; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Resizes every channel, then resets the view.
  virtual void Resize(int width, int height) = 0;

  void CreateWindow();
  void RefreshWindow();
  void ShowWindow();
  void HideWindow();
  std::string WindowName() const;
  bool IsWindowVisible() const;
  ImageWindow* Window() const { return window_.get(); }

  // Exchanges the samples (every channel, with its size) with other, an image of the same type;
  // nothing happens for an image of another type.
  virtual void SwapSamples(Image& other) = 0;
  virtual void Fill(double value) = 0;
  virtual void AddScalar(double value) = 0;
  virtual void SubtractScalar(double value) = 0;
  virtual void MultiplyScalar(double value) = 0;
  virtual void DivideScalar(double value) = 0;

  void ResetView();

  int channelCount = 0;
  int colorSpace = kNoColorSpace;
  std::string name;
  double whiteLevel = 255.0;
  double gamma = 2.2;
  ViewRect view;

 private:
  std::unique_ptr<ImageWindow> window_;
};

template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
class Layers final : public Image {
 public:
  using ArrayType = ArrayT;
  using Sample = typename ArrayT::value_type;
  static constexpr int kChannels = NCH;
  static constexpr int kTypeId = TYPEID;

  Layers() {
    channelCount = NCH;
    colorSpace = CS;
    whiteLevel = WHITE;
  }

  void WriteTo(ByteStream& stream) const override;
  int ReadFrom(ByteStream& stream) override;
  int TypeId() const override { return TYPEID; }
  int Width() const override { return channels[0].Width(); }
  int Height() const override { return channels[0].Height(); }
  void Resize(int width, int height) override {
    for (ArrayT& c : channels) c.Resize(width, height);
    ResetView();
  }

  void SwapSamples(Image& other) override {
    if (other.TypeId() != TYPEID) return;
    auto& same = static_cast<Layers&>(other);
    for (int c = 0; c < NCH; ++c) channels[c].Swap(same.channels[c]);
  }
  void Fill(double value) override;
  void AddScalar(double value) override;
  void SubtractScalar(double value) override;
  void MultiplyScalar(double value) override;
  void DivideScalar(double value) override;

  std::array<ArrayT, NCH> channels;
};

using Int1Image = Layers<Array2D<int>, 1, 100, 255, 1>;
using Float1Image = Layers<Array2D<float>, 1, 100, 1, 2>;
using Complex1Image = Layers<Array2D<std::complex<float>>, 1, 100, 1, 3>;
using Int3Image = Layers<Array2D<int>, 3, 0, 255, 4>;
using Float3Image = Layers<Array2D<float>, 3, 0, 1, 5>;
using Complex3Image = Layers<Array2D<std::complex<float>>, 3, 0, 1, 6>;

// A new image of the given type with 0 × 0 channels, or null for an id outside 1..6.
std::unique_ptr<Image> CreateImage(int typeId);

// The concrete type behind an image, or null when it is of another type.
template <class L>
L* As(Image* image) {
  return image != nullptr && image->TypeId() == L::kTypeId ? static_cast<L*>(image) : nullptr;
}
template <class L>
const L* As(const Image* image) {
  return image != nullptr && image->TypeId() == L::kTypeId ? static_cast<const L*>(image) : nullptr;
}

// body.template operator()<L>() for the concrete type L of the id: what it returns, or 1 for an
// id outside 1..6.
template <class Body>
int WithImageType(int typeId, Body&& body) {
  switch (typeId) {
    case kTypeInt1: return body.template operator()<Int1Image>();
    case kTypeFloat1: return body.template operator()<Float1Image>();
    case kTypeComplex1: return body.template operator()<Complex1Image>();
    case kTypeInt3: return body.template operator()<Int3Image>();
    case kTypeFloat3: return body.template operator()<Float3Image>();
    case kTypeComplex3: return body.template operator()<Complex3Image>();
    default: return 1;
  }
}

extern template class Layers<Array2D<int>, 1, 100, 255, 1>;
extern template class Layers<Array2D<float>, 1, 100, 1, 2>;
extern template class Layers<Array2D<std::complex<float>>, 1, 100, 1, 3>;
extern template class Layers<Array2D<int>, 3, 0, 255, 4>;
extern template class Layers<Array2D<float>, 3, 0, 1, 5>;
extern template class Layers<Array2D<std::complex<float>>, 3, 0, 1, 6>;

}  // namespace kandrel
