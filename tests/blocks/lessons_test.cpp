// The teaching examples against per-sample formulas on every image type each accepts, run through
// the framework's default routes and channel threads; edge cases, messages, type rules, catalogue
// rows and the parameter record.
#include "blocks/pixel/lessons.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Complex = std::complex<float>;
using Samples = std::array<std::optional<float>, 3>;

class LessonTest : public KandrelTest {};

int RoundedAway(double v) { return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5); }

// A float rule applied as the framework's routes apply it: Int through float and rounded back,
// Complex part by part.
template <class T, class Rule>
T ThroughFloat(const std::array<std::optional<T>, 3>& in, Rule rule) {
  auto part = [&](auto pick) {
    Samples floats;
    for (int k = 0; k < 3; ++k)
      if (in[k]) floats[k] = pick(*in[k]);
    return rule(floats);
  };
  if constexpr (std::is_same_v<T, int>)
    return RoundedAway(part([](int s) { return static_cast<float>(s); }));
  else if constexpr (kIsComplexSample<T>)
    return {part([](Complex s) { return s.real(); }), part([](Complex s) { return s.imag(); })};
  else
    return part([](float s) { return s; });
}

// The offset, then each present input's term added in long double and rounded on its own.
float Lesson2(const ProcLesson2::Params& p, const Samples& in) {
  const double weights[] = {p.weight1, p.weight2, p.weight3};
  float sum = static_cast<float>(p.offset);
  for (int k = 0; k < 3; ++k)
    if (in[k]) sum = static_cast<float>(static_cast<long double>(*in[k]) * weights[k] + sum);
  return sum;
}

TEST_F(LessonTest, Lesson1And2MatchTheirFormulasOnEveryType) {
  std::mt19937 rng(41);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  ForEachImageType([&]<class L>() {
    using T = typename L::Sample;
    for (int trial = 0; trial < 6; ++trial) {
      HeldImages held;
      const int last = trial % 3;  // the highest linked input, which gives the size
      std::array<L*, 3> in{};
      in[last] = &held.Hold(last, RandomSizedImage<L>(rng, 15, false));
      for (int k = 0; k < last; ++k) {
        if (rng() % 3 == 0) continue;
        in[k] = &held.Hold(k, RandomSizedImage<L>(rng, 1, false));
        for (int c = 0; c < L::kChannels; ++c) {  // the sizes of the last input's channels
          in[k]->channels[c] = in[last]->channels[c];
          for (T& s : in[k]->channels[c]) s = RandomSample<T>(rng, false);
        }
      }
      ProcLesson1 lesson1(kLesson1ProcessId);
      ProcLesson2 lesson2(kLesson2ProcessId);
      lesson2.params = {u(rng), u(rng), u(rng), 10 * u(rng)};
      const bool first = in[0] != nullptr;
      ASSERT_EQ(RunFrame(lesson2, held) | (first ? RunFrame(lesson1, held) : 0), 0);
      for (int c = 0; c < L::kChannels; ++c) {
        auto at = [&](int x, int y) {
          std::array<std::optional<T>, 3> samples;
          for (int k = 0; k < 3; ++k)
            if (in[k]) samples[k] = in[k]->channels[c][y][x];
          return samples;
        };
        ExpectChannel(As<L>(lesson2.GetOutput(0))->channels[c], SizeOf(in[last]->channels[c]),
                      [&](int x, int y) {
                        return ThroughFloat(
                            at(x, y), [&](const Samples& f) { return Lesson2(lesson2.params, f); });
                      });
        if (first)
          ExpectChannel(As<L>(lesson1.GetOutput(0))->channels[c], SizeOf(in[0]->channels[c]),
                        [&](int x, int y) {
                          return ThroughFloat(at(x, y), [](const Samples& f) { return 1 - *f[0]; });
                        });
      }
      lesson1.DisconnectAll();
      lesson2.DisconnectAll();
    }
  });
  EXPECT_TRUE(Messages().empty());
}

