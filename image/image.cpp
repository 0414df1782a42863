#include "image/image.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace kandrel {

const char* ImageTypeName(int typeId) {
  static constexpr const char* kNames[] = {"(Unknown)", "Int 1ch",  "Float 1ch",  "Complex 1ch",
                                           "Int 3ch",   "Float 3ch", "Complex 3ch"};
  return typeId >= 1 && typeId <= kImageTypeCount ? kNames[typeId] : kNames[0];
}

Image::~Image() = default;

void Image::CreateWindow() {
  if (window_ != nullptr) return;
  if (ImageWindowFactory* factory = GetImageWindowFactory()) window_ = factory->CreateImageWindow(*this);
}

void Image::RefreshWindow() {
  if (window_ != nullptr && window_->IsVisible()) window_->Refresh(true);
}

void Image::ShowWindow() {
  if (window_ != nullptr) window_->Show();
}

void Image::HideWindow() {
  if (window_ != nullptr && window_->IsVisible()) window_->Hide();
}

std::string Image::WindowName() const { return window_ != nullptr ? window_->Caption() : "NoName?"; }

bool Image::IsWindowVisible() const { return window_ != nullptr && window_->IsVisible(); }

void Image::ResetView() { view = ViewRect{0, 0, Width(), Height()}; }

