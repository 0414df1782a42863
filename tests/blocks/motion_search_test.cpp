// Block motion search against a plain exhaustive search without early exits, the worked cases,
// the refusals, and tiling with the vectors it finds rebuilding a translated frame.
#include "blocks/motion/motion_search.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "blocks/motion/movable_tiling.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

// Every candidate in row order, the full sum each time, the earlier winning a tie.
template <class T>
ComplexArray PlainSearch(const Array2D<T>& cur, const Array2D<T>& ref,
                         const ProcMotionSearch::Params& p) {
  const int w = cur.Width(), h = cur.Height(), b = p.blockSize;
  ComplexArray field((w - b) / p.blockStep + 1, (h - b) / p.blockStep + 1);
  const auto sad = [&](int x0, int y0, int j, int i) {
    double sum = 0;
    for (int r = 0; r < b; ++r)
      for (int c = 0; c < b; ++c)
        sum += std::fabs(double(cur[y0 + r][x0 + c]) - double(ref[i + r][j + c]));
    return sum;
  };
  for (int by = 0; by < field.Height(); ++by)
    for (int bx = 0; bx < field.Width(); ++bx) {
      const int x0 = bx * p.blockStep, y0 = by * p.blockStep;
      int bestX = x0, bestY = y0;
      double best = sad(x0, y0, x0, y0);
      for (int i = std::max(0, y0 - p.searchRange); i <= std::min(y0 + p.searchRange, h - b); ++i)
        for (int j = std::max(0, x0 - p.searchRange); j <= std::min(x0 + p.searchRange, w - b); ++j)
          if (best != 0 && sad(x0, y0, j, i) < best) best = sad(x0, y0, j, i), bestX = j, bestY = i;
      field[by][bx] = {float(x0 - bestX), float(y0 - bestY)};
    }
  return field;
}

class MotionSearchTest : public KandrelTest {
 protected:
  // The field for the two images, or nothing when the frame failed.
  template <class L>
  const ComplexArray* Search(std::unique_ptr<L> current, std::unique_ptr<L> reference) {
    held = std::make_unique<HeldImages>();
    held->Hold(0, std::move(current));
    held->Hold(1, std::move(reference));
    const int result = RunFrame(*search, *held);
    search->DisconnectAll();
    return result == 0 ? &As<Complex1Image>(search->GetOutput(0))->channels[0] : nullptr;
  }
  void SetUp() override {
    KandrelTest::SetUp();
    search = std::make_unique<ProcMotionSearch>(kMotionSearchProcessId);
  }
  void TearDown() override {
    search.reset();
    held.reset();
    KandrelTest::TearDown();
  }
  std::unique_ptr<HeldImages> held;
  std::unique_ptr<ProcMotionSearch> search;
};

// A smooth random texture, so that blocks have one best match.
template <class L>
std::unique_ptr<L> Texture(int w, int h, int shiftX, int shiftY, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<double> phases(6);
  for (double& p : phases) p = std::uniform_real_distribution<double>(0, 6.28)(rng);
  auto image = std::make_unique<L>();
  image->Resize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = x - shiftX, v = y - shiftY;
      const double s = std::sin(u * 0.37 + phases[0]) * std::cos(v * 0.29 + phases[1]) +
                       std::sin((u + v) * 0.53 + phases[2]) +
                       std::cos((u - 2 * v) * 0.41 + phases[3]);
      image->channels[0][y][x] = static_cast<typename L::Sample>(std::round(100 * s));
    }
  return image;
}

TEST_F(MotionSearchTest, TheFieldMatchesThePlainSearchAndFindsAShift) {
  // The last is large enough for its rows of blocks to be split over threads.
  const std::tuple<ProcMotionSearch::Params, int, int> cases[] = {{{8, 8, 8, 0}, 37, 29},
                                                                  {{4, 6, 3, 0}, 37, 29},
                                                                  {{8, 8, 0, 0}, 37, 29},
                                                                  {{5, 5, 2, 0}, 37, 29},
                                                                  {{2, 8, 2, 0}, 200, 150}};
  for (const auto& [p, w, h] : cases) {
    SCOPED_TRACE(::testing::Message() << p.blockStep << " " << p.blockSize << " " << p.searchRange);
    search->params = p;
    auto cur = Texture<Int1Image>(w, h, 2, -1, 3), ref = Texture<Int1Image>(w, h, 0, 0, 3);
    const ComplexArray expected = PlainSearch(cur->channels[0], ref->channels[0], p);
    const ComplexArray* field = Search(std::move(cur), std::move(ref));
    ASSERT_NE(field, nullptr);
    ExpectChannel(*field, {expected.Width(), expected.Height()},
                  [&](int x, int y) { return expected[y][x]; });
    auto fcur = Texture<Float1Image>(w, h, -3, 1, 5), fref = Texture<Float1Image>(w, h, 0, 0, 5);
    const ComplexArray fexpected = PlainSearch(fcur->channels[0], fref->channels[0], p);
    field = Search(std::move(fcur), std::move(fref));
    ASSERT_NE(field, nullptr);
    ExpectChannel(*field, {fexpected.Width(), fexpected.Height()},
                  [&](int x, int y) { return fexpected[y][x]; });
  }
  // Defaults on 64 × 48: 8 × 6 vectors; a frame moved right by 3 reads (3, 0) inside; identical
  // frames read 0 everywhere.
  search->params = {};
  const ComplexArray* field =
      Search(Texture<Int1Image>(64, 48, 3, 0, 7), Texture<Int1Image>(64, 48, 0, 0, 7));
  ASSERT_NE(field, nullptr);
  ASSERT_EQ(SizeOf(*field), (std::pair{8, 6}));
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 7; ++x)
      EXPECT_EQ((*field)[y][x], std::complex<float>(3, 0)) << x << ", " << y;
  field = Search(Texture<Int1Image>(64, 48, 0, 0, 7), Texture<Int1Image>(64, 48, 0, 0, 7));
  for (const auto& v : *field) EXPECT_EQ(v, std::complex<float>(0, 0));
}

