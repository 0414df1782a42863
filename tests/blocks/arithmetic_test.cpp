// Arithmetic processes against plain per-sample loops on all six image types, run frame by frame
// through the framework and its channel threads; edge cases, failures, type rules, catalogue rows
// and parameter records.
#include "blocks/pixel/arithmetic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Complex = std::complex<float>;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class ArithmeticTest : public KandrelTest {};

// The two-input operations the long way: in int64 keeping the low 32 bits, in double, in
// std::complex<double>, each rounded once at the end.
template <class T>
T TwoInputReference(int processId, T a, T b) {
  auto apply = [processId](auto x, auto y) {
    switch (processId) {
      case kAdderProcessId:
        return x + y;
      case kDifferenceProcessId:
        return x - y;
      case kMultiplierProcessId:
        return x * y;
      default:
        return x / y;
    }
  };
  if constexpr (std::is_same_v<T, int>)
    return static_cast<int>(apply(std::int64_t{a}, std::int64_t{b}));
  else if constexpr (kIsComplexSample<T>)
    return T(apply(std::complex<double>(a), std::complex<double>(b)));
  else
    return static_cast<float>(apply(double{a}, double{b}));
}

TEST_F(ArithmeticTest, TwoInputMembersMatchAPlainLoopOnEveryType) {
  std::mt19937 rng(7);
  for (int id : {kAdderProcessId, kDifferenceProcessId, kMultiplierProcessId, kDividerProcessId}) {
    ForEachImageType([&]<class L>() {
      using T = typename L::Sample;
      for (int trial = 0; trial < 4; ++trial) {  // trial 0: input 2 unlinked, a plain copy
        HeldImages held;
        const L& a = held.Hold(0, RandomSizedImage<L>(rng, 20));
        const L* b = nullptr;
        if (trial > 0) {
          auto second = RandomSizedImage<L>(rng, 20);
          if (id == kDividerProcessId && std::is_same_v<T, int>)
            for (auto& channel : second->channels)
              std::replace(channel.begin(), channel.end(), T{}, T{1});
          b = &held.Hold(1, std::move(second));
        }
        std::unique_ptr<ProcVirtual> process = CreateById(id);
        ASSERT_EQ(RunFrame(*process, held), 0);
        for (int c = 0; c < L::kChannels; ++c) {
          const auto& first = a.channels[c];
          ExpectChannel(
              As<L>(process->GetOutput(0))->channels[c], SizeOf(first),
              [&](int x, int y) {
                const bool overlap = b && x < b->channels[c].Width() && y < b->channels[c].Height();
                return overlap ? TwoInputReference(id, first[y][x], b->channels[c][y][x])
                               : first[y][x];
              },
              id == kDividerProcessId && kIsComplexSample<T> ? 1e-6 : 0);
        }
      }
    });
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ArithmeticTest, IntWrapsAndTruncatesComplexProductsAreFormedInDouble) {
  ProcAdder adder(kAdderProcessId);
  ProcMultiplier multiplier(kMultiplierProcessId);
  ProcDivider divider(kDividerProcessId);
  EXPECT_EQ(RunOnRows<Int1Image>(adder, {{200, INT_MAX}, {100, 1}}),
            (std::vector<int>{300, INT_MIN}));
  EXPECT_EQ(RunOnRows<Int1Image>(divider, {{7, -7, INT_MIN}, {-2, 2, -1}}),
            (std::vector<int>{-3, -3, INT_MIN}));
  EXPECT_EQ(RunOnRows<Complex1Image>(multiplier, {{{1, 2}}, {{3, 4}}}),
            std::vector{Complex(-5, 10)});
  // In float, 4097² − 4096² would come out as 8192.
  EXPECT_EQ(RunOnRows<Complex1Image>(multiplier, {{{4097, 4096}}, {{4097, 4096}}}),
            std::vector{Complex(8193, 33562624)});
}

TEST_F(ArithmeticTest, DividerFailsTheFrameOnAnIntZeroOnly) {
  ProcDivider divider(kDividerProcessId);
  EXPECT_EQ(RunOnRows<Int1Image>(divider, {{1, 2}, {1, 0}}), std::nullopt);
  EXPECT_EQ(Messages(), std::vector<std::string>{"0で除算しました。"});
  {  // a zero in one channel's thread fails the whole frame
    HeldImages held;
    held.Hold(0, Row<Int3Image>({5}));
    held.Hold(1, Row<Int3Image>({1})).channels[1][0][0] = 0;
    EXPECT_NE(RunFrame(divider, held), 0);
    divider.DisconnectAll();
  }
  EXPECT_EQ(Messages().size(), 2u);

  host.ClearMessages();
  const auto floats = RunOnRows<Float1Image>(divider, {{1, -1, 0}, {0, 0, 0}});
  ASSERT_TRUE(floats && (*floats)[0] == kInf && (*floats)[1] == -kInf && std::isnan((*floats)[2]));
  const auto quotients = RunOnRows<Complex1Image>(
      divider,
      {{{1, 1}, {1, 1}, {1, 1}, {3e38f, 3e38f}}, {{0, 0}, {kNaN, 1}, {kInf, 0}, {3e38f, 3e38f}}});
  ASSERT_TRUE(quotients.has_value());
  for (int i : {0, 1})
    EXPECT_TRUE(std::isnan((*quotients)[i].real()) && std::isnan((*quotients)[i].imag()));
  EXPECT_EQ((*quotients)[2], Complex(0, 0));
  EXPECT_EQ((*quotients)[3], Complex(1, 0));  // the divisor's magnitude must not overflow
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ArithmeticTest, GuardedMembersRefuseMissingImagesUnknownSizesAndMixedTypes) {
  for (int id : {kAdderProcessId, kDifferenceProcessId, kMultiplierProcessId, kDividerProcessId,
                 kMultiAdderProcessId}) {
    HeldImages held;
    std::unique_ptr<ProcVirtual> process = CreateById(id);
    auto empty = std::make_unique<Int1Image>();
    OutputImages outputs;
    EXPECT_EQ(process->Process(InputImages{empty.get()}, outputs), 1);
    EXPECT_EQ(host.LastMessage(), "入出力エラー");
    outputs[0] = std::make_unique<Int1Image>();
    EXPECT_EQ(process->Process(InputImages{empty.get()}, outputs), 1);
    EXPECT_EQ(host.LastMessage(), "画像のサイズがわかりません。");
    held.Hold(0, Row<Int1Image>({1}));
    held.Hold(1, Row<Float1Image>({1}));
    EXPECT_NE(RunFrame(*process, held), 0);
    EXPECT_EQ(process->Status(), "in?");
  }
}

TEST_F(ArithmeticTest, MultiplierAndDividerCanFixTheOutputWhiteLevel) {
  HeldImages held;
  held.Hold(0, Row<Float1Image>({6})).whiteLevel = 7.0;
  held.Hold(1, Row<Float1Image>({3}));
  ProcMultiplier multiplier(kMultiplierProcessId);
  ProcDivider divider(kDividerProcessId);
  ASSERT_EQ(RunFrame(multiplier, held), 0);
  EXPECT_EQ(multiplier.GetOutput(0)->whiteLevel, 7.0);  // input 1's, copied by the framework
  multiplier.params = {1, 65025.0};
  divider.params = {1, 0.5};
  for (int frame = 0; frame < 2; ++frame) {
    for (ProcMultiplier* p : {&multiplier, static_cast<ProcMultiplier*>(&divider)}) {
      if (p->GetOutput(0) != nullptr) p->GetOutput(0)->HideWindow();  // input 1's is copied again
      ASSERT_EQ(RunFrame(*p, held), 0);
    }
    EXPECT_EQ(multiplier.GetOutput(0)->whiteLevel, 65025.0);
    EXPECT_EQ(divider.GetOutput(0)->whiteLevel, 0.5);
  }
}

// The weighted sum the long way: Int rounds each term half away from zero (±0.5, truncate),
// Float rounds each step once, Complex rounds the weight and each product to float.
template <class T>
T WeightedSumReference(const ProcMultiAdder::Params& p,
                       const std::array<std::optional<T>, 3>& terms) {
  const double weights[] = {p.weight1, p.weight2, p.weight3};
  std::int64_t intSum = static_cast<std::int64_t>(p.offset);
  T sum = T(static_cast<float>(p.offset));
  for (int k = 0; k < 3; ++k) {
    if (!terms[k]) continue;
    const T s = *terms[k];
    if constexpr (std::is_same_v<T, int>) {
      const double v = weights[k] * s;
      intSum += static_cast<std::int64_t>(v >= 0 ? v + 0.5 : v - 0.5);
    } else if constexpr (kIsComplexSample<T>) {
      const float w = static_cast<float>(weights[k]);
      const float re = s.real() * w, im = s.imag() * w;
      sum = T(sum.real() + re, sum.imag() + im);
    } else {
      sum = static_cast<float>(static_cast<double>(s) * weights[k] + sum);
    }
  }
  if constexpr (std::is_same_v<T, int>)
    return static_cast<int>(intSum);
  else
    return sum;
}

TEST_F(ArithmeticTest, MultiAdderMatchesAPlainLoopOnEveryType) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> weight(-2.0, 2.0);
  ForEachImageType([&]<class L>() {
    for (int trial = 0; trial < 4; ++trial) {
      HeldImages held;
      std::array<const L*, 3> in{};
      for (int k = 0; k < 3; ++k)
        if (k == 0 || rng() % 3 != 0) in[k] = &held.Hold(k, RandomSizedImage<L>(rng, 12, false));
      ProcMultiAdder adder(kMultiAdderProcessId);
      adder.params = {weight(rng), weight(rng), weight(rng), 10 * weight(rng)};
      ASSERT_EQ(RunFrame(adder, held), 0);
      for (int c = 0; c < L::kChannels; ++c) {
        ExpectChannel(
            As<L>(adder.GetOutput(0))->channels[c], SizeOf(in[0]->channels[c]), [&](int x, int y) {
              std::array<std::optional<typename L::Sample>, 3> terms;
              for (int k = 0; k < 3; ++k)
                if (in[k] && x < in[k]->channels[c].Width() && y < in[k]->channels[c].Height())
                  terms[k] = in[k]->channels[c][y][x];
              return WeightedSumReference(adder.params, terms);
            });
      }
    }
  });
  ProcMultiAdder adder(kMultiAdderProcessId);
  EXPECT_EQ(RunOnRows<Int1Image>(adder, {{3, -3, 5}, {0, 0, 2}}), (std::vector<int>{2, -2, 4}));
  adder.params.offset = 1.9;  // truncated: every sample starts at 1
  EXPECT_EQ(RunOnRows<Int1Image>(adder, {{4, -3, 0}}), (std::vector<int>{3, -1, 1}));
}