namespace {

// Per-sample rules of the scalar operations; int arithmetic wraps like the 32-bit machine add
// instead of overflowing into undefined behaviour.
inline int WrapAdd(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

struct ScalarOps {
  static void Fill(int& s, double v) { s = TruncateToInt(v); }
  static void Fill(float& s, double v) { s = static_cast<float>(v); }
  static void Fill(std::complex<float>& s, double v) { s = {static_cast<float>(v), 0.0f}; }

  static void Add(int& s, double v) { s = WrapAdd(s, TruncateToInt(v)); }
  static void Add(float& s, double v) {
    s = static_cast<float>(static_cast<double>(s) + static_cast<float>(v));
  }
  static void Add(std::complex<float>& s, double v) {
    s.real(static_cast<float>(static_cast<double>(s.real()) + static_cast<float>(v)));
  }

  static void Subtract(int& s, double v) {
    s = static_cast<int>(static_cast<unsigned>(s) - static_cast<unsigned>(TruncateToInt(v)));
  }
  static void Subtract(float& s, double v) {
    s = static_cast<float>(static_cast<double>(s) - static_cast<float>(v));
  }
  static void Subtract(std::complex<float>& s, double v) {
    s.real(static_cast<float>(static_cast<double>(s.real()) - static_cast<float>(v)));
  }

  static void Multiply(int& s, double v) { s = TruncateToInt(s * v); }
  static void Multiply(float& s, double v) { s = static_cast<float>(s * v); }
  static void Multiply(std::complex<float>& s, double v) {
    const float f = static_cast<float>(v);
    s = {s.real() * f, s.imag() * f};
  }

  static void Divide(int& s, double v) { s = TruncateToInt(s / v); }
  static void Divide(float& s, double v) { s = static_cast<float>(s / v); }
  static void Divide(std::complex<float>& s, double v) {
    const float f = static_cast<float>(v);
    s = {s.real() / f, s.imag() / f};
  }
};

template <class Channels, class Op>
void ForEachSample(Channels& channels, Op op) {
  for (auto& channel : channels)
    for (auto& s : channel) op(s);
}

// Samples go to and from the stream as whole blocks: int32 and float32 as they are, complex as
// real then imaginary float32. That is the little-endian stream form only on a little-endian host.
static_assert(std::endian::native == std::endian::little);

template <class T>
void WriteSamples(ByteStream& stream, const Array2D<T>& a) {
  stream.Write(a.Data(), a.SampleCount() * sizeof(T));
}

template <class T>
bool ReadSamples(ByteStream& stream, Array2D<T>& a) {
  return stream.Read(a.Data(), a.SampleCount() * sizeof(T));
}

}  // namespace

template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
void Layers<ArrayT, NCH, CS, WHITE, TYPEID>::WriteTo(ByteStream& stream) const {
  WriteI32(stream, colorSpace);
  WriteF64(stream, whiteLevel);
  for (const ArrayT& c : channels) {
    WriteI32(stream, c.Width());
    WriteI32(stream, c.Height());
    WriteSamples(stream, c);
  }
}

template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
int Layers<ArrayT, NCH, CS, WHITE, TYPEID>::ReadFrom(ByteStream& stream) {
  std::uint8_t attributes[12];
  int result = stream.Read(attributes, sizeof attributes) ? 0 : -1;
  if (result == 0) {
    colorSpace = LoadI32(attributes);
    whiteLevel = LoadF64(attributes + 4);
  }
  for (ArrayT& c : channels) {
    if (result != 0) break;
    const std::int32_t width = ReadI32(stream, -1);
    const std::int32_t height = ReadI32(stream, -1);
    // A size the stream cannot hold is refused before anything is allocated for it.
    // Compared as a sample count: width · height fits in 64 bits, the byte count may not.
    const std::int64_t samples = static_cast<std::int64_t>(width) * height;
    // Neither side may exceed 2^24 either: an empty channel still gets one row pointer per row.
    constexpr std::int32_t kLargestSide = 1 << 24;
    if (width < 0 || height < 0 || width > kLargestSide || height > kLargestSide ||
        samples > stream.Remaining() / static_cast<std::int64_t>(sizeof(Sample))) {
      result = -1;
      break;
    }
    c.Resize(width, height);
    if (!ReadSamples(stream, c)) result = -1;
  }
  ResetView();
  return result;
}

template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
void Layers<ArrayT, NCH, CS, WHITE, TYPEID>::Fill(double value) {
  ForEachSample(channels, [value](Sample& s) { ScalarOps::Fill(s, value); });
}
template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
void Layers<ArrayT, NCH, CS, WHITE, TYPEID>::AddScalar(double value) {
  ForEachSample(channels, [value](Sample& s) { ScalarOps::Add(s, value); });
}
template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
void Layers<ArrayT, NCH, CS, WHITE, TYPEID>::SubtractScalar(double value) {
  ForEachSample(channels, [value](Sample& s) { ScalarOps::Subtract(s, value); });
}
template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
void Layers<ArrayT, NCH, CS, WHITE, TYPEID>::MultiplyScalar(double value) {
  ForEachSample(channels, [value](Sample& s) { ScalarOps::Multiply(s, value); });
}
template <class ArrayT, int NCH, int CS, int WHITE, int TYPEID>
void Layers<ArrayT, NCH, CS, WHITE, TYPEID>::DivideScalar(double value) {
  ForEachSample(channels, [value](Sample& s) { ScalarOps::Divide(s, value); });
}

template class Layers<Array2D<int>, 1, 100, 255, 1>;
template class Layers<Array2D<float>, 1, 100, 1, 2>;
template class Layers<Array2D<std::complex<float>>, 1, 100, 1, 3>;
template class Layers<Array2D<int>, 3, 0, 255, 4>;
template class Layers<Array2D<float>, 3, 0, 1, 5>;
template class Layers<Array2D<std::complex<float>>, 3, 0, 1, 6>;

std::unique_ptr<Image> CreateImage(int typeId) {
  try {
    switch (typeId) {
      case kTypeInt1: return std::make_unique<Int1Image>();
      case kTypeFloat1: return std::make_unique<Float1Image>();
      case kTypeComplex1: return std::make_unique<Complex1Image>();
      case kTypeInt3: return std::make_unique<Int3Image>();
      case kTypeFloat3: return std::make_unique<Float3Image>();
      case kTypeComplex3: return std::make_unique<Complex3Image>();
      default: return nullptr;
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace kandrel
