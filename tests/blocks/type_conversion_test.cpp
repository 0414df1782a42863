// Type and channel conversions against plain per-sample loops on every image type each accepts,
// run frame by frame through the framework; edge cases, messages, type rules, catalogue rows and
// parameter records.
#include "blocks/pixel/type_conversion.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Complex = std::complex<float>;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class TypeConversionTest : public KandrelTest {};

// Rounding as the conversions define it: add 0.5 (subtract it below zero), then truncate.
int RoundedAway(double v) { return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5); }

// The image type with the channel count of L and element T.
template <class L, class T>
using WithSample = std::conditional_t<
    std::is_same_v<T, int>, std::conditional_t<L::kChannels == 1, Int1Image, Int3Image>,
    std::conditional_t<std::is_same_v<T, float>,
                       std::conditional_t<L::kChannels == 1, Float1Image, Float3Image>,
                       std::conditional_t<L::kChannels == 1, Complex1Image, Complex3Image>>>;

TEST_F(TypeConversionTest, ToIntAndToDoubleMatchAPlainLoop) {
  std::mt19937 rng(13);
  ForEachImageType([&]<class L>() {
    using T = typename L::Sample;
    if constexpr (!kIsComplexSample<T>) {
      for (std::int32_t rescale : {0, 1}) {
        HeldImages held;
        L& in = held.Hold(0, RandomSizedImage<L>(rng, 20, false));
        in.colorSpace = kYCrCb;
        ProcToInt toInt(kToIntProcessId);
        ProcToDouble toDouble(kToDoubleProcessId);
        toInt.params = toDouble.params = {rescale, 200.0, 3.0};
        ASSERT_EQ(RunFrame(toInt, held) | RunFrame(toDouble, held), 0);
        const auto* ints = As<WithSample<L, int>>(toInt.GetOutput(0));
        const auto* floats = As<WithSample<L, float>>(toDouble.GetOutput(0));
        for (int c = 0; c < L::kChannels; ++c) {
          const auto& channel = in.channels[c];
          ExpectChannel(ints->channels[c], SizeOf(channel), [&](int x, int y) {
            const T v = channel[y][x];
            if (rescale != 0)
              return RoundedAway(static_cast<float>(v) * static_cast<float>(3.0 / 200.0));
            return std::is_same_v<T, int> ? static_cast<int>(v) : RoundedAway(v);
          });
          ExpectChannel(floats->channels[c], SizeOf(channel), [&](int x, int y) {
            const float v = static_cast<float>(channel[y][x]);
            return rescale != 0 ? static_cast<float>(v * (3.0 / 200.0)) : v;
          });
        }
        for (const Image* out :
             {static_cast<const Image*>(ints), static_cast<const Image*>(floats)})
          EXPECT_TRUE(out->whiteLevel == 3.0 && out->colorSpace == kYCrCb &&
                      out->view.right == in.Width());
      }
    }
  });

  ProcToInt toInt(kToIntProcessId);
  EXPECT_EQ((RunOnRows<Int1Image, Float1Image>(toInt, {{2.5f, -2.5f, 0.49f, 3e9f, -3e9f, kNaN}})),
            (std::vector<int>{3, -3, 0, INT_MAX, INT_MIN, 0}));
  toInt.params = {1, 1.0, 255.0};
  EXPECT_EQ((RunOnRows<Int1Image, Float1Image>(toInt, {{0.5f}})), std::vector<int>{128});
  ProcToDouble toDouble(kToDoubleProcessId);
  EXPECT_EQ((RunOnRows<Float1Image, Int1Image>(toDouble, {{255}})), std::vector<float>{255.0f});
  EXPECT_EQ(toDouble.GetOutput(0)->whiteLevel, 255.0);
  toDouble.params = {1, 255.0, 1.0};
  EXPECT_EQ((RunOnRows<Float1Image, Int1Image>(toDouble, {{255}})), std::vector<float>{1.0f});
  EXPECT_TRUE(Messages().empty());

  // A zero input white level: ToInt fails silently, the others say so.
  toInt.params.inputWhiteLevel = 0;
  EXPECT_EQ((RunOnRows<Int1Image, Float1Image>(toInt, {{1}})), std::nullopt);
  EXPECT_TRUE(Messages().empty());
  toDouble.params.inputWhiteLevel = 0;
  EXPECT_EQ((RunOnRows<Float1Image, Int1Image>(toDouble, {{1}})), std::nullopt);
  EXPECT_EQ(host.LastMessage(), "ToFloatが0で割ろうとしました。");
  ProcToComplex toComplex(kToComplexProcessId);
  toComplex.params = {1, 0.0, 1.0};
  EXPECT_EQ((RunOnRows<Complex1Image, Float1Image>(toComplex, {{1}})), std::nullopt);
  EXPECT_EQ(host.LastMessage(), "ToComplexが0で割ろうとしました。");
}

