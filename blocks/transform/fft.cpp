#include "blocks/transform/fft.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// The factors of n in the order the passes combine them: fours, a two, then odd primes.
std::vector<int> Radices(int n) {
  std::vector<int> radices;
  for (; n % 4 == 0; n /= 4) radices.push_back(4);
  if (n % 2 == 0) {
    radices.push_back(2);
    n /= 2;
  }
  for (int p = 3; p <= n / p; p += 2)
    for (; n % p == 0; n /= p) radices.push_back(p);
  if (n > 1) radices.push_back(n);
  return radices;
}

std::complex<double> RootOfUnity(double sign, long long exponent, long long order) {
  const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>(exponent % order) /
                       static_cast<double>(order);
  return {std::cos(angle), std::sin(angle)};
}

// The kBatch lanes of one complex value of a batch, as one vector of real and one of imaginary
// parts (GCC's vector extension: arithmetic applies lane by lane, a scalar to every lane). Only
// float alignment is assumed and lanes may alias floats, so that they may sit anywhere in a
// float buffer. Lanes pass by
// reference: by value their calling convention would differ between the compiled variants.
constexpr int B = VFFT::kBatch;
typedef float Lanes
    __attribute__((vector_size(B * sizeof(float)), aligned(alignof(float)), may_alias));

inline void LoadLanes(Lanes& v, const float* p) { std::memcpy(&v, p, sizeof v); }
inline void StoreLanes(float* p, const Lanes& v) { std::memcpy(p, &v, sizeof v); }

// (sign · i) · (re + i·im), a quarter turn in the transform's direction.
inline void QuarterTurn(float sign, Lanes& re, Lanes& im) {
  const Lanes r = re;
  re = -sign * im;
  im = sign * r;
}

// The butterflies transform the p values re[0..p−1], im[…] in place.
struct Butterfly2 {
  static constexpr int kRadix = 2;
  void operator()(Lanes* re, Lanes* im) const {
    const Lanes ar = re[0], ai = im[0];
    re[0] = ar + re[1], im[0] = ai + im[1];
    re[1] = ar - re[1], im[1] = ai - im[1];
  }
};

struct Butterfly3 {
  static constexpr int kRadix = 3;
  float sign;
  void operator()(Lanes* re, Lanes* im) const {
    const float h = static_cast<float>(std::numbers::sqrt3 / 2);
    const Lanes tr = re[1] + re[2], ti = im[1] + im[2];
    Lanes dr = h * (re[1] - re[2]), di = h * (im[1] - im[2]);
    QuarterTurn(sign, dr, di);
    const Lanes mr = re[0] - 0.5f * tr, mi = im[0] - 0.5f * ti;
    re[0] += tr, im[0] += ti;
    re[1] = mr + dr, im[1] = mi + di;
    re[2] = mr - dr, im[2] = mi - di;
  }
};

struct Butterfly4 {
  static constexpr int kRadix = 4;
  float sign;
  void operator()(Lanes* re, Lanes* im) const {
    const Lanes t0r = re[0] + re[2], t0i = im[0] + im[2];
    const Lanes t1r = re[0] - re[2], t1i = im[0] - im[2];
    const Lanes t2r = re[1] + re[3], t2i = im[1] + im[3];
    Lanes t3r = re[1] - re[3], t3i = im[1] - im[3];
    QuarterTurn(sign, t3r, t3i);
    re[0] = t0r + t2r, im[0] = t0i + t2i;
    re[2] = t0r - t2r, im[2] = t0i - t2i;
    re[1] = t1r + t3r, im[1] = t1i + t3i;
    re[3] = t1r - t3r, im[3] = t1i - t3i;
  }
};

