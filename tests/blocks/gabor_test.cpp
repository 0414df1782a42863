// The Gabor kernel against its formula written out plainly, for each output kind, and the
// records and refusals of the generator.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "blocks/filter/gabor.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class GaborTest : public KandrelTest {
 protected:
  // One frame of a generator with the parameters; its output.
  void SetUp() override {
    KandrelTest::SetUp();
    gabor = std::make_unique<ProcGaborFilter>(kGaborFilterProcessId);
  }
  void TearDown() override {
    gabor.reset();
    KandrelTest::TearDown();
  }
  const Image* Run(const ProcGaborFilter::Params& p) {
    gabor->params = p;
    return gabor->Step() == 0 ? gabor->GetOutput(0) : nullptr;
  }
  std::unique_ptr<ProcGaborFilter> gabor;
};

// The envelope and phase of (x, y), written from the formula.
std::pair<double, double> EnvelopeAndPhase(const ProcGaborFilter::Params& p, int x, int y) {
  const double xx = x - p.kernelWidth / 2.0 + 0.5, yy = y - p.kernelHeight / 2.0 + 0.5;
  const double angle = p.theta * std::numbers::pi / 180;
  const double u = xx * std::cos(angle) + yy * std::sin(angle);
  return {std::exp(-(xx * xx + yy * yy) / (2 * p.sigma * p.sigma)), 2 * std::numbers::pi * u / p.period};
}

TEST_F(GaborTest, EveryKindMatchesTheFormulaSampleForSample) {
  const ProcGaborFilter::Params cases[] = {
      {21, 21, 0.0, 3.0, 3.0, 255.0, ProcGaborFilter::kComplex, 0},
      {7, 4, 30.0, 1.5, 2.5, 10.0, ProcGaborFilter::kComplex, 1},
      {5, 9, -45.0, 2.0, 4.0, 2.0, ProcGaborFilter::kRealPart, 0},
      {6, 6, 90.0, 2.0, 1.0, 3.0, ProcGaborFilter::kImaginaryPart, 0},
      {31, 2, 10.0, 5.0, 7.0, 255.0, ProcGaborFilter::kRealPart, 1},
  };
  for (const auto& p : cases) {
    SCOPED_TRACE(::testing::Message() << p.kernelWidth << " x " << p.kernelHeight << " kind "
                                      << p.outputKind << " int " << p.intOutput);
    const Image* out = Run(p);
    ASSERT_NE(out, nullptr);
    const std::pair<int, int> size{p.kernelWidth, p.kernelHeight};
    if (p.outputKind == ProcGaborFilter::kComplex) {
      ASSERT_EQ(out->TypeId(), kTypeComplex1);  // whatever the precision says
      ExpectChannel(As<Complex1Image>(out)->channels[0], size, [&](int x, int y) {
        const auto [g, phase] = EnvelopeAndPhase(p, x, y);
        const double single = static_cast<float>(phase);
        const auto k = static_cast<float>(p.amplitude);
        return std::complex<float>(static_cast<float>(g * std::cos(single)) * k,
                                   static_cast<float>(g * std::sin(single)) * k);
      });
      continue;
    }
    const auto part = [&](int x, int y) {
      const auto [g, phase] = EnvelopeAndPhase(p, x, y);
      const double wave = p.outputKind == ProcGaborFilter::kRealPart ? std::cos(phase) : std::sin(phase);
      return static_cast<float>(static_cast<float>(wave * g) * p.amplitude);
    };
    if (p.intOutput != 0) {
      ASSERT_EQ(out->TypeId(), kTypeInt1);
      ExpectChannel(As<Int1Image>(out)->channels[0], size,
                    [&](int x, int y) { return static_cast<int>(std::round(part(x, y))); });
    } else {
      ASSERT_EQ(out->TypeId(), kTypeFloat1);
      ExpectChannel(As<Float1Image>(out)->channels[0], size, part);
    }
  }
  // The defaults' real part: the centre sample is K; stripes along x with period 3; at 90° the
  // stripes run horizontally.
  const FloatArray& real = As<Float1Image>(Run({21, 21, 0.0, 3.0, 3.0, 255.0, 1, 0}))->channels[0];
  EXPECT_FLOAT_EQ(real[10][10], 255.0f);
  EXPECT_NEAR(real[10][13] / real[10][10], std::exp(-9.0 / 18), 1e-6);
  const FloatArray& turned = As<Float1Image>(Run({21, 21, 90.0, 3.0, 3.0, 255.0, 1, 0}))->channels[0];
  EXPECT_NEAR(turned[13][10] / turned[10][10], std::exp(-9.0 / 18), 1e-6);
}

TEST_F(GaborTest, TheRecordIs48BytesAndRecordsNoDialogWritesFailTheFrame) {
  const auto bytes = ExpectKind<ProcGaborFilter>(
      {kGaborFilterProcessId, "ProcGaborFilter", "GaborFilter生成...", "Gabor", "", 0, 1, true, 48},
      [](ProcGaborFilter& g) { g.params = {9, 11, 12.5, 2.0, 4.0, 100.0, 2, 1}; });
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4 + 4]), 11);
  EXPECT_EQ(LoadF64(&bytes[kParamsOffset + 4 + 8]), 12.5);
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4 + 40]), 2);
  const ProcGaborFilter::Params refused[] = {
      {1, 21, 0, 3, 3, 255, 0, 0},  {21, 32, 0, 3, 3, 255, 0, 0}, {21, 21, 0, 3, 0.5, 255, 0, 0},
      {21, 21, 0, 3, NAN, 255, 0, 0}, {21, 21, 0, 3, 3, 255, 3, 0}, {21, 21, 0, 3, 3, 255, -1, 0},
  };
  for (const auto& p : refused) {
    host.ClearMessages();
    EXPECT_EQ(Run(p), nullptr);
    EXPECT_EQ(host.LastMessage(), "Gaborのパラメータが正しくありません。");
    EXPECT_EQ(gabor->Status(), "err");
  }
}

}  // namespace
}  // namespace kandrel::testing
