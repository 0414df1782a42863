#include "blocks/transform/qmf16.h"

#include <array>

#include "image/vector_clones.h"

namespace kandrel {

namespace {

// c0 … c7; the low-pass filter is (c0, c7, c1, c6, c2, c5, c3, c4, c4, c3, c5, c2, c6, c1, c7, c0).
constexpr std::array<double, 8> kForward = {0.001050555, -0.002590713, -0.009669948, 0.09783431,
                                            0.4812062,   -0.09042564,  0.02765162,   -0.005056394};
// c7 … c0.
constexpr std::array<double, 8> kBackward = {kForward[7], kForward[6], kForward[5], kForward[4],
                                             kForward[3], kForward[2], kForward[1], kForward[0]};

// What the sums reach: A[k] reads x[2k − 6 … 2k + 8], B[k] x[2k − 7 … 2k + 7] for k < m, so the
// signal is needed over −7 … 2m + 6; x[2k] reads S[k − 4 … k + 3], x[2k + 1] D[k − 3 … k + 4].
constexpr int kSignalBefore = 7, kSignalAfter = 6;
constexpr int kBandBefore = 4, kBandAfter = 4;
static_assert(kSignalBefore <= QmfBuffer::kMargin && kSignalAfter + 1 <= QmfBuffer::kMargin);

constexpr int kRowsAhead = 16;
constexpr int kFloatsPerLine = 16;

using Taps = std::array<const double*, 8>;

// Where sample i of a signal of n samples comes from when the signal repeats with the period
// (2n: mirrored about both half-sample ends; 2n − 1: about −½ and about sample n − 1), and
// whether an odd number of reflections led there.
struct Reflection {
  int index;
  bool mirrored;
};

Reflection Reflect(int i, int n, int period) {
  int r = i % period;
  if (r < 0) r += period;
  return r < n ? Reflection{r, false} : Reflection{period - 1 - r, true};
}

// Sample k of the extended bands of a signal of n samples: low[index] and, unless it is the high
// value that an odd length sets to 0, high[index], negated when mirrored. With m = ⌈n/2⌉ the
// bands repeat with period n: 2m for even n, mirrored about both half-sample ends; 2m − 1 for odd
// n, mirrored about −½ and about sample m − 1.
struct BandSource {
  int index;
  bool negated;
  bool zeroHigh;
};

BandSource BandSourceOf(int k, int n) {
  const int m = (n + 1) / 2;
  const Reflection r = Reflect(k, m, n);
  return {r.index, r.mirrored, n % 2 != 0 && r.index == m - 1};
}

// Sample i of a signal of n samples, reflected where it lies outside.
float SignalAt(const float* x, int i, int n) {
  return i >= 0 && i < n ? x[i] : x[Reflect(i, n, 2 * n).index];
}

Taps TapsOf(QmfBuffer& buffer, int first, int step) {
  Taps taps;
  for (int j = 0; j < 8; ++j) taps[j] = buffer[first + j * step];
  return taps;
}

// Σ_j float(c[j] · taps[j][i]): the products rounded to float and added in tap order, as the
// filter bank is defined.
inline float Sum8(const Taps& taps, const std::array<double, 8>& c, int i) {
  float sum = 0.0f;
  for (int j = 0; j < 8; ++j) sum += static_cast<float>(c[j] * taps[j][i]);
  return sum;
}

// out[i] = 2 · Sum8, which doubling rounds no further.
KANDREL_VECTOR_CLONES void DoubledSums(const Taps& taps, const std::array<double, 8>& c,
                                       float* __restrict out, int count) {
  for (int i = 0; i < count; ++i) out[i] = 2.0f * Sum8(taps, c, i);
}

// low[i] = A + B and high[i] = A − B, with A = Sum8 of the even taps with c7 … c0 and B = Sum8 of
// the odd taps with c0 … c7.
KANDREL_VECTOR_CLONES void AnalysisSums(const Taps& even, const Taps& odd, float* __restrict low,
                                        float* __restrict high, int count) {
  for (int i = 0; i < count; ++i) {
    const float a = Sum8(even, kBackward, i), b = Sum8(odd, kForward, i);
    low[i] = a + b;
    high[i] = a - b;
  }
}

// S = L + H and D = L − H, widened for the products.
KANDREL_VECTOR_CLONES void SumAndDifference(const float* __restrict a, const float* __restrict b,
                                            double* __restrict sum, double* __restrict difference,
                                            int count) {
  for (int i = 0; i < count; ++i) {
    const float s = a[i] + b[i], d = a[i] - b[i];
    sum[i] = s;
    difference[i] = d;
  }
}

KANDREL_VECTOR_CLONES void Widen(const float* __restrict in, double* __restrict out, int count) {
  for (int i = 0; i < count; ++i) out[i] = in[i];
}

// out[j] = x[2j + phase] for j = first … last, widened; reflected outside the signal.
void Deinterleave(const float* x, int n, int phase, int first, int last, double* out) {
  const int inside = (n - phase + 1) / 2;  // the j ≥ 0 with 2j + phase < n
  for (int j = first; j < 0; ++j) out[j] = SignalAt(x, 2 * j + phase, n);
  for (int j = 0; j < inside; ++j) out[j] = x[2 * j + phase];
  for (int j = inside; j <= last; ++j) out[j] = SignalAt(x, 2 * j + phase, n);
}

}  // namespace

// ---- QMF16

QMF16::QMF16(int length)
    : length_(length),
      even_(LowLength(), 1),
      odd_(LowLength(), 1),
      a_(static_cast<std::size_t>(LowLength())),
      b_(static_cast<std::size_t>(LowLength())) {}

void QMF16::Analyze(const float* x, float* low, float* high) {
  if (length_ == 0) return;
  const int m = LowLength();
  // A[k] reads x[2k − 6 + 2j] = even[k − 3 + j], B[k] reads x[2k − 7 + 2j] = odd[k − 4 + j].
  Deinterleave(x, length_, 0, -3, m + 3, even_[0]);
  Deinterleave(x, length_, 1, -4, m + 2, odd_[0]);
  const int h = HighLength();
  AnalysisSums(TapsOf(even_, -3, 1), TapsOf(odd_, -4, 1), low, high, h);
  // An odd length's last high value is not part of the band.
  float unused;
  if (m > h) AnalysisSums(TapsOf(even_, h - 3, 1), TapsOf(odd_, h - 4, 1), low + h, &unused, 1);
}

void QMF16::Synthesize(const float* low, const float* high, float* x) {
  if (length_ == 0) return;
  const int m = LowLength();
  double* s = even_[0];
  double* d = odd_[0];
  SumAndDifference(low, high, s, d, HighLength());
  const auto extend = [&](int k) {
    const BandSource from = BandSourceOf(k, length_);
    const float l = low[from.index];
    const float h = from.zeroHigh ? 0.0f : from.negated ? -high[from.index] : high[from.index];
    s[k] = l + h;
    d[k] = l - h;
  };
  for (int k = -kBandBefore; k < 0; ++k) extend(k);
  for (int k = HighLength(); k <= m + kBandAfter; ++k) extend(k);
  DoubledSums(TapsOf(even_, -4, 1), kForward, a_.data(), m);
  DoubledSums(TapsOf(odd_, -3, 1), kBackward, b_.data(), m);
  for (int k = 0; k < m; ++k) x[2 * k] = a_[k];
  for (int k = 0; k < HighLength(); ++k) x[2 * k + 1] = b_[k];
}

// ---- QMF16Lanes

QMF16Lanes::QMF16Lanes(int length, int lanes)
    : length_(length),
      lanes_(lanes),
      wide_(length, lanes),
      sum_(LowLength(), lanes),
      difference_(LowLength(), lanes),
      unused_(static_cast<std::size_t>(lanes)),
      zeros_(static_cast<std::size_t>(lanes), 0.0f) {}

void QMF16Lanes::Analyze(const float* const* in, float* const* low, float* const* high,
                         int column) {
  if (length_ == 0) return;
  const int m = LowLength();
  for (int i = -kSignalBefore; i <= 2 * m + kSignalAfter; ++i) {
    // The rows lie a page or more apart, where the hardware does not prefetch by itself.
    const float* ahead = in[Reflect(i + kRowsAhead, length_, 2 * length_).index] + column;
    for (int l = 0; l < lanes_; l += kFloatsPerLine) __builtin_prefetch(ahead + l);
    Widen(in[Reflect(i, length_, 2 * length_).index] + column, wide_[i], lanes_);
  }
  for (int k = 0; k < m; ++k) {
    // An odd length's last high value is not part of the band.
    float* highRow = k < HighLength() ? high[k] + column : unused_.data();
    AnalysisSums(TapsOf(wide_, 2 * k - 6, 2), TapsOf(wide_, 2 * k - 7, 2), low[k] + column, highRow,
                 lanes_);
  }
}

void QMF16Lanes::Synthesize(const float* const* low, const float* const* high, float* const* out,
                            int column) {
  if (length_ == 0) return;
  const int m = LowLength();
  for (int k = -kBandBefore; k <= m + kBandAfter; ++k) {
    const BandSource from = BandSourceOf(k, length_);
    const float* l = low[from.index] + column;
    const float* h = from.zeroHigh ? zeros_.data() : high[from.index] + column;
    // With the high value negated, L + (−H) = L − H and L − (−H) = L + H exactly.
    if (from.negated && !from.zeroHigh)
      SumAndDifference(l, h, difference_[k], sum_[k], lanes_);
    else
      SumAndDifference(l, h, sum_[k], difference_[k], lanes_);
  }
  for (int k = 0; k < m; ++k) {
    DoubledSums(TapsOf(sum_, k - 4, 1), kForward, out[2 * k] + column, lanes_);
    if (k < HighLength())
      DoubledSums(TapsOf(difference_, k - 3, 1), kBackward, out[2 * k + 1] + column, lanes_);
  }
}

}  // namespace kandrel
