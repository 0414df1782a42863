#include "blocks/filter/convolve.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "image/vector_clones.h"

namespace kandrel {

namespace {

// Lanes of a sum held in one 32-byte vector (GCC's vector extension: arithmetic applies lane by
// lane, a scalar to every lane). Only the element's alignment is assumed, so that lanes load
// from anywhere in a row.
typedef std::uint32_t UintLanes
    __attribute__((vector_size(32), aligned(alignof(std::uint32_t)), may_alias));
typedef double DoubleLanes __attribute__((vector_size(32), aligned(alignof(double)), may_alias));

// How an element type forms and sums its terms; Acc is the type a sum is held in, Lanes a
// 32-byte vector of them where kVectorised.
struct IntTerms {
  using Sample = int;
  // The int32 sum of int32 products, wrapping around as two's complement: computed in unsigned
  // arithmetic, where overflow is defined and gives the same bits.
  using Acc = std::uint32_t;
  using Lanes = UintLanes;
  static constexpr bool kVectorised = true;
  static int Narrow(Acc sum) { return static_cast<int>(sum); }
  static Acc MulAdd(Acc sum, Acc a, Acc w) { return sum + a * w; }
};

struct FloatTerms {
  using Sample = float;
  // A product of two floats is exact in double, so it is the extended-precision product; the
  // running sum is double.
  using Acc = double;
  using Lanes = DoubleLanes;
  static constexpr bool kVectorised = true;
  static float Narrow(Acc sum) { return static_cast<float>(sum); }
  static Acc MulAdd(Acc sum, Acc a, Acc w) { return sum + a * w; }
};

struct ComplexTerms {
  using Sample = std::complex<float>;
  using Acc = std::complex<float>;
  static constexpr bool kVectorised = false;
  static Sample Narrow(Acc sum) { return sum; }
  // Written out: std::complex's operator* would take the slow path that recovers infinities.
  static Acc MulAdd(Acc sum, Acc a, Acc w) {
    const float re = a.real() * w.real() - a.imag() * w.imag();
    const float im = a.real() * w.imag() + a.imag() * w.real();
    return {sum.real() + re, sum.imag() + im};
  }
};

template <class T>
struct TermsOf;
template <>
struct TermsOf<int> : IntTerms {};
template <>
struct TermsOf<float> : FloatTerms {};
template <>
struct TermsOf<std::complex<float>> : ComplexTerms {};

// Outputs summed together, held in registers across the whole kernel: eight vectors' worth,
// enough independent sums to hide the latency of an addition.
constexpr int kBlockBytes = 256;

// Every sum below runs over the kernel in its order: rows[v] is the widened image row v below
// the output's, weights the kernel in the order it is applied.

// out[x0 … x0 + count − 1], one sum per output.
template <class Terms>
inline void SumEach(const typename Terms::Acc* const* rows, const typename Terms::Acc* weights,
                    int kw, int kh, int x0, int count, typename Terms::Sample* out) {
  using Acc = typename Terms::Acc;
  Acc sums[kBlockBytes / sizeof(Acc)] = {};
  for (int v = 0; v < kh; ++v) {
    const Acc* row = rows[v] + x0;
    const Acc* w = weights + static_cast<std::size_t>(v) * kw;
    for (int u = 0; u < kw; ++u)
      for (int i = 0; i < count; ++i) sums[i] = Terms::MulAdd(sums[i], row[u + i], w[u]);
  }
  for (int i = 0; i < count; ++i) out[x0 + i] = Terms::Narrow(sums[i]);
}

// A whole block from x0, the sums in vectors.
template <class Terms>
inline void SumLanes(const typename Terms::Acc* const* rows, const typename Terms::Acc* weights,
                     int kw, int kh, int x0, typename Terms::Sample* out) {
  using Acc = typename Terms::Acc;
  using Lanes = typename Terms::Lanes;
  constexpr int kVectors = kBlockBytes / sizeof(Lanes);
  constexpr int kPerVector = sizeof(Lanes) / sizeof(Acc);
  Lanes sums[kVectors] = {};
  for (int v = 0; v < kh; ++v) {
    const Acc* row = rows[v] + x0;
    const Acc* w = weights + static_cast<std::size_t>(v) * kw;
    for (int u = 0; u < kw; ++u) {
      for (int i = 0; i < kVectors; ++i) {
        Lanes a;
        std::memcpy(&a, row + u + i * kPerVector, sizeof a);
        sums[i] += a * w[u];
      }
    }
  }
  for (int i = 0; i < kVectors; ++i)
    for (int l = 0; l < kPerVector; ++l) out[x0 + i * kPerVector + l] = Terms::Narrow(sums[i][l]);
}

template <class Terms>
KANDREL_VECTOR_CLONES void SumRow(const typename Terms::Acc* const* rows,
                                  const typename Terms::Acc* weights, int kw, int kh, int width,
                                  typename Terms::Sample* out) {
  constexpr int kBlock = static_cast<int>(kBlockBytes / sizeof(typename Terms::Acc));
  int x = 0;
  for (; x + kBlock <= width; x += kBlock) {
    if constexpr (!Terms::kVectorised)
      SumEach<Terms>(rows, weights, kw, kh, x, kBlock, out);
    else
      SumLanes<Terms>(rows, weights, kw, kh, x, out);
  }
  if (x < width) SumEach<Terms>(rows, weights, kw, kh, x, width - x, out);
}

// d[0 … left + width + right − 1] = the row s with its first and last samples repeated left and
// right times, each converted to Out.
template <class In, class Out>
KANDREL_VECTOR_CLONES void PadRow(const In* __restrict s, int width, int left, int right,
                                  Out* __restrict d) {
  std::fill(d, d + left, static_cast<Out>(s[0]));
  for (int x = 0; x < width; ++x) d[left + x] = static_cast<Out>(s[x]);
  std::fill(d + left + width, d + left + width + right, static_cast<Out>(s[width - 1]));
}

// Samples added on each side of the image, by edge replication.
struct Borders {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// ConvolveValid of the image with its borders replicated, without forming the padded image:
// each padded row is made once, widened to the sum type, into the slot its index modulo kh
// names, so that rows y … y + kh − 1 are all at hand for output row y.
template <class T>
int ConvolvePadded(const Array2D<T>& image, const Array2D<T>& kernel, bool flip, Borders b,
                   Array2D<T>& out) {
  using Terms = TermsOf<T>;
  using Acc = typename Terms::Acc;
  const int kw = kernel.Width(), kh = kernel.Height();
  const int iw = image.Width(), ih = image.Height();
  const int pw = b.left + iw + b.right, ph = b.top + ih + b.bottom;
  if (kw == 0 || kh == 0 || iw == 0 || ih == 0 || pw < kw || ph < kh) return 1;
  if (&out == &image) {
    Array2D<T> result;
    ConvolvePadded(image, kernel, flip, b, result);
    out.Swap(result);
    return 0;
  }
  std::vector<Acc> weights(static_cast<std::size_t>(kw) * kh);
  for (int v = 0; v < kh; ++v)
    for (int u = 0; u < kw; ++u)
      weights[static_cast<std::size_t>(v) * kw + u] =
          static_cast<Acc>(flip ? kernel[v][u] : kernel[kh - 1 - v][kw - 1 - u]);
  const int ow = pw - kw + 1, oh = ph - kh + 1;
  out.Resize(ow, oh);
  Array2D<Acc> ring(pw, kh);
  const auto makeRow = [&](int r) {
    PadRow(image[std::clamp(r - b.top, 0, ih - 1)], iw, b.left, b.right, ring[r % kh]);
  };
  for (int r = 0; r + 1 < kh; ++r) makeRow(r);
  std::vector<const Acc*> rows(static_cast<std::size_t>(kh));
  for (int y = 0; y < oh; ++y) {
    makeRow(y + kh - 1);
    for (int v = 0; v < kh; ++v) rows[v] = ring[(y + v) % kh];
    SumRow<Terms>(rows.data(), weights.data(), kw, kh, ow, out[y]);
  }
  return 0;
}

template <class T>
void PadEdgesOf(const Array2D<T>& src, int left, int top, int right, int bottom, Array2D<T>& dst) {
  if (&src == &dst) {
    const Array2D<T> copy(src);
    PadEdgesOf(copy, left, top, right, bottom, dst);
    return;
  }
  const int w = src.Width(), h = src.Height();
  dst.Resize(left + w + right, top + h + bottom);
  if (w == 0 || h == 0) {
    std::fill(dst.begin(), dst.end(), T{});
    return;
  }
  for (int y = 0; y < dst.Height(); ++y)
    PadRow(src[std::clamp(y - top, 0, h - 1)], w, left, right, dst[y]);
}

template <class T>
int ConvolveSameOf(const Array2D<T>& image, const Array2D<T>& kernel, bool flip, bool centered,
                   Array2D<T>& out) {
  const int kw = kernel.Width(), kh = kernel.Height();
  if (kw == 0 || kh == 0) return 1;
  if (image.Width() == 0 || image.Height() == 0) {
    out.Resize(image.Width(), image.Height());
    return 0;
  }
  Borders b;
  b.left = centered ? kw / 2 : flip ? 0 : kw - 1;
  b.top = centered ? kh / 2 : flip ? 0 : kh - 1;
  b.right = kw - 1 - b.left;
  b.bottom = kh - 1 - b.top;
  return ConvolvePadded(image, kernel, flip, b, out);
}

}  // namespace

void PadEdges(const IntArray& src, int left, int top, int right, int bottom, IntArray& dst) {
  PadEdgesOf(src, left, top, right, bottom, dst);
}
void PadEdges(const FloatArray& src, int left, int top, int right, int bottom, FloatArray& dst) {
  PadEdgesOf(src, left, top, right, bottom, dst);
}
void PadEdges(const ComplexArray& src, int left, int top, int right, int bottom,
              ComplexArray& dst) {
  PadEdgesOf(src, left, top, right, bottom, dst);
}

int ConvolveValid(const IntArray& image, const IntArray& kernel, bool flip, IntArray& out) {
  return ConvolvePadded(image, kernel, flip, {}, out);
}
int ConvolveValid(const FloatArray& image, const FloatArray& kernel, bool flip, FloatArray& out) {
  return ConvolvePadded(image, kernel, flip, {}, out);
}
int ConvolveValid(const ComplexArray& image, const ComplexArray& kernel, bool flip,
                  ComplexArray& out) {
  return ConvolvePadded(image, kernel, flip, {}, out);
}

int ConvolveSame(const IntArray& image, const IntArray& kernel, bool flip, bool centered,
                 IntArray& out) {
  return ConvolveSameOf(image, kernel, flip, centered, out);
}
int ConvolveSame(const FloatArray& image, const FloatArray& kernel, bool flip, bool centered,
                 FloatArray& out) {
  return ConvolveSameOf(image, kernel, flip, centered, out);
}
int ConvolveSame(const ComplexArray& image, const ComplexArray& kernel, bool flip, bool centered,
                 ComplexArray& out) {
  return ConvolveSameOf(image, kernel, flip, centered, out);
}

}  // namespace kandrel