TEST_F(LessonTest, Lesson1And2EdgeCases) {
  ProcLesson1 lesson1(kLesson1ProcessId);
  EXPECT_EQ(RunOnRows<Float1Image>(lesson1, {{0.25f}}), std::vector{0.75f});
  EXPECT_EQ(RunOnRows<Int1Image>(lesson1, {{200, 0}}), (std::vector{-199, 1}));
  EXPECT_EQ(RunOnRows<Complex1Image>(lesson1, {{Complex(0.25f, 2)}}),
            std::vector{Complex(0.75f, -1)});

  ProcLesson2 lesson2(kLesson2ProcessId);
  EXPECT_EQ(lesson2.params.weight1, 1.0 / 3.0);
  EXPECT_EQ(RunOnRows<Int1Image>(lesson2, {{255, 1}, {255, 1}, {255, 2}}), (std::vector{255, 1}));
  // A cancellation that a double sum would round to another float.
  lesson2.params = {-1.0447785089413832, 0, 0, -70};
  const float exact = static_cast<float>(-67.0L * lesson2.params.weight1 - 70);
  ASSERT_NE(exact, static_cast<float>(-67.0 * lesson2.params.weight1 - 70));
  EXPECT_EQ(RunOnRows<Float1Image>(lesson2, {{-67.0f}}), std::vector{exact});
  lesson2.params = {1.0, 0.5, 1.0, 1.0};
  EXPECT_EQ(RunOnRows<Complex1Image>(lesson2, {{Complex(0, 0)}}), std::vector{Complex(1, 1)});
  HeldImages second;  // input 2 alone: no input 1 whose attributes would be copied
  second.Hold(1, Row<Float1Image>({4.0f, -2.0f})).whiteLevel = 7.0;
  ASSERT_EQ(RunFrame(lesson2, second), 0);
  const auto* out = As<Float1Image>(lesson2.GetOutput(0));
  EXPECT_EQ(SamplesOf(out->channels[0]), (std::vector{3.0f, 0.0f}));
  EXPECT_EQ(out->whiteLevel, 1.0);
  EXPECT_TRUE(Messages().empty());

  HeldImages unequal;  // inputs 1 and 3 differ in size in two of three channels
  unequal.Hold(0, Row<Int3Image>({1, 2}));
  Int3Image& third = unequal.Hold(2, Row<Int3Image>({1, 2}));
  third.channels[1].Resize(1, 1);
  third.channels[2].Resize(2, 2);
  EXPECT_NE(RunFrame(lesson2, unequal), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>(2, "入力画像のサイズがそろっていません。"));
  lesson2.DisconnectAll();
  // The highest linked input names the type; the others must agree with it.
  const std::array<int, 4> rules[] = {{0, 0, 0, 0}, {0, 5, 0, 5}, {2, 0, 2, 2}, {2, 0, 3, 0},
                                      {4, 4, 4, 4}, {0, 0, 7, 0}, {1, 2, 0, 0}};
  for (const auto& [t1, t2, t3, expected] : rules) {
    TypeList in{t1, t2, t3}, types{};
    EXPECT_EQ(lesson2.InferOutputTypes(in, types) ? types[0] : 0, expected) << t1 << t2 << t3;
  }
  EXPECT_NE(lesson1.Step(), 0);  // input 1 unlinked
  EXPECT_EQ(lesson1.Status(), "in?");
}

TEST_F(LessonTest, Lesson3MatchesItsFormulaAndEdgeCases) {
  std::mt19937 rng(43);
  ProcLesson3 lesson(kLesson3ProcessId);
  for (const auto& [width, height] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{13, 11}}) {
    HeldImages held;
    const auto& [r, g, b] =
        held.Hold(0, RandomImage<Int3Image>(rng, width, height, 0, false)).channels;
    ASSERT_EQ(RunFrame(lesson, held), 0);
    lesson.DisconnectAll();
    ExpectChannel(As<Int1Image>(lesson.GetOutput(0))->channels[0], {width, height},
                  [&](int x, int y) {
                    return RoundedAway(0.299 * r[y][x] + 0.587 * g[y][x] + 0.114 * b[y][x]);
                  });
  }
  const std::array<int, 4> cases[] = {
      {255, 0, 0, 76},
      {0, 255, 0, 150},
      {0, 0, 255, 29},
      {255, 255, 255, 255},
      {-255, 0, 0, -76},
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
      {INT_MIN, INT_MIN, INT_MIN, INT_MIN},  // saturated where no int holds the sum
  };
  lesson.SetName("Luma");
  for (const auto& [r, g, b, luma] : cases) {
    HeldImages held;
    Int3Image& in = held.Hold(0, Row<Int3Image>({r}));
    in.channels[1][0][0] = g;
    in.channels[2][0][0] = b;
    in.whiteLevel = 1023;
    ASSERT_EQ(RunFrame(lesson, held), 0);
    lesson.DisconnectAll();
    const auto* out = As<Int1Image>(lesson.GetOutput(0));
    EXPECT_EQ(SamplesOf(out->channels[0]), std::vector{luma}) << r << ", " << g << ", " << b;
    EXPECT_EQ(out->whiteLevel, 255.0);  // the standard frame, which would copy it, does not run
  }
  HeldImages unequal;
  unequal.Hold(0, Row<Int3Image>({1, 2, 3})).channels[2].Resize(3, 2);
  EXPECT_NE(RunFrame(lesson, unequal), 0);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"Lumaへの入力の各チャンネルのサイズが異なります。"});
  EXPECT_EQ(lesson.GetOutput(0)->view, (ViewRect{0, 0, 1, 1}));  // reset even then
  HeldImages floats;
  floats.Hold(0, Row<Float3Image>({1.0f}));
  EXPECT_NE(RunFrame(lesson, floats), 0);
  EXPECT_EQ(lesson.Status(), "in?");
  lesson.DisconnectAll();
}

TEST_F(LessonTest, CatalogueRowsAndParameterRecord) {
  ExpectKind(
      {kLesson1ProcessId, "ProcLesson1", "Lesson1（１in１out）", "Lesson1", "", 1, 1, false, 0});
  ExpectKind({kLesson3ProcessId, "ProcLesson3", "Lesson3（色Channel操作）", "Lesson3", "", 1, 1,
              false, 0});
  const auto bytes =
      ExpectKind<ProcLesson2>({kLesson2ProcessId, "ProcLesson2", "Lesson2（3in1out、Dialogあり）",
                               "Lesson2", "", 3, 1, true, 32},
                              [](ProcLesson2& p) { p.params.weight3 = -0.75; });
  const std::uint8_t* block = &bytes[kParamsOffset + 4];
  EXPECT_TRUE(LoadF64(block) == 1.0 / 3.0 && LoadF64(block + 16) == -0.75 &&
              LoadF64(block + 24) == 0.0);
}

}  // namespace
}  // namespace kandrel::testing
