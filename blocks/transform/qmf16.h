// The 16-tap quadrature mirror filter bank shared by the subband and wavelet processes: one
// signal of length N splits into a low band of ⌈N/2⌉ and a high band of ⌊N/2⌋ samples and
// merges back, with symmetric extension at both ends.
//
// Every sum of eight products is formed exactly one way: each product of a double coefficient
// and a float sample rounded to float, the products added in float in tap order, the sum a float.
// Both classes below give the same results bit for bit; they differ only in what the products
// are vectorised across.
//
// Signals shorter than the filter reach beyond the far end of the extension. The reflections are
// then repeated (a periodic extension of period 2N for the signal and N for the bands), so every
// length from 1 on is defined and no sample outside the signal is ever read.
//
// A bank reads its whole input before it writes any output, so the output may overwrite the
// input (the wavelet pyramid works in place).
#pragma once

#include <cstddef>
#include <vector>

namespace kandrel {

// Samples −kMargin … count + kMargin − 1 of `lanes` doubles each, side by side: float samples
// widened once, so that the eight products of each do not widen it again.
class QmfBuffer {
 public:
  static constexpr int kMargin = 10;
  QmfBuffer(int count, int lanes)
      : data_(static_cast<std::size_t>(count + 2 * kMargin) * static_cast<std::size_t>(lanes)),
        lanes_(lanes) {}
  double* operator[](int i) {
    return data_.data() + static_cast<std::ptrdiff_t>(i + kMargin) * lanes_;
  }

 private:
  std::vector<double> data_;
  int lanes_;
};

// One signal of one length, the products vectorised along the signal: for the rows of an image.
class QMF16 {
 public:
  explicit QMF16(int length);

  int Length() const { return length_; }
  int LowLength() const { return (length_ + 1) / 2; }
  int HighLength() const { return length_ / 2; }

  // x[0 … N−1] → low[0 … ⌈N/2⌉−1], high[0 … ⌊N/2⌋−1].
  void Analyze(const float* x, float* low, float* high);
  // low[0 … ⌈N/2⌉−1], high[0 … ⌊N/2⌋−1] → x[0 … N−1].
  void Synthesize(const float* low, const float* high, float* x);

 private:
  int length_;
  // The even and odd samples, or the sums S and differences D of the bands.
  QmfBuffer even_, odd_;
  std::vector<float> a_, b_;
};

// `lanes` signals of one length side by side, the products vectorised across the signals: for a
// block of columns of an image. Sample i of the signals is rows[i][column … column + lanes − 1].
class QMF16Lanes {
 public:
  QMF16Lanes(int length, int lanes);

  int Length() const { return length_; }
  int LowLength() const { return (length_ + 1) / 2; }
  int HighLength() const { return length_ / 2; }
  int Lanes() const { return lanes_; }

  // in: N rows; low: ⌈N/2⌉ rows; high: ⌊N/2⌋ rows.
  void Analyze(const float* const* in, float* const* low, float* const* high, int column);
  void Synthesize(const float* const* low, const float* const* high, float* const* out, int column);

 private:
  int length_;
  int lanes_;
  QmfBuffer wide_, sum_, difference_;
  std::vector<float> unused_, zeros_;
};

}  // namespace kandrel