struct Butterfly5 {
  static constexpr int kRadix = 5;
  float sign;
  void operator()(Lanes* re, Lanes* im) const {
    const float c1 = static_cast<float>(std::cos(2 * std::numbers::pi / 5));
    const float c2 = static_cast<float>(std::cos(4 * std::numbers::pi / 5));
    const float s1 = static_cast<float>(std::sin(2 * std::numbers::pi / 5));
    const float s2 = static_cast<float>(std::sin(4 * std::numbers::pi / 5));
    const Lanes t1r = re[1] + re[4], t1i = im[1] + im[4];
    const Lanes t2r = re[2] + re[3], t2i = im[2] + im[3];
    const Lanes t3r = re[1] - re[4], t3i = im[1] - im[4];
    const Lanes t4r = re[2] - re[3], t4i = im[2] - im[3];
    const Lanes a1r = re[0] + c1 * t1r + c2 * t2r, a1i = im[0] + c1 * t1i + c2 * t2i;
    const Lanes a2r = re[0] + c2 * t1r + c1 * t2r, a2i = im[0] + c2 * t1i + c1 * t2i;
    Lanes b1r = s1 * t3r + s2 * t4r, b1i = s1 * t3i + s2 * t4i;
    Lanes b2r = s2 * t3r - s1 * t4r, b2i = s2 * t3i - s1 * t4i;
    QuarterTurn(sign, b1r, b1i);
    QuarterTurn(sign, b2r, b2i);
    re[0] += t1r + t2r, im[0] += t1i + t2i;
    re[1] = a1r + b1r, im[1] = a1i + b1i;
    re[4] = a1r - b1r, im[4] = a1i - b1i;
    re[2] = a2r + b2r, im[2] = a2i + b2i;
    re[3] = a2r - b2r, im[3] = a2i - b2i;
  }
};

// Any radix p, as a direct p-point DFT: p² products. sum holds 2p values of work.
struct ButterflyDirect {
  static constexpr int kRadix = 0;  // any
  const std::vector<std::complex<float>>& roots;
  Lanes* sum;
  void operator()(Lanes* re, Lanes* im) const {
    const int p = static_cast<int>(roots.size());
    Lanes* sumRe = sum;
    Lanes* sumIm = sum + p;
    for (int q = 0; q < p; ++q) {
      Lanes sr = re[0], si = im[0];
      int e = 0;
      for (int r = 1; r < p; ++r) {
        e += q;
        if (e >= p) e -= p;
        const float wr = roots[static_cast<std::size_t>(e)].real();
        const float wi = roots[static_cast<std::size_t>(e)].imag();
        sr += re[r] * wr - im[r] * wi;
        si += re[r] * wi + wr * im[r];
      }
      sumRe[q] = sr, sumIm[q] = si;
    }
    // memcpy, not std::copy: a template parameter would lose the lanes' float alignment.
    std::memcpy(re, sumRe, sizeof(Lanes) * static_cast<std::size_t>(p));
    std::memcpy(im, sumIm, sizeof(Lanes) * static_cast<std::size_t>(p));
  }
};

// One autosorting pass over n values of a batch: butterfly j = g·span + k takes the inputs
// j + r·n/p, turned by the twiddles of k, and writes the outputs g·span·p + k + r·span. The p
// values of a butterfly are kept in registers for the fixed radices, in work (2p) otherwise.
template <class Butterfly>
KANDREL_VECTOR_CLONES void RunButterflies(int n, int p, int span, const float* __restrict twiddleRe,
                                          const float* __restrict twiddleIm,
                                          const float* __restrict inRe,
                                          const float* __restrict inIm, float* __restrict outRe,
                                          float* __restrict outIm, Lanes* work,
                                          const Butterfly& butterfly) {
  constexpr int kFixed = Butterfly::kRadix;
  const int radix = kFixed > 0 ? kFixed : p;
  Lanes fixedRe[kFixed > 0 ? kFixed : 1], fixedIm[kFixed > 0 ? kFixed : 1];
  Lanes* vRe = kFixed > 0 ? fixedRe : work;
  Lanes* vIm = kFixed > 0 ? fixedIm : work + radix;
  const std::ptrdiff_t quarter = n / radix;  // the butterflies, and the input stride
  for (std::ptrdiff_t g = 0; g < quarter / span; ++g) {
    for (std::ptrdiff_t k = 0; k < span; ++k) {
      const std::ptrdiff_t j = g * span + k;
      for (int r = 0; r < radix; ++r) {
        Lanes sr, si;
        LoadLanes(sr, inRe + (j + r * quarter) * B);
        LoadLanes(si, inIm + (j + r * quarter) * B);
        if (r == 0 || span == 1) {  // a first pass has no twiddles
          vRe[r] = sr, vIm[r] = si;
          continue;
        }
        const float wr = twiddleRe[(r - 1) * span + k], wi = twiddleIm[(r - 1) * span + k];
        vRe[r] = sr * wr - si * wi;
        vIm[r] = sr * wi + wr * si;
      }
      butterfly(vRe, vIm);
      const std::ptrdiff_t first = g * span * radix + k;
      for (int r = 0; r < radix; ++r) {
        StoreLanes(outRe + (first + r * span) * B, vRe[r]);
        StoreLanes(outIm + (first + r * span) * B, vIm[r]);
      }
    }
  }
}