TEST_F(ArithmeticTest, MixerKeepsEachChannelsSizeAndZeroFillsUnlinkedOnes) {
  std::mt19937 rng(5);
  auto check = [&]<class One, class Three>() {
    HeldImages held;
    const One& first = held.Hold(0, RandomImage<One>(rng, 640, 480));
    const One& third = held.Hold(2, RandomImage<One>(rng, 320, 240));
    Proc3chMixer mixer(k3chMixerProcessId);
    ASSERT_EQ(RunFrame(mixer, held), 0);
    const Three* out = As<Three>(mixer.GetOutput(0));
    EXPECT_EQ(SamplesOf(out->channels[0]), SamplesOf(first.channels[0]));
    EXPECT_EQ(SamplesOf(out->channels[1]), std::vector<typename One::Sample>(640 * 480));
    EXPECT_EQ(SizeOf(out->channels[1]), std::make_pair(640, 480));
    EXPECT_EQ(SamplesOf(out->channels[2]), SamplesOf(third.channels[0]));
    EXPECT_EQ(SizeOf(out->channels[2]), std::make_pair(320, 240));
    EXPECT_EQ(out->colorSpace, kRgb);  // not the inputs' single-channel tag
  };
  check.template operator()<Int1Image, Int3Image>();
  check.template operator()<Float1Image, Float3Image>();
  check.template operator()<Complex1Image, Complex3Image>();

  HeldImages onlyThird;
  onlyThird.Hold(2, RandomImage<Int1Image>(rng, 5, 3));
  Proc3chMixer mixer(k3chMixerProcessId);
  ASSERT_EQ(RunFrame(mixer, onlyThird), 0);
  for (const IntArray& channel : As<Int3Image>(mixer.GetOutput(0))->channels)
    EXPECT_EQ(SizeOf(channel), std::make_pair(5, 3));
  OutputImages none;
  EXPECT_EQ(mixer.Process(InputImages{}, none), 1);
  EXPECT_EQ(host.LastMessage(), "画像のサイズがわかりません。");
  EXPECT_EQ(mixer.Process(InputImages{onlyThird.GetOutput(2)}, none), 1);
  EXPECT_EQ(host.LastMessage(), "処理できません。");
}