TEST_F(MotionSearchTest, TilingWithTheFoundVectorsRebuildsTheMovedFrame) {
  ProcMovableTiling tiling(kMovableTilingProcessId);
  HeldImages inputs;
  auto cur = Texture<Int1Image>(64, 48, 3, 2, 9), ref = Texture<Int1Image>(64, 48, 0, 0, 9);
  const IntArray current = cur->channels[0];
  inputs.Hold(1, std::make_unique<Int1Image>()).channels[0] = ref->channels[0];
  const ComplexArray* field = Search(std::move(cur), std::move(ref));
  ASSERT_NE(field, nullptr);
  auto vectors = std::make_unique<Complex1Image>();
  vectors->channels[0] = *field;
  // Edge blocks whose true source lies outside the reference found something else; their
  // vectors are kept inside it so that the tiling runs.
  for (auto& v : vectors->channels[0]) v = {std::max(v.real(), 0.0f), std::max(v.imag(), 0.0f)};
  inputs.Hold(0, std::move(vectors));
  ASSERT_EQ(RunFrame(tiling, inputs), 0);
  tiling.DisconnectAll();
  const IntArray& rebuilt = As<Int1Image>(tiling.GetOutput(0))->channels[0];
  // Wherever the translation stays inside the picture: every block but those of the top row and
  // left column, whose content came from outside the reference.
  for (int y = 8; y < 48; ++y)
    for (int x = 8; x < 64; ++x) ASSERT_EQ(rebuilt[y][x], current[y][x]) << x << ", " << y;
}

TEST_F(MotionSearchTest, RefusalsTypesAndRecord) {
  EXPECT_EQ(Search(Texture<Int1Image>(16, 16, 0, 0, 1), Texture<Int1Image>(16, 17, 0, 0, 1)),
            nullptr);
  EXPECT_EQ(host.LastMessage(), "MotionSrchへの入力１と２のサイズが異なります。");
  EXPECT_EQ(Search(Texture<Int1Image>(7, 16, 0, 0, 1), Texture<Int1Image>(7, 16, 0, 0, 1)),
            nullptr);
  EXPECT_EQ(host.LastMessage(), "MotionSrchへの入力がブロックサイズより小さいです。");
  for (const ProcMotionSearch::Params& p :
       {ProcMotionSearch::Params{0, 8, 8, 0}, {8, 0, 8, 0}, {8, 8, -1, 0}, {8, 8, 8, 1}}) {
    search->params = p;
    EXPECT_EQ(Search(Texture<Int1Image>(16, 16, 0, 0, 1), Texture<Int1Image>(16, 16, 0, 0, 1)),
              nullptr);
    EXPECT_EQ(host.LastMessage(), "MotionSrchのパラメータが正しくありません。");
  }
  const std::pair<TypeList, int> rules[] = {
      {{1, 1}, 3}, {{2, 2}, 3}, {{1, 2}, 0}, {{3, 3}, 0}, {{4, 4}, 0}};
  for (const auto& [in, expected] : rules) {
    TypeList out{};
    EXPECT_EQ(search->InferOutputTypes(in, out) ? out[0] : 0, expected);
  }
  const auto bytes = ExpectKind<ProcMotionSearch>(
      {kMotionSearchProcessId, "ProcMotionSearch", "動き探索", "MotionSrch", "", 2, 1, true, 16},
      [](ProcMotionSearch& p) {
        p.params = {4, 6, 12, 0};
      });
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4 + 8]), 12);
}

}  // namespace
}  // namespace kandrel::testing