TEST_F(TypeConversionTest, ToComplexTakesEachPartOverItsOverlap) {
  std::mt19937 rng(17);
  ForEachImageType([&]<class L>() {
    if constexpr (!kIsComplexSample<typename L::Sample>) {
      for (int linked : {1, 2, 3}) {  // input 1, input 2, both
        HeldImages held;
        const L* re = linked & 1 ? &held.Hold(0, RandomSizedImage<L>(rng, 20, false)) : nullptr;
        const L* im = linked & 2 ? &held.Hold(1, RandomSizedImage<L>(rng, 20, false)) : nullptr;
        ProcToComplex toComplex(kToComplexProcessId);
        toComplex.params = {linked == 3, 4.0, 2.0};
        const float scale = linked == 3 ? 0.5f : 1.0f;
        ASSERT_EQ(RunFrame(toComplex, held), 0);
        const auto* out = As<WithSample<L, Complex>>(toComplex.GetOutput(0));
        EXPECT_EQ(out->whiteLevel, 2.0);
        for (int c = 0; c < L::kChannels; ++c) {
          auto part = [&](const L* image, int x, int y) {
            if (image == nullptr || x >= image->channels[c].Width() ||
                y >= image->channels[c].Height())
              return 0.0f;
            return static_cast<float>(image->channels[c][y][x]) * scale;
          };
          ExpectChannel(out->channels[c], SizeOf((re ? re : im)->channels[0]),
                        [&](int x, int y) { return Complex(part(re, x, y), part(im, x, y)); });
        }
      }
    }
  });
}

// The weighted sum the long way, 0 where a channel has no sample; Complex multiplies by (w, 0)
// in complex float and adds the offset to the real part only.
template <class T>
T MonoReference(const ProcToMono::Params& p, const std::array<T, 3>& c) {
  if constexpr (kIsComplexSample<T>) {
    auto term = [](T s, double w) { return s * T(static_cast<float>(w), 0); };
    const T sum = term(c[0], p.weight1) + term(c[1], p.weight2) + term(c[2], p.weight3);
    return T(static_cast<float>(sum.real() + p.offset), sum.imag());
  } else {
    const double v = c[0] * p.weight1 + c[1] * p.weight2 + c[2] * p.weight3 + p.offset;
    if constexpr (std::is_same_v<T, int>)
      return RoundedAway(v);
    else
      return static_cast<float>(v);
  }
}

TEST_F(TypeConversionTest, ToMonoMatchesAPlainLoopAndSurvivesUnequalChannels) {
  std::mt19937 rng(19);
  std::uniform_real_distribution<double> weight(-1.0, 1.0);
  ForEachImageType([&]<class L>() {
    if constexpr (L::kChannels == 3) {
      for (bool unequal : {false, true}) {
        host.ClearMessages();
        HeldImages held;
        const L& in = held.Hold(0, unequal ? RandomSizedImage<L>(rng, 20, false)
                                           : RandomImage<L>(rng, 13, 7, 0, false));
        ProcToMono mono(kToMonoProcessId);
        mono.params = {weight(rng), weight(rng), weight(rng), 50 * weight(rng)};
        ASSERT_EQ(RunFrame(mono, held), 0);
        const bool differ =
            !in.channels[1].SameSize(in.channels[0]) || !in.channels[2].SameSize(in.channels[0]);
        EXPECT_EQ(
            Messages(),
            differ ? std::vector<std::string>{"ToMonoへの入力の各チャンネルのサイズが異なります。"}
                   : std::vector<std::string>{});
        using One = WithSample<Int1Image, typename L::Sample>;
        ExpectChannel(As<One>(mono.GetOutput(0))->channels[0], SizeOf(in.channels[0]),
                      [&](int x, int y) {
                        std::array<typename L::Sample, 3> samples{};
                        for (int c = 0; c < 3; ++c)
                          if (x < in.channels[c].Width() && y < in.channels[c].Height())
                            samples[c] = in.channels[c][y][x];
                        return MonoReference(mono.params, samples);
                      });
      }
    }
  });

  ProcToMono mono(kToMonoProcessId);
  EXPECT_EQ((RunOnRows<Int1Image, Int3Image>(mono, {{255, 100}})), (std::vector<int>{255, 100}));
  HeldImages held;
  auto& red = held.Hold(0, Row<Int3Image>({100}));
  red.channels[1][0][0] = red.channels[2][0][0] = 0;
  ASSERT_EQ(RunFrame(mono, held), 0);
  EXPECT_EQ(As<Int1Image>(mono.GetOutput(0))->channels[0][0][0], 30);  // 29.9
  mono.DisconnectAll();
  mono.params.offset = 10;
  const auto offsetOnlyReal = RunOnRows<Complex1Image, Complex3Image>(mono, {{Complex(1, 1)}});
  ASSERT_TRUE(offsetOnlyReal.has_value());
  EXPECT_NEAR((*offsetOnlyReal)[0].real(), 11.0f, 1e-5);
  EXPECT_NEAR((*offsetOnlyReal)[0].imag(), 1.0f, 1e-6);
}