// The sample index source[(i + shift) mod n] for every i.
std::vector<int> Rotation(int n, int shift) {
  std::vector<int> index(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) index[static_cast<std::size_t>(i)] = (i + shift) % n;
  return index;
}

// Work arrays for one batch of signals of one length.
struct BatchBuffers {
  explicit BatchBuffers(int length)
      : size(static_cast<std::size_t>(length) * VFFT::kBatch),
        re(size), im(size), spareRe(size), spareIm(size) {}
  std::size_t size;
  std::vector<float> re, im, spareRe, spareIm;
};

// Row pass: dst[y][(x + outShift) mod W] = transform of src[y][(x + inShift) mod W], x < W.
void TransformRows(const ComplexArray& src, ComplexArray& dst, const VFFT& fft, int inShift,
                   int outShift) {
  const int w = src.Width(), h = src.Height();
  const std::vector<int> from = Rotation(w, inShift), to = Rotation(w, outShift);
  BatchBuffers buffers(w);
  for (int y0 = 0; y0 < h; y0 += B) {
    const int lanes = std::min(B, h - y0);
    if (lanes < B) {  // the spare lanes of the last band carry zeros
      std::fill(buffers.re.begin(), buffers.re.end(), 0.0f);
      std::fill(buffers.im.begin(), buffers.im.end(), 0.0f);
    }
    for (int x = 0; x < w; ++x) {
      const int column = from[static_cast<std::size_t>(x)];
      float* re = &buffers.re[static_cast<std::size_t>(x) * B];
      float* im = &buffers.im[static_cast<std::size_t>(x) * B];
      for (int b = 0; b < lanes; ++b) {
        const std::complex<float> z = src[y0 + b][column];
        re[b] = z.real(), im[b] = z.imag();
      }
    }
    const bool spare = fft.TransformBatch(buffers.re.data(), buffers.im.data(),
                                          buffers.spareRe.data(), buffers.spareIm.data());
    const std::vector<float>& re = spare ? buffers.spareRe : buffers.re;
    const std::vector<float>& im = spare ? buffers.spareIm : buffers.im;
    const float scale = fft.Scale();
    for (int x = 0; x < w; ++x) {
      const int column = to[static_cast<std::size_t>(x)];
      const std::size_t i = static_cast<std::size_t>(x) * B;
      for (int b = 0; b < lanes; ++b) dst[y0 + b][column] = {re[i + b] * scale, im[i + b] * scale};
    }
  }
}

