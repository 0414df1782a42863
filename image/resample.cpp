#include "image/resample.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "image/parallel.h"
#include "image/vector_clones.h"

namespace kandrel {

namespace {

int KnownMethod(int method) {
  return method >= kResizeBilinear && method <= kResizeAreaAverage ? method : kResizeNearest;
}

int TapCount(int n, int m, int method) {
  switch (method) {
    case kResizeBilinear:
      return 2;
    case kResizeBicubic:
      return 4;
    case kResizeAreaAverage:  // ⌈n/m⌉ + 1, in 64 bits so that n + m cannot overflow
      return static_cast<int>((std::int64_t{n} + m - 1) / m + 1);
    default:
      return 1;
  }
}

// Cubic convolution with a = −1.
double CubicWeight(double x) {
  if (x <= 1) return x * x * x - 2 * x * x + 1;
  if (x < 2) return -x * x * x + 5 * x * x - 8 * x + 4;
  return 0;
}

// The weight of source sample k for the destination sample centred at c, whose footprint is
// [left, right].
double TapWeight(int method, int k, double c, double left, double right) {
  switch (method) {
    case kResizeBilinear: {
      const double x = std::fabs(k + 0.5 - c);
      return x < 1 ? 1 - x : 0;
    }
    case kResizeBicubic:
      return CubicWeight(std::fabs(k + 0.5 - c));
    case kResizeAreaAverage:
      return std::max(0.0, std::min(k + 1.0, right) - std::max(static_cast<double>(k), left));
    default:
      return 1;
  }
}

// dst[x] += line[x] × weight over a whole line; restrict lets the compiler vectorise it. The
// first tap adds to 0 explicitly rather than to a zeroed line, which saves a pass and gives the
// same bits (0 + −0 is +0).
template <bool kFirst>
void AddWeightedLine(const float* __restrict line, float weight, int length,
                     float* __restrict dst) {
  for (int x = 0; x < length; ++x) dst[x] = (kFirst ? 0.0f : dst[x]) + line[x] * weight;
}

}  // namespace

// ---- CResize_1D

void CResize_1D::Setup(int n, int m, int method) {
  n_ = std::max(n, 0);
  m_ = std::max(m, 0);
  method_ = KnownMethod(method);
  taps_ = m_ > 0 ? TapCount(n_, m_, method_) : 1;
  start_.assign(static_cast<std::size_t>(m_), 0);
  weights_.assign(static_cast<std::size_t>(m_) * taps_, 0.0f);
  if (m_ == 0) return;
  const double r = static_cast<double>(n_) / m_;
  for (int i = 0; i < m_; ++i) {
    const double c = (i + 0.5) * r;
    start_[i] = TruncateToInt(taps_ * 0.5 + c - 0.5);
    float* w = &weights_[static_cast<std::size_t>(i) * taps_];
    double sum = 0;
    for (int j = FirstTap(i); j < EndTap(i); ++j) {
      w[j] = static_cast<float>(TapWeight(method_, start_[i] - j, c, i * r, (i + 1) * r));
      sum += w[j];
    }
    if (sum > 0)
      for (int j = 0; j < taps_; ++j) w[j] = static_cast<float>(w[j] / sum);
  }
}

int CResize_1D::FirstTap(int i) const {
  return static_cast<int>(std::max<std::int64_t>(0, std::int64_t{start_[i]} - n_ + 1));
}

int CResize_1D::EndTap(int i) const {
  return static_cast<int>(std::min<std::int64_t>(taps_, std::int64_t{start_[i]} + 1));
}

template <int kTaps, class T>
void CResize_1D::ApplyLine(const T* src, float* dst) const {
  const int taps = kTaps > 0 ? kTaps : taps_;
  for (int i = 0; i < m_; ++i) {
    const int start = start_[i];
    const float* w = &weights_[static_cast<std::size_t>(i) * taps];
    float sum = 0.0f;
    if (kTaps > 0 && start - (kTaps - 1) >= 0 && start < n_) {
      // Every tap inside: a fixed count the compiler unrolls.
      for (int j = 0; j < kTaps; ++j) sum += static_cast<float>(src[start - j]) * w[j];
    } else {
      const int end = EndTap(i);
      for (int j = FirstTap(i); j < end; ++j) sum += static_cast<float>(src[start - j]) * w[j];
    }
    dst[i] = sum;
  }
}

template <class T>
void CResize_1D::ApplyLine(const T* src, float* dst) const {
  if (method_ == kResizeNearest) {
    for (int i = 0; i < m_; ++i)
      dst[i] = FirstTap(i) < EndTap(i) ? static_cast<float>(src[start_[i]]) : 0.0f;
    return;
  }
  switch (taps_) {
    case 2:
      return ApplyLine<2>(src, dst);
    case 4:
      return ApplyLine<4>(src, dst);
    default:
      return ApplyLine<0>(src, dst);
  }
}

void CResize_1D::Apply(const float* src, float* dst) const { ApplyLine(src, dst); }

void CResize_1D::Apply(const int* src, float* dst) const { ApplyLine(src, dst); }

void CResize_1D::ApplyAcrossLines(int i, const float* const* lines, int lineLength,
                                  float* dst) const {
  const int first = FirstTap(i), end = EndTap(i);
  if (method_ == kResizeNearest) {
    if (first < end)
      std::copy(lines[start_[i]], lines[start_[i]] + lineLength, dst);
    else
      std::fill(dst, dst + lineLength, 0.0f);
    return;
  }
  if (first >= end) {
    std::fill(dst, dst + lineLength, 0.0f);
    return;
  }
  const float* w = &weights_[static_cast<std::size_t>(i) * taps_];
  AddWeightedLine<true>(lines[start_[i] - first], w[first], lineLength, dst);
  for (int j = first + 1; j < end; ++j)
    AddWeightedLine<false>(lines[start_[i] - j], w[j], lineLength, dst);
}

// ---- CResize2D

CResize2D::CResize2D(int method, int dstWidth, int dstHeight)
    : method_(method), dstWidth_(std::max(dstWidth, 0)), dstHeight_(std::max(dstHeight, 0)) {}

template <class T>
void CResize2D::Resize(const Array2D<T>& src, Array2D<T>& dst) {
  if (&src == &dst) {  // the destination is resized before the source is read
    const Array2D<T> source = src;
    Resize(source, dst);
    return;
  }
  const int width = dstWidth_, height = dstHeight_;
  dst.Resize(width, height);
  if (dst.SampleCount() == 0) return;
  const int sourceHeight = src.Height();
  CResize_1D across, down;
  across.Setup(src.Width(), width, method_);
  down.Setup(sourceHeight, height, method_);

  // Source rows are resampled horizontally when the vertical taps first reach them. Start
  // indices never decrease from one destination row to the next, so only the last Taps() rows
  // are ever needed again: they stay in a small ring instead of a whole intermediate image.
  const int kept = std::max(1, std::min(down.Taps(), sourceHeight));
  widened_.resize(static_cast<std::size_t>(kept) * static_cast<std::size_t>(width));
  widenedRows_.assign(static_cast<std::size_t>(sourceHeight), nullptr);
  if constexpr (!std::is_same_v<T, float>) rowSum_.resize(static_cast<std::size_t>(width));
  int next = 0;
  for (int y = 0; y < height; ++y) {
    for (const int last = std::min(down.Start(y), sourceHeight - 1); next <= last; ++next) {
      float* row = &widened_[static_cast<std::size_t>(next % kept) * width];
      across.Apply(src[next], row);
      widenedRows_[next] = row;
    }
    if constexpr (std::is_same_v<T, float>) {
      down.ApplyAcrossLines(y, widenedRows_.data(), width, dst[y]);
    } else {
      down.ApplyAcrossLines(y, widenedRows_.data(), width, rowSum_.data());
      std::transform(rowSum_.begin(), rowSum_.end(), dst[y],
                     [](float s) { return RoundHalfAwayFromZero(s); });
    }
  }
}

void CResize2D::ResizeInt(const IntArray& src, IntArray& dst) { Resize(src, dst); }

void CResize2D::ResizeFloat(const FloatArray& src, FloatArray& dst) { Resize(src, dst); }

// ---- NearestNeighbor

namespace {

// trunc((j + 0.5) × source / destination), kept inside the source.
void FillIndexTable(std::vector<int>& table, int sourceLength, int destinationLength) {
  table.resize(static_cast<std::size_t>(destinationLength));
  const double ratio = static_cast<double>(sourceLength) / destinationLength;
  for (int j = 0; j < destinationLength; ++j)
    table[j] = std::min(TruncateToInt((j + 0.5) * ratio), sourceLength - 1);
}

}  // namespace

NearestNeighbor::NearestNeighbor(int dstWidth, int dstHeight)
    : dstWidth_(std::max(dstWidth, 0)), dstHeight_(std::max(dstHeight, 0)) {}

void NearestNeighbor::PrepareFor(int srcWidth, int srcHeight) {
  FillIndexTable(xIndex_, srcWidth, dstWidth_);
  FillIndexTable(yIndex_, srcHeight, dstHeight_);
}

namespace {

// d[2x] = d[2x + 1] = s[x]: the widening of half-width chroma, in a loop that vectorizes.
template <class T>
KANDREL_VECTOR_CLONES void DoubleWidth(const T* __restrict s, T* __restrict d, int n) {
  for (int x = 0; x < n; ++x) d[2 * x] = d[2 * x + 1] = s[x];
}

}  // namespace

template <class T>
void NearestNeighbor::ResizeRow(const Array2D<T>& src, int y, T* out) const {
  const T* s = src[yIndex_[y]];
  // Doubling the width (half-width chroma) is the table's x / 2, without the table.
  if (dstWidth_ == 2 * src.Width()) {
    DoubleWidth(s, out, src.Width());
    return;
  }
  for (int x = 0; x < dstWidth_; ++x) out[x] = s[xIndex_[x]];
}

template <class T>
void NearestNeighbor::Resize(const Array2D<T>& src, Array2D<T>& dst) {
  if (&src == &dst) {  // the destination is resized before the source is read
    const Array2D<T> source = src;
    Resize(source, dst);
    return;
  }
  dst.Resize(dstWidth_, dstHeight_);
  if (dst.SampleCount() == 0) return;
  if (src.SampleCount() == 0) {
    std::fill(dst.begin(), dst.end(), T{});
    return;
  }
  PrepareFor(src.Width(), src.Height());
  ForEachRowBand(dstHeight_, dstWidth_, [&](int rowBegin, int rowEnd) {
    for (int y = rowBegin; y < rowEnd; ++y) ResizeRow(src, y, dst[y]);
  });
}

template void NearestNeighbor::ResizeRow(const IntArray&, int, int*) const;
template void NearestNeighbor::ResizeRow(const FloatArray&, int, float*) const;

void NearestNeighbor::ResizeInt(const IntArray& src, IntArray& dst) { Resize(src, dst); }

void NearestNeighbor::ResizeFloat(const FloatArray& src, FloatArray& dst) { Resize(src, dst); }

// ---- BiCubic2x2

namespace {

// The 2n samples of a line s[0..n-1], n ≥ 3, written stride apart from out.
void DoubleLine(const float* s, int n, float* out, std::ptrdiff_t stride) {
  auto put = [&](int i, double v) { out[i * stride] = static_cast<float>(v); };
  put(0, s[0]);
  put(1, 0.75 * s[0] + 0.25 * s[1]);
  put(2, 0.25 * s[0] + 0.75 * s[1]);
  for (int p = 0; p + 3 < n; ++p) {
    put(3 + 2 * p, -0.037979126 * s[p] + 0.778488159 * s[p + 1] + 0.322784424 * s[p + 2] -
                       0.063293457 * s[p + 3]);
    put(4 + 2 * p, -0.063293457 * s[p] + 0.322784424 * s[p + 1] + 0.778488159 * s[p + 2] -
                       0.037979126 * s[p + 3]);
  }
  put(2 * n - 3, 0.75 * s[n - 2] + 0.25 * s[n - 1]);
  put(2 * n - 2, 0.25 * s[n - 2] + 0.75 * s[n - 1]);
  put(2 * n - 1, s[n - 1]);
}

}  // namespace

bool BiCubic2x2(const FloatArray& src, FloatArray& dst) {
  const int width = src.Width(), height = src.Height();
  if (width < 3 || height < 3) {
    dst.Resize(0, 0);
    return false;
  }
  // Row x of the intermediate is column x of the widened image, so both passes read lines.
  FloatArray transposed(height, 2 * width);
  for (int y = 0; y < height; ++y) DoubleLine(src[y], width, transposed.Data() + y, height);
  dst.Resize(2 * width, 2 * height);
  for (int x = 0; x < 2 * width; ++x) DoubleLine(transposed[x], height, dst.Data() + x, 2 * width);
  return true;
}

}  // namespace kandrel