TEST_F(TypeConversionTest, ExtractChKeepsEachChannelsSize) {
  std::mt19937 rng(23);
  ForEachImageType([&]<class L>() {
    using One = WithSample<Int1Image, typename L::Sample>;
    if constexpr (L::kChannels == 3) {
      HeldImages held;
      L& in = held.Hold(0, RandomImage<L>(rng, 640, 480));
      for (int c : {1, 2}) in.channels[c] = RandomImage<One>(rng, 320, 240)->channels[0];
      ProcExtractCh split(kExtractChProcessId);
      ASSERT_EQ(RunFrame(split, held), 0);
      for (int k = 0; k < 3; ++k) {
        const One* out = As<One>(split.GetOutput(k));
        EXPECT_EQ(SamplesOf(out->channels[0]), SamplesOf(in.channels[k]));
        EXPECT_EQ(SizeOf(out->channels[0]), SizeOf(in.channels[k]));
        EXPECT_EQ(out->view, (ViewRect{0, 0, in.channels[k].Width(), in.channels[k].Height()}));
      }
      OutputImages missing;
      missing[0] = std::make_unique<One>();
      EXPECT_EQ(split.Process(InputImages{&in}, missing), 1);
    }
  });
}

TEST_F(TypeConversionTest, ComplexOperationsMatchAPlainLoop) {
  std::mt19937 rng(29);
  ForEachImageType([&]<class L>() {
    if constexpr (kIsComplexSample<typename L::Sample>) {
      using Parts = WithSample<L, float>;
      HeldImages held;
      L& in = held.Hold(0, RandomSizedImage<L>(rng, 20));
      in.colorSpace = kLab;
      ProcExtractAbs abs(kExtractAbsProcessId);
      ProcConjugate conjugate(kConjugateProcessId);
      ProcExtractRealImag split(kExtractRealImagProcessId);
      ASSERT_EQ(RunFrame(abs, held) | RunFrame(conjugate, held) | RunFrame(split, held), 0);
      for (int c = 0; c < L::kChannels; ++c) {
        const auto& z = in.channels[c];
        ExpectChannel(
            As<Parts>(abs.GetOutput(0))->channels[c], SizeOf(z),
            [&](int x, int y) {
              return static_cast<float>(std::hypot(double{z[y][x].real()}, double{z[y][x].imag()}));
            },
            1e-6);
        ExpectChannel(As<L>(conjugate.GetOutput(0))->channels[c], SizeOf(z),
                      [&](int x, int y) { return std::conj(z[y][x]); });
        ExpectChannel(As<Parts>(split.GetOutput(0))->channels[c], SizeOf(z),
                      [&](int x, int y) { return z[y][x].real(); });
        ExpectChannel(As<Parts>(split.GetOutput(1))->channels[c], SizeOf(z),
                      [&](int x, int y) { return z[y][x].imag(); });
      }
      EXPECT_EQ(conjugate.GetOutput(0)->colorSpace, kLab);  // the standard frame copies it
    }
  });

  ProcExtractAbs abs(kExtractAbsProcessId);
  const auto magnitudes = RunOnRows<Float1Image, Complex1Image>(
      abs, {{{3, 4}, {1e30f, 1e30f}, {1e-30f, 1e-30f}, {kInf, kNaN}, {kNaN, 1}}});
  ASSERT_TRUE(magnitudes.has_value());
  EXPECT_EQ((*magnitudes)[0], 5.0f);
  EXPECT_FLOAT_EQ((*magnitudes)[1], 1.41421356e30f);  // neither overflows nor underflows
  EXPECT_FLOAT_EQ((*magnitudes)[2], 1.41421356e-30f);
  EXPECT_EQ((*magnitudes)[3], kInf);
  EXPECT_TRUE(std::isnan((*magnitudes)[4]));
  ProcConjugate conjugate(kConjugateProcessId);
  EXPECT_EQ((RunOnRows<Complex1Image>(conjugate, {{{1, 2}}})), std::vector{Complex(1, -2)});
  ProcExtractRealImag split(kExtractRealImagProcessId);
  EXPECT_EQ((RunOnRows<Float1Image, Complex1Image>(split, {{{1, 2}}}, 0)), std::vector<float>{1});
  EXPECT_EQ((RunOnRows<Float1Image, Complex1Image>(split, {{{1, 2}}}, 1)), std::vector<float>{2});
  OutputImages oneOutput;
  oneOutput[0] = std::make_unique<Float1Image>();
  auto input = Row<Complex1Image>({{1, 2}});
  EXPECT_EQ(split.Process(InputImages{input.get()}, oneOutput), 1);
}