// Column pass in place: data[(y + outShift) mod H][x] = transform of data[(y + inShift) mod H][x].
// Several batches of columns are gathered in one sweep down the rows: rows a power of two apart
// fall into the same cache sets, so each sweep should take as much of a row as it can.
void TransformColumns(ComplexArray& data, const VFFT& fft, int inShift, int outShift) {
  constexpr int kBatchesPerSweep = 4;
  const int w = data.Width(), h = data.Height();
  const std::vector<int> from = Rotation(h, inShift), to = Rotation(h, outShift);
  std::vector<BatchBuffers> tile(kBatchesPerSweep, BatchBuffers(h));
  const float scale = fft.Scale();
  for (int x0 = 0; x0 < w; x0 += kBatchesPerSweep * B) {
    const int columns = std::min(kBatchesPerSweep * B, w - x0);
    const int batches = (columns + B - 1) / B;
    if (columns % B != 0) {
      BatchBuffers& last = tile[static_cast<std::size_t>(batches - 1)];
      std::fill(last.re.begin(), last.re.end(), 0.0f);
      std::fill(last.im.begin(), last.im.end(), 0.0f);
    }
    const auto lanes = [&](int q) { return std::min(B, columns - q * B); };
    for (int y = 0; y < h; ++y) {
      const std::complex<float>* row = data[from[static_cast<std::size_t>(y)]] + x0;
      for (int q = 0; q < batches; ++q) {
        float* re = &tile[static_cast<std::size_t>(q)].re[static_cast<std::size_t>(y) * B];
        float* im = &tile[static_cast<std::size_t>(q)].im[static_cast<std::size_t>(y) * B];
        const std::complex<float>* z = row + q * B;
        for (int b = 0; b < lanes(q); ++b) re[b] = z[b].real(), im[b] = z[b].imag();
      }
    }
    std::array<const float*, kBatchesPerSweep> resultRe{}, resultIm{};
    for (int q = 0; q < batches; ++q) {
      BatchBuffers& batch = tile[static_cast<std::size_t>(q)];
      const bool spare = fft.TransformBatch(batch.re.data(), batch.im.data(),
                                            batch.spareRe.data(), batch.spareIm.data());
      resultRe[static_cast<std::size_t>(q)] = spare ? batch.spareRe.data() : batch.re.data();
      resultIm[static_cast<std::size_t>(q)] = spare ? batch.spareIm.data() : batch.im.data();
    }
    for (int y = 0; y < h; ++y) {
      std::complex<float>* row = data[to[static_cast<std::size_t>(y)]] + x0;
      for (int q = 0; q < batches; ++q) {
        const float* re = resultRe[static_cast<std::size_t>(q)] + static_cast<std::ptrdiff_t>(y) * B;
        const float* im = resultIm[static_cast<std::size_t>(q)] + static_cast<std::ptrdiff_t>(y) * B;
        std::complex<float>* z = row + q * B;
        for (int b = 0; b < lanes(q); ++b) z[b] = {re[b] * scale, im[b] * scale};
      }
    }
  }
}

}  // namespace

// ---- VFFT

VFFT::VFFT(int length, bool inverse)
    : length_(length),
      inverse_(inverse),
      scale_(static_cast<float>(1.0 / std::sqrt(static_cast<double>(std::max(length, 1))))) {
  const double sign = inverse ? 1.0 : -1.0;
  int span = 1;
  for (int p : Radices(std::max(length, 1))) {
    Pass pass{p, span, {}, {}};
    const long long order = static_cast<long long>(span) * p;
    for (int r = 1; r < p; ++r) {
      for (int k = 0; k < span; ++k) {
        const std::complex<double> w = RootOfUnity(sign, static_cast<long long>(r) * k, order);
        pass.twiddleRe.push_back(static_cast<float>(w.real()));
        pass.twiddleIm.push_back(static_cast<float>(w.imag()));
      }
    }
    passes_.push_back(std::move(pass));
    span *= p;
  }
  roots_.resize(passes_.size());
  for (std::size_t i = 0; i < passes_.size(); ++i) {
    const int p = passes_[i].radix;
    if (p <= 5) continue;
    for (int e = 0; e < p; ++e)
      roots_[i].push_back(std::complex<float>(RootOfUnity(sign, e, p)));
  }
}

