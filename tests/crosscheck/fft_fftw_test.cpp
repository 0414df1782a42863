// FFT2D against FFTW's double-precision transform of the same samples, scaled the same way
// (1/√N per axis): the single-precision result within single-precision rounding, on sizes of
// powers of two, mixed factors and primes.
#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <random>

#include "blocks/transform/fft.h"

namespace kandrel::testing {
namespace {

TEST(FftAgainstFftw, EverySizeAgreesInBothDirections) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  const std::pair<int, int> sizes[] = {{64, 64}, {42, 30}, {97, 11}, {1, 13}, {210, 77}, {128, 125}};
  for (const auto& [w, h] : sizes) {
    for (bool inverse : {false, true}) {
      SCOPED_TRACE(::testing::Message() << w << " x " << h << (inverse ? " inverse" : ""));
      ComplexArray in(w, h), ours;
      for (auto& z : in) z = {value(rng), value(rng)};
      const std::size_t n = in.SampleCount();
      fftw_complex* buffer = fftw_alloc_complex(n);
      fftw_plan plan = fftw_plan_dft_2d(h, w, buffer, buffer, inverse ? FFTW_BACKWARD : FFTW_FORWARD,
                                        FFTW_ESTIMATE);
      for (std::size_t i = 0; i < n; ++i) {
        buffer[i][0] = in.Data()[i].real();
        buffer[i][1] = in.Data()[i].imag();
      }
      fftw_execute(plan);
      if (inverse)
        FFT2D::Inverse(in, ours);
      else
        FFT2D::Forward(in, ours);
      const double scale = 1.0 / std::sqrt(static_cast<double>(n));
      double error = 0, magnitude = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const std::complex<double> expected(buffer[i][0] * scale, buffer[i][1] * scale);
        error += std::norm(std::complex<double>(ours.Data()[i]) - expected);
        magnitude += std::norm(expected);
      }
      EXPECT_LE(std::sqrt(error / magnitude), 2e-6);
      fftw_destroy_plan(plan);
      fftw_free(buffer);
    }
  }
}

}  // namespace
}  // namespace kandrel::testing