TEST_F(ArithmeticTest, AbsMatchesAPlainLoopOnIntAndFloatTypes) {
  std::mt19937 rng(9);
  ForEachImageType([&]<class L>() {
    using T = typename L::Sample;
    if constexpr (!kIsComplexSample<T>) {
      HeldImages held;
      const L& in = held.Hold(0, RandomSizedImage<L>(rng, 20));
      ProcAbs abs(kAbsProcessId);
      ASSERT_EQ(RunFrame(abs, held), 0);
      for (int c = 0; c < L::kChannels; ++c) {
        ExpectChannel(As<L>(abs.GetOutput(0))->channels[c], SizeOf(in.channels[c]),
                      [&](int x, int y) -> T {
                        // In int64, keeping the low 32 bits: the smallest int stays itself.
                        if constexpr (std::is_same_v<T, int>)
                          return static_cast<int>(std::llabs(in.channels[c][y][x]));
                        else
                          return std::fabs(in.channels[c][y][x]);
                      });
      }
    }
  });
}

TEST_F(ArithmeticTest, TypeRules) {
  for (int id : {kAdderProcessId, kDifferenceProcessId, kMultiplierProcessId, kDividerProcessId,
                 kMultiAdderProcessId, k3chMixerProcessId, kAbsProcessId}) {
    std::unique_ptr<ProcVirtual> process = CreateById(id);
    for (int code = 0; code < 7 * 7 * 7; ++code) {
      const int t1 = code % 7, t2 = code / 7 % 7, t3 = process->InputCount() == 3 ? code / 49 : 0;
      int expected = t1 != 0 && (t2 == 0 || t2 == t1) && (t3 == 0 || t3 == t1) ? t1 : 0;
      if (id == kAbsProcessId) expected = t1 == 1 || t1 == 2 || t1 == 4 || t1 == 5 ? t1 : 0;
      if (id == k3chMixerProcessId) {
        const int t = t1 != 0 ? t1 : t2 != 0 ? t2 : t3;
        const bool agree = (t1 == 0 || t1 == t) && (t2 == 0 || t2 == t) && (t3 == 0 || t3 == t);
        expected = agree && t >= 1 && t <= 3 ? t + 3 : 0;
      }
      TypeList in{t1, t2, t3}, out{};
      EXPECT_EQ(process->InferOutputTypes(in, out) ? out[0] : 0, expected) << id << ": " << code;
    }
  }
}

