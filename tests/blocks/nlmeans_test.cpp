// Non-local means against the filter written out plainly (every block distance summed over its
// clipped block) on small odd sizes and one picture wide enough for several tiles and bands,
// both paths and their sum and weight variants; edge cases, refused records, type rules, the
// catalogue row, the record and the Verilog lines. The PSNR gain is in total_variation_test.
#include "blocks/filter/nlmeans.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class NLMeansTest : public KandrelTest {};

template <class T>
Array2D<T> PlainNLMeans(const Array2D<T>& in, const ProcNLMeans::Params& p) {
  constexpr bool kInt = std::is_same_v<T, int>;
  const int w = in.Width(), h = in.Height(), b = p.blockSize / 2, s = p.searchSize / 2;
  const double spread = p.h * p.h * p.blockSize * p.blockSize;
  const std::int64_t n = static_cast<std::int64_t>(spread);
  using Sum = std::conditional_t<kInt, std::int64_t, double>;
  std::vector<Sum> a(w * h), z(w * h);
  for (int dy = -s; dy <= s; ++dy) {
    for (int dx = -s; dx <= s; ++dx) {
      auto inside = [&](int x, int y) {
        return x + dx >= 0 && x + dx < w && y + dy >= 0 && y + dy < h;
      };
      auto q = [&](int x, int y) {
        const auto d = inside(x, y) ? std::int64_t{0} + in[y][x] - in[y + dy][x + dx] : in[y][x];
        const std::int64_t t = kInt ? static_cast<std::int64_t>(d) : TruncateToInt(d);
        return t * t;
      };
      for (int i = 0; i < w * h; ++i) {
        const int x = i % w, y = i / w;
        if (!inside(x, y)) continue;
        std::int64_t d = 0;
        for (int yy = std::max(y - b, 0); yy < std::min(y + b + 1, h); ++yy)
          for (int xx = std::max(x - b, 0); xx < std::min(x + b + 1, w); ++xx) d += q(xx, yy);
        const std::int64_t u = d * 32 / n;
        if (kInt && u > 160) continue;
        const auto weight = kInt ? std::trunc(256 * std::exp(-u / 32.0)) : std::exp(-(d / spread));
        a[i] += static_cast<Sum>(weight) * in[y + dy][x + dx];
        z[i] += static_cast<Sum>(weight);
      }
    }
  }
  Array2D<T> out(w, h);
  for (int i = 0; i < w * h; ++i) out.Data()[i] = static_cast<T>(a[i] / z[i]);
  return out;
}

template <class L>
std::unique_ptr<L> Uniform(std::mt19937& rng, int w, int h, double range) {
  auto image = std::make_unique<L>();
  image->Resize(w, h);
  std::uniform_real_distribution<double> sample(-range, range);
  for (auto& s : image->channels[0]) s = static_cast<typename L::Sample>(sample(rng));
  return image;
}

// One frame on the image, checked against the plain filter.
template <class L>
void ExpectPlain(ProcNLMeans& nlm, std::unique_ptr<L> image) {
  HeldImages held;
  const auto& in = held.Hold(0, std::move(image)).channels[0];
  EXPECT_EQ(RunFrame(nlm, held), 0);
  nlm.DisconnectAll();
  EXPECT_EQ(SamplesOf(As<L>(nlm.GetOutput(0))->channels[0]),
            SamplesOf(PlainNLMeans(in, nlm.params)));
}

TEST_F(NLMeansTest, BothPathsMatchThePlainFilterExactly) {
  struct Case {
    bool isInt;
    int w, h;
    ProcNLMeans::Params p;
    double range;
  };
  // Table and division weights, narrow and wide sums, even sizes, a search beyond the image,
  // and tiles of 16 rows over bands.
  const Case cases[] = {{true, 9, 7, {3, 5, 10}, 40},     {true, 11, 5, {4, 6, 10}, 255},
                        {true, 7, 9, {5, 25, 3}, 30},     {true, 8, 6, {3, 5, 300}, 3000},
                        {true, 9, 7, {5, 3, 3000}, 1e5},  {true, 2601, 53, {5, 3, 10}, 60},
                        {false, 9, 7, {3, 5, 10}, 300},   {false, 10, 7, {4, 4, 2.5}, 20},
                        {false, 7, 5, {5, 7, 1000}, 1e5}, {false, 2601, 53, {5, 3, 10}, 60}};
  std::mt19937 rng(5);
  ProcNLMeans nlm(kNLMeansProcessId);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << " B " << c.p.blockSize << " h " << c.p.h);
    nlm.params = c.p;
    if (c.isInt)
      ExpectPlain(nlm, Uniform<Int1Image>(rng, c.w, c.h, c.range));
    else
      ExpectPlain(nlm, Uniform<Float1Image>(rng, c.w, c.h, c.range));
  }
  // Single-sample blocks, partner c at D = c²: right below and at a weight step and at the
  // last weighted distance, by table (n below about 2·10⁵) and by division.
  for (auto [c, n] : {std::pair{100, 106667}, {100, 106657}, {259, 13333}, {1419, 400211}}) {
    nlm.params = {1, 3, std::sqrt(n + 0.5)};
    ExpectPlain(nlm, Row<Int1Image>({0, c}));
  }
}

