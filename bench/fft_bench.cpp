// FFT2D::Forward of a complex image, single-threaded, against cv::dft (DFT_COMPLEX_OUTPUT, one
// thread) and against FFTW's single-precision plan made with FFTW_MEASURE outside the timing.
// The scaling differs (FFTW does not scale), which costs one multiply per sample on our side.
#include <fftw3.h>

#include <opencv2/core.hpp>

#include "bench/bench_support.h"
#include "blocks/transform/fft.h"

namespace kandrel {
namespace {

ComplexArray PseudoRandomComplex(int width, int height) {
  ComplexArray a(width, height);
  std::uint32_t seed = 1;
  for (auto& z : a) {
    seed = seed * 1664525u + 1013904223u;
    z = {static_cast<float>(seed >> 8) / 16777216.0f, static_cast<float>(seed & 0xff) / 256.0f};
  }
  return a;
}

void BM_Fft2DAgainstOpenCv(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const ComplexArray in = PseudoRandomComplex(w, h);
  ComplexArray out;
  cv::Mat mat(h, w, CV_32FC2, const_cast<std::complex<float>*>(in.Data())), spectrum;
  const int threads = cv::getNumThreads();
  cv::setNumThreads(1);
  bench::TimeAgainst(
      state,
      [&] {
        FFT2D::Forward(in, out);
        return 0;
      },
      [&] { cv::dft(mat, spectrum, cv::DFT_COMPLEX_OUTPUT); });
  cv::setNumThreads(threads);
}
BENCHMARK(BM_Fft2DAgainstOpenCv)->Args({1024, 1024})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Fft2DAgainstFftw(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const ComplexArray in = PseudoRandomComplex(w, h);
  ComplexArray out;
  const std::size_t n = in.SampleCount();
  auto* fftwIn = fftwf_alloc_complex(n);
  auto* fftwOut = fftwf_alloc_complex(n);
  fftwf_plan plan = fftwf_plan_dft_2d(h, w, fftwIn, fftwOut, FFTW_FORWARD, FFTW_MEASURE);
  std::copy(in.begin(), in.end(), reinterpret_cast<std::complex<float>*>(fftwIn));
  bench::TimeAgainst(
      state,
      [&] {
        FFT2D::Forward(in, out);
        return 0;
      },
      [&] { fftwf_execute(plan); });
  fftwf_destroy_plan(plan);
  fftwf_free(fftwIn);
  fftwf_free(fftwOut);
}
BENCHMARK(BM_Fft2DAgainstFftw)->Args({1024, 1024})->Args({1920, 1080})->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