void VFFT::RunPass(std::size_t index, const float* inRe, const float* inIm, float* outRe,
                   float* outIm) const {
  const Pass& pass = passes_[index];
  const float sign = inverse_ ? 1.0f : -1.0f;
  const auto run = [&](const auto& butterfly, Lanes* work) {
    RunButterflies(length_, pass.radix, pass.span, pass.twiddleRe.data(), pass.twiddleIm.data(),
                   inRe, inIm, outRe, outIm, work, butterfly);
  };
  switch (pass.radix) {
    case 2: return run(Butterfly2{}, nullptr);
    case 3: return run(Butterfly3{sign}, nullptr);
    case 4: return run(Butterfly4{sign}, nullptr);
    case 5: return run(Butterfly5{sign}, nullptr);
    default: {
      std::vector<float> work(4 * static_cast<std::size_t>(pass.radix) * B);
      Lanes* lanes = reinterpret_cast<Lanes*>(work.data());
      return run(ButterflyDirect{roots_[index], lanes + 2 * pass.radix}, lanes);
    }
  }
}

bool VFFT::TransformBatch(float* re, float* im, float* spareRe, float* spareIm) const {
  bool inSpare = false;
  for (std::size_t i = 0; i < passes_.size(); ++i) {
    if (inSpare)
      RunPass(i, spareRe, spareIm, re, im);
    else
      RunPass(i, re, im, spareRe, spareIm);
    inSpare = !inSpare;
  }
  return inSpare;
}

// A single signal rides in lane 0 of a batch: this entry serves tests and one-off uses, the
// two-dimensional driver fills every lane.
void VFFT::Transform(const std::complex<float>* in, std::complex<float>* out) const {
  const auto n = static_cast<std::size_t>(std::max(length_, 0));
  std::vector<float> re(n * kBatch), im(re.size()), spareRe(re.size()), spareIm(re.size());
  for (std::size_t i = 0; i < n; ++i) re[i * kBatch] = in[i].real(), im[i * kBatch] = in[i].imag();
  const bool spare = TransformBatch(re.data(), im.data(), spareRe.data(), spareIm.data());
  const std::vector<float>& resultRe = spare ? spareRe : re;
  const std::vector<float>& resultIm = spare ? spareIm : im;
  for (std::size_t i = 0; i < n; ++i)
    out[i] = {resultRe[i * kBatch] * scale_, resultIm[i * kBatch] * scale_};
}

// ---- FFT2D

void FFT2D::Forward(const ComplexArray& src, ComplexArray& dst, const Options& options) {
  const int w = src.Width(), h = src.Height();
  dst.Resize(w, h);
  if (w == 0 || h == 0) return;
  const int bx = options.centerOrigin ? w / 2 : 0, by = options.centerOrigin ? h / 2 : 0;
  TransformRows(src, dst, VFFT(w, false), 0, bx);
  TransformColumns(dst, VFFT(h, false), 0, by);
}

void FFT2D::Inverse(const ComplexArray& src, ComplexArray& dst, const Options& options) {
  const int w = src.Width(), h = src.Height();
  dst.Resize(w, h);
  if (w == 0 || h == 0) return;
  const int bx = options.centerOrigin ? w / 2 : 0, by = options.centerOrigin ? h / 2 : 0;
  TransformRows(src, dst, VFFT(w, true), bx, 0);
  TransformColumns(dst, VFFT(h, true), by, 0);
}

// ---- ProcFFT

ProcFFT::ProcFFT(int processId) : ProcStandardOut(processId) {
  SetDefaultName("FFT");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormFFT");
}

bool ProcFFT::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeComplex1 && inTypes[0] != kTypeComplex3) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcFFT::ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                                   const OutArrays<std::complex<float>>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  const FFT2D::Options options{params.centerOrigin != 0};
  if (params.inverse != 0)
    FFT2D::Inverse(*in[0], *out[0], options);
  else
    FFT2D::Forward(*in[0], *out[0], options);
  return 0;
}

int ProcFFT::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcFFT::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterFftKinds() {
  Catalogue::Instance().Register(KindOf<ProcFFT>(kFftProcessId, "ProcFFT", "フーリエ変換..."));
}

}  // namespace kandrel
