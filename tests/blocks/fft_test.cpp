// The Fourier transform against a plain DFT in double precision: one dimension on lengths of
// every kind of factorisation, two dimensions with and without the centred origin, the process's
// type rules and record, and a whole graph that transforms a picture there and back.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "blocks/pixel/type_conversion.h"
#include "blocks/transform/fft.h"
#include "image/tiff_dump.h"
#include "io/read_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Complex = std::complex<float>;
using ComplexD = std::complex<double>;

std::vector<Complex> RandomSignal(std::mt19937& rng, int n) {
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::vector<Complex> signal(static_cast<std::size_t>(n));
  for (Complex& z : signal) z = {value(rng), value(rng)};
  return signal;
}

// sum over j of x[j]·e^(∓2πi·jk/n) / √n, in double precision.
std::vector<ComplexD> NaiveDft(const std::vector<Complex>& x, bool inverse) {
  const auto n = static_cast<long long>(x.size());
  const double sign = inverse ? 1.0 : -1.0;
  std::vector<ComplexD> out(x.size());
  for (long long k = 0; k < n; ++k) {
    ComplexD sum = 0;
    for (long long j = 0; j < n; ++j)
      sum += ComplexD(x[static_cast<std::size_t>(j)]) *
             std::polar(1.0, sign * 2 * std::numbers::pi * static_cast<double>(j * k % n) / n);
    out[static_cast<std::size_t>(k)] = sum / std::sqrt(static_cast<double>(n));
  }
  return out;
}

// The root-mean-square error relative to the root-mean-square magnitude.
template <class A>
double RelativeError(const A& actual, const std::vector<ComplexD>& expected) {
  double error = 0, magnitude = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    error += std::norm(ComplexD(actual[i]) - expected[i]);
    magnitude += std::norm(expected[i]);
  }
  return std::sqrt(error / magnitude);
}

double RelativeError(const ComplexArray& actual, const ComplexArray& expected) {
  EXPECT_TRUE(actual.SameSize(expected));
  if (!actual.SameSize(expected)) return INFINITY;
  return RelativeError(actual.begin(), std::vector<ComplexD>(expected.begin(), expected.end()));
}

// Single-precision rounding grows with the number of passes, and with √p in a direct p-point sum.
double SinglePrecisionBound(int n) { return 1.2e-7 * (4 + std::log2(n) + std::sqrt(n) / 4); }

TEST(VfftTest, EveryFactorisationMatchesThePlainDftBothWays) {
  std::mt19937 rng(7);
  const int lengths[] = {1,   2,   3,   4,   5,   6,   7,    8,    9,    12,   13,  16,
                         25,  30,  49,  64,  97,  121, 210,  256,  360,  1001, 1009,
                         1024, 1080, 1920, 2310};
  for (int n : lengths) {
    for (bool inverse : {false, true}) {
      SCOPED_TRACE(::testing::Message() << "N = " << n << (inverse ? " inverse" : " forward"));
      const std::vector<Complex> x = RandomSignal(rng, n);
      std::vector<Complex> out(x.size());
      VFFT(n, inverse).Transform(x.data(), out.data());
      EXPECT_LE(RelativeError(out, NaiveDft(x, inverse)), SinglePrecisionBound(n));
    }
  }
}

// The two-dimensional transform written from its definition, the rotation included.
ComplexArray NaiveDft2D(const ComplexArray& in, bool inverse, bool centered) {
  const int w = in.Width(), h = in.Height();
  const int bx = centered ? w / 2 : 0, by = centered ? h / 2 : 0;
  const double sign = inverse ? 1.0 : -1.0;
  ComplexArray out(w, h);
  for (int v = 0; v < h; ++v) {
    for (int u = 0; u < w; ++u) {
      ComplexD sum = 0;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          // The inverse expects the origin where the forward put it.
          const Complex sample = inverse ? in[(y + by) % h][(x + bx) % w] : in[y][x];
          const double turns = static_cast<double>(u * x % w) / w + static_cast<double>(v * y % h) / h;
          sum += ComplexD(sample) * std::polar(1.0, sign * 2 * std::numbers::pi * turns);
        }
      }
      const Complex value(sum / std::sqrt(static_cast<double>(w) * h));
      if (inverse)
        out[v][u] = value;
      else
        out[(v + by) % h][(u + bx) % w] = value;
    }
  }
  return out;
}

ComplexArray RandomArray(std::mt19937& rng, int w, int h) {
  ComplexArray a(w, h);
  const std::vector<Complex> samples = RandomSignal(rng, w * h);
  std::copy(samples.begin(), samples.end(), a.begin());
  return a;
}

TEST(Fft2DTest, SmallAndOddSizesMatchTheDefinitionWithAndWithoutTheCentredOrigin) {
  std::mt19937 rng(11);
  const std::pair<int, int> sizes[] = {{1, 1}, {5, 3}, {7, 13}, {8, 6}, {16, 9}, {11, 1}, {1, 10}};
  for (const auto& [w, h] : sizes) {
    for (bool centered : {false, true}) {
      SCOPED_TRACE(::testing::Message() << w << " x " << h << (centered ? " centred" : ""));
      const ComplexArray in = RandomArray(rng, w, h);
      ComplexArray forward, back;
      FFT2D::Forward(in, forward, {centered});
      EXPECT_LE(RelativeError(forward, NaiveDft2D(in, false, centered)), 1e-6);
      FFT2D::Inverse(forward, back, {centered});
      EXPECT_LE(RelativeError(back, in), 1e-6);
      FFT2D::Inverse(in, back, {centered});
      EXPECT_LE(RelativeError(back, NaiveDft2D(in, true, centered)), 1e-6);
    }
  }
}