TEST_F(ArithmeticTest, CatalogueRowsAndParameterRecords) {
  ExpectKind({kAdderProcessId, "ProcAdder", "＋加算", "Adder", "Adder", 2, 1, false, 0});
  ExpectKind(
      {kDifferenceProcessId, "ProcDifference", "－減算", "In1_In2", "Subtracter", 2, 1, false, 0});
  ExpectKind({kMultiplierProcessId, "ProcMultiplier", "×乗算", "Multiplier", "Multiplier", 2, 1,
              true, 16});
  ExpectKind({k3chMixerProcessId, "Proc3chMixer", "カラー（3ch）合成...", "Ch3Mixer", "Ch3Mixer", 3,
              1, false, 0});
  ExpectKind({kAbsProcessId, "ProcAbs", "絶対値", "Abs", "Abs", 1, 1, false, 0});
  const auto divider = ExpectKind<ProcDivider>(
      {kDividerProcessId, "ProcDivider", "／除算", "Divider", "Divider", 2, 1, true, 16},
      [](ProcDivider& p) {
        p.params = {1, 65025.0};
      });
  const std::uint8_t* block = &divider[kParamsOffset + 4];
  EXPECT_EQ(LoadI32(block), 1);
  EXPECT_EQ(LoadI32(block + 4), 0);  // padding
  EXPECT_EQ(LoadF64(block + 8), 65025.0);
  const auto adder =
      ExpectKind<ProcMultiAdder>({kMultiAdderProcessId, "ProcMultiAdder", "混合（３入力）...",
                                  "MultiAdder", "", 3, 1, true, 32},
                                 [](ProcMultiAdder& p) {
                                   p.params = {0.25, -1.0, 2.0, 3.5};
                                 });
  // A shorter stored record sets only its own fields.
  const auto loaded = LoadShortened(adder, 8);
  const auto& params = dynamic_cast<ProcMultiAdder&>(*loaded).params;
  EXPECT_EQ(params.weight1, 0.25);
  EXPECT_EQ(params.weight2, 0.5);
}

}  // namespace
}  // namespace kandrel::testing
