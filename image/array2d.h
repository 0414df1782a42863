// Array2D: one rectangular channel of samples in a single contiguous block, with a table of row
// pointers so that samples are addressed as array[y][x] without a multiplication per access.
// Arrays are plain values owned by their image or by a local; they are never shared.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace kandrel {

template <class T>
class Array2D {
 public:
  using value_type = T;

  Array2D() = default;
  Array2D(int width, int height) { Resize(width, height); }
  Array2D(const Array2D& other) { *this = other; }
  Array2D(Array2D&& other) noexcept { Swap(other); }
  Array2D& operator=(Array2D&& other) noexcept {
    Array2D moved(std::move(other));
    Swap(moved);
    return *this;
  }
  // Copies every sample; the storage is reallocated only when the size differs.
  Array2D& operator=(const Array2D& other) {
    if (this == &other) return *this;
    Resize(other.width_, other.height_);
    if (SampleCount() != 0) std::copy(other.data_.get(), other.data_.get() + SampleCount(), data_.get());
    return *this;
  }

  // Reallocates for a new size; the old contents are not carried over. Keeping the size costs
  // nothing and keeps the samples. New complex samples are (0, 0), others are left undefined.
  // Throws std::bad_alloc or std::length_error and leaves the array unchanged when the size
  // cannot be held.
  void Resize(int width, int height) {
    if (width == width_ && height == height_) return;
    if (width < 0 || height < 0) throw std::length_error("negative array size");
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T) / 2)
      throw std::length_error("array too large");
    std::unique_ptr<T[]> data;
    std::unique_ptr<T*[]> rows;
    if (count != 0) {
      if constexpr (std::is_trivially_default_constructible_v<T>)
        data.reset(new T[count]);  // deliberately uninitialised: every caller writes all samples
      else
        data.reset(new T[count]());
    }
    if (height != 0) {
      rows.reset(new T*[static_cast<std::size_t>(height)]);
      for (int y = 0; y < height; ++y)
        rows[y] = data.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    }
    data_ = std::move(data);
    rows_ = std::move(rows);
    width_ = width;
    height_ = height;
  }

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::size_t SampleCount() const {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  }
  bool SameSize(const Array2D& other) const {
    return width_ == other.width_ && height_ == other.height_;
  }

  T* Data() { return data_.get(); }
  const T* Data() const { return data_.get(); }
  T* operator[](int y) { return rows_[y]; }
  const T* operator[](int y) const { return rows_[y]; }
  T* begin() { return data_.get(); }
  T* end() { return data_.get() + SampleCount(); }
  const T* begin() const { return data_.get(); }
  const T* end() const { return data_.get() + SampleCount(); }

  void Swap(Array2D& other) noexcept {
    data_.swap(other.data_);
    rows_.swap(other.rows_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
  }

 private:
  std::unique_ptr<T[]> data_;
  std::unique_ptr<T*[]> rows_;
  int width_ = 0;
  int height_ = 0;
};

using IntArray = Array2D<int>;
using FloatArray = Array2D<float>;
using ComplexArray = Array2D<std::complex<float>>;
using ByteArray = Array2D<unsigned char>;

// C-style truncation toward zero of a double into int32, defined for every input: values outside
// the int32 range saturate and NaN gives 0 (a plain cast would be undefined there).
inline int32_t TruncateToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// Rounding half away from zero, as the framework uses when float results return to int.
// std::round is exact; adding 0.5 first would carry 0.49999999999999994 up to 1.
inline int32_t RoundHalfAwayFromZero(double v) { return TruncateToInt(std::round(v)); }

}  // namespace kandrel