TEST_F(TypeConversionTest, TypeRules) {
  // Output type by input type (index 0: unlinked); 0 refuses. Multi-output kinds give it to all.
  const std::pair<int, std::array<int, 7>> rules[] = {
      {kToIntProcessId, {0, 1, 1, 0, 4, 4, 0}},
      {kToDoubleProcessId, {0, 2, 2, 0, 5, 5, 0}},
      {kToComplexProcessId, {0, 3, 3, 0, 6, 6, 0}},
      {kToMonoProcessId, {0, 0, 0, 0, 1, 2, 3}},
      {kExtractChProcessId, {0, 0, 0, 0, 1, 2, 3}},
      {kExtractAbsProcessId, {0, 0, 0, 2, 0, 0, 5}},
      {kConjugateProcessId, {0, 0, 0, 3, 0, 0, 6}},
      {kExtractRealImagProcessId, {0, 0, 0, 2, 0, 0, 5}},
  };
  for (const auto& [id, types] : rules) {
    std::unique_ptr<ProcVirtual> process = CreateById(id);
    for (int t1 = 0; t1 <= 6; ++t1) {
      for (int t2 = 0; t2 <= 6; ++t2) {
        // ToComplex alone has a second input: either part may be unlinked, both must agree.
        int expected = types[t1];
        if (id == kToComplexProcessId)
          expected = t1 != 0 && t2 != 0 && t1 != t2 ? 0 : types[t1 != 0 ? t1 : t2];
        TypeList in{t1, t2}, out{};
        const bool accepted = process->InferOutputTypes(in, out);
        EXPECT_EQ(accepted, expected != 0) << id << ": " << t1 << ", " << t2;
        for (int k = 0; accepted && k < process->OutputCount(); ++k) EXPECT_EQ(out[k], expected);
      }
    }
  }
}

TEST_F(TypeConversionTest, CatalogueRowsAndParameterRecords) {
  auto scaled = [](ProcToInt& p) { p.params = {1, 4095.0, 1.0}; };
  for (const KindRow& row :
       {KindRow{kToIntProcessId, "ProcToInt", "Int型へ", "ToInt", "", 1, 1, true, 24},
        KindRow{kToDoubleProcessId, "ProcToDouble", "Float型へ", "ToFloat", "", 1, 1, true, 24},
        KindRow{kToComplexProcessId, "ProcToComplex", "Complex型へ", "ToComplex", "", 2, 1, true,
                24}}) {
    const auto bytes = ExpectKind<ProcToInt>(row, scaled);
    const std::uint8_t* block = &bytes[kParamsOffset + 4];
    EXPECT_EQ(LoadI32(block), 1);
    EXPECT_EQ(LoadI32(block + 4), 0);  // padding
    EXPECT_EQ(LoadF64(block + 8), 4095.0);
    EXPECT_EQ(LoadF64(block + 16), 1.0);
  }
  ExpectKind({kExtractChProcessId, "ProcExtractCh", "カラー（3ch）分離", "Ch3Split", "Ch3Split", 1,
              3, false, 0});
  ExpectKind({kExtractAbsProcessId, "ProcExtractAbs", "絶対値に変換", "Abs", "", 1, 1, false, 0});
  ExpectKind({kConjugateProcessId, "ProcConjugate", "複素共役へ", "Conjugate", "", 1, 1, false, 0});
  ExpectKind({kExtractRealImagProcessId, "ProcExtractRealImag", "実数と虚数を分離", "Real+Imag", "",
              1, 2, false, 0});
  const auto mono =
      ExpectKind<ProcToMono>({kToMonoProcessId, "ProcToMono", "グレースケール（1ch）へ...",
                              "ToMono", "ToMono", 1, 1, true, 32},
                             [](ProcToMono& p) {
                               p.params = {1, 0, 0, -16};
                             });
  // A shorter stored record sets only its own fields.
  const auto loaded = LoadShortened(mono, 16);
  const auto& params = dynamic_cast<ProcToMono&>(*loaded).params;
  EXPECT_TRUE(params.weight1 == 1.0 && params.weight2 == 0.0 && params.weight3 == 0.114 &&
              params.offset == 0.0);
}

}  // namespace
}  // namespace kandrel::testing