TEST_F(NLMeansTest, EdgeCases) {
  ProcNLMeans nlm(kNLMeansProcessId);
  // No search (S = 0) and a constant give the input back, extreme samples included.
  nlm.params.searchSize = 1;
  const std::vector<int> extremes{INT_MIN, INT_MAX, -1, 0, INT_MIN + 1, 1 << 30};
  EXPECT_EQ(RunOnRows<Int1Image>(nlm, {extremes}), extremes);
  nlm.params = {};
  EXPECT_EQ(RunOnRows<Int1Image>(nlm, {std::vector<int>(9, -77)}), std::vector<int>(9, -77));
  // Extreme differences stay huge distances (every block here holds one): nothing is averaged.
  // Samples that are no numbers give no numbers, defined.
  EXPECT_EQ(RunOnRows<Int1Image>(nlm, {extremes}), extremes);
  EXPECT_TRUE(std::isnan(RunOnRows<Float1Image>(nlm, {{NAN, INFINITY, -INFINITY, 1}}).value()[3]));
  // Float samples less than 1 apart count as equal: the mean over the search window.
  const std::vector<float> fractions{0.1f, 0.9f, 0.5f, 0.25f, 0.75f};
  EXPECT_EQ(RunOnRows<Float1Image>(nlm, {fractions}).value()[0],
            static_cast<float>((double{0.1f} + 0.9f + 0.5f + 0.25f) / 4));
  // n = 2500 (single-sample blocks, h 50): 112² = 12544 still weighs E[160] = 1 (three
  // partners: 3·112 / 259), 113² = 12769 nothing.
  nlm.params = {1, 7, 50.0};
  EXPECT_EQ(RunOnRows<Int1Image>(nlm, {{0, 112, 112, 112}}).value()[0], 1);
  EXPECT_EQ(RunOnRows<Int1Image>(nlm, {{0, 113, 113, 113}}).value()[0], 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(NLMeansTest, RefusalsTypeRulesCatalogueRowRecordAndVerilog) {
  const double nan = std::nan("");
  const ProcNLMeans::Params refused[] = {{0, 7, 10}, {2048, 7, 10}, {5, 0, 10},  {5, 2048, 10},
                                         {5, 7, 0},  {5, 7, 0.1},   {5, 7, nan}, {5, 7, HUGE_VAL}};
  ProcNLMeans nlm(kNLMeansProcessId);
  for (const ProcNLMeans::Params& p : refused) {
    nlm.params = p;
    EXPECT_EQ(RunOnRows<Float1Image>(nlm, {{1, 2, 3}}), std::nullopt) << p.blockSize << " " << p.h;
  }
  EXPECT_EQ(Messages(), std::vector<std::string>(8, "NLMeansのパラメータが正しくありません。"));
  for (const ProcNLMeans::Params& p :
       {ProcNLMeans::Params{5, 7, 0.2}, {1, 1, -1}, {2047, 2047, 1e200}}) {
    nlm.params = p;
    EXPECT_TRUE(RunOnRows<Int1Image>(nlm, {{1, 2, 3}}).has_value()) << p.blockSize << " " << p.h;
  }
  for (int type = 0; type <= kImageTypeCount + 1; ++type) {
    TypeList in{type}, out{};
    EXPECT_EQ(nlm.InferOutputTypes(in, out) ? out[0] : 0, type <= kImageTypeCount ? type : 0);
  }
  const auto bytes = ExpectKind<ProcNLMeans>(
      {kNLMeansProcessId, "ProcNLMeans", "NL means...", "NLMeans", "NLMeans", 1, 1, true, 16},
      [](ProcNLMeans& p) {
        p.params = {3, 9, 12.5};
      });
  const std::uint8_t* block = &bytes[kParamsOffset + 4];
  EXPECT_EQ(std::tuple(LoadI32(block), LoadI32(block + 4), LoadF64(block + 8)),
            std::tuple(3, 9, 12.5));
  nlm.params = {};
  for (auto [h, last] :
       {std::pair{12.9, "12;"}, {-3.7, "-3;"}, {1e300, "2147483647;"}, {nan, "0;"}}) {
    nlm.params.h = h;
    std::vector<std::string> lines;
    nlm.WriteVerilogParams(lines, "Proc1");
    EXPECT_EQ(lines, (std::vector<std::string>{"\t\tdefparam", "\t\t\tProc1.BlockSize = 5,",
                                               "\t\t\tProc1.SearchSize = 7,",
                                               std::string("\t\t\tProc1.HParam = ") + last}));
  }
}

}  // namespace
}  // namespace kandrel::testing
