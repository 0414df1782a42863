// The two-dimensional discrete Fourier transform of a complex image of any size, forward or back,
// both directions scaled by 1/√N per axis so that forward then inverse returns the input.
//
// VFFT transforms one length: the length splits into its prime factors (radix 4 and 2 for the
// powers of two, 3, 5 and a general radix p otherwise; a prime length is one direct DFT). The
// passes run in autosorting order, so no bit reversal is needed, and each pass reads its
// twiddles from a table made once per object in double precision. The passes work on a batch of
// interleaved signals at once, which is how FFT2D transforms a band of rows or a block of
// columns with one instruction per batch.
#pragma once

#include <complex>
#include <vector>

#include "image/array2d.h"
#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kFftProcessId = 10016;

class VFFT {
 public:
  // Signals transformed together by the two-dimensional driver.
  static constexpr int kBatch = 8;

  VFFT(int length, bool inverse);

  int Length() const { return length_; }
  float Scale() const { return scale_; }

  // out[0..N−1] = the transform of in[0..N−1], scaled by 1/√N; out must not overlap in.
  void Transform(const std::complex<float>* in, std::complex<float>* out) const;

  // kBatch signals in split form: sample k of signal b is (re[k·kBatch + b], im[…]). The result,
  // not yet scaled, lands in either the given arrays or the spare ones (all of length N·kBatch);
  // true when it is in the spare ones.
  bool TransformBatch(float* re, float* im, float* spareRe, float* spareIm) const;

 private:
  struct Pass {
    int radix;
    int span;  // the length of the sub-transforms this pass combines
    std::vector<float> twiddleRe, twiddleIm;  // (radix − 1) × span, row r − 1 for input r
  };

  void RunPass(std::size_t index, const float* inRe, const float* inIm, float* outRe,
               float* outIm) const;

  int length_;
  bool inverse_;
  float scale_;
  std::vector<Pass> passes_;
  // Per pass of a general radix p, the p-th roots of unity by exponent; empty for 2 to 5.
  std::vector<std::vector<std::complex<float>>> roots_;
};

struct FFT2DOptions {
  bool centerOrigin = false;  // the DC term at (⌊W/2⌋, ⌊H/2⌋) instead of (0, 0)
};

class FFT2D {
 public:
  using Options = FFT2DOptions;

  // dst is resized to the size of src; src may be dst.
  static void Forward(const ComplexArray& src, ComplexArray& dst, const Options& options = {});
  static void Inverse(const ComplexArray& src, ComplexArray& dst, const Options& options = {});
};

// The Fourier transform of a complex image, channel by channel.
class ProcFFT : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t inverse = 0;
    std::int32_t centerOrigin = 0;
    template <class F>
    void Fields(F& f) {
      f.I32(inverse);
      f.I32(centerOrigin);
    }
  };

  explicit ProcFFT(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

void RegisterFftKinds();

}  // namespace kandrel