TEST(Fft2DTest, OnesConcentrateAtTheOriginAndACentredSpectrumReadsBackWithAlternatingSigns) {
  ComplexArray ones(6, 5), spectrum;
  std::fill(ones.begin(), ones.end(), Complex(1, 0));
  for (bool centered : {false, true}) {
    FFT2D::Forward(ones, spectrum, {centered});
    const int ox = centered ? 3 : 0, oy = centered ? 2 : 0;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x)
        EXPECT_NEAR(std::abs(spectrum[y][x]), x == ox && y == oy ? std::sqrt(30.0) : 0, 1e-5);
  }
  // Forward centred, inverse not: the input times (−1)^(x+y) for even sizes; in place too.
  std::mt19937 rng(3);
  const ComplexArray in = RandomArray(rng, 8, 4);
  ComplexArray data = in;
  FFT2D::Forward(data, data, {true});
  FFT2D::Inverse(data, data, {false});
  ComplexArray alternating = in;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      if ((x + y) % 2 != 0) alternating[y][x] = -in[y][x];
  EXPECT_LE(RelativeError(data, alternating), 1e-6);
}

class FftProcessTest : public KandrelTest {};

TEST_F(FftProcessTest, FourierTypesAreTheOnlyOnesAcceptedAndEveryChannelIsTransformed) {
  HeldImages held;  // before the process that links to it
  ProcFFT fft(kFftProcessId);
  for (int type = 1; type <= kImageTypeCount; ++type) {
    TypeList in{type}, out{};
    const bool complex = type == kTypeComplex1 || type == kTypeComplex3;
    EXPECT_EQ(fft.InferOutputTypes(in, out), complex) << type;
    if (complex) {
      EXPECT_EQ(out[0], type);
    }
  }
  std::mt19937 rng(5);
  const Complex3Image& in = held.Hold(0, RandomImage<Complex3Image>(rng, 9, 4, 0, false));
  fft.params = {1, 1};
  ASSERT_EQ(RunFrame(fft, held), 0);
  const auto* out = As<Complex3Image>(fft.GetOutput(0));
  ASSERT_NE(out, nullptr);
  for (int c = 0; c < 3; ++c) {
    ComplexArray expected;
    FFT2D::Inverse(in.channels[c], expected, {true});
    ExpectChannel(out->channels[c], {9, 4}, [&](int x, int y) { return expected[y][x]; });
  }
  // An Int image reaching the process is refused as an input error.
  held.Hold(0, RandomImage<Int1Image>(rng, 4, 4));
  EXPECT_NE(RunFrame(fft, held), 0);
}

TEST_F(FftProcessTest, TheRecordHoldsBothFlagsAndAShortOneSetsOnlyItsOwn) {
  const auto bytes = ExpectKind<ProcFFT>({kFftProcessId, "ProcFFT", "フーリエ変換...", "FFT", "", 1,
                                          1, true, 8},
                                         [](ProcFFT& p) { p.params = {1, 1}; });
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4]), 1);
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 8]), 1);
  const auto loaded = LoadShortened(bytes, 4);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(dynamic_cast<ProcFFT&>(*loaded).params.inverse, 1);
  EXPECT_EQ(dynamic_cast<ProcFFT&>(*loaded).params.centerOrigin, 0);
}

TEST_F(FftProcessTest, APictureTransformedThereAndBackThroughAGraphComesBackWithinRounding) {
  TempDir dir;
  std::mt19937 rng(9);
  const auto picture = RandomImage<Float1Image>(rng, 45, 28, 0, false);
  ASSERT_EQ(SaveImageTIFF(*picture, dir.File("in.tif")), 0);
  ProcModule graph;
  auto* reader = AddChild<ProcReadFile>(graph, kReadFileProcessId);
  reader->SetFileName(dir.File("in.tif"));
  ProcVirtual* toComplex = AddChild(graph, kToComplexProcessId);
  auto* forward = AddChild<ProcFFT>(graph, kFftProcessId);
  auto* inverse = AddChild<ProcFFT>(graph, kFftProcessId);
  forward->params.centerOrigin = inverse->params.centerOrigin = 1;
  inverse->params.inverse = 1;
  ProcVirtual* split = AddChild(graph, kExtractRealImagProcessId);
  toComplex->Connect(0, reader, 0);
  forward->Connect(0, toComplex, 0);
  inverse->Connect(0, forward, 0);
  split->Connect(0, inverse, 0);
  ASSERT_EQ(graph.Reset(), 0);
  ASSERT_EQ(graph.Step(), 0);
  const auto* real = As<Float1Image>(split->GetOutput(0));
  const auto* imaginary = As<Float1Image>(split->GetOutput(1));
  ASSERT_TRUE(real != nullptr && imaginary != nullptr);
  const FloatArray& in = picture->channels[0];
  ASSERT_TRUE(real->channels[0].SameSize(in) && imaginary->channels[0].SameSize(in));
  std::vector<ComplexD> expected(in.begin(), in.end());
  std::vector<ComplexD> actual(expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    actual[i] = {real->channels[0].begin()[i], imaginary->channels[0].begin()[i]};
  EXPECT_LE(RelativeError(actual, expected), 1e-5);
}

}  // namespace
}  // namespace kandrel::testing
