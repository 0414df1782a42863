// Motion-compensated tiling against a plain block copy: the worked vectors, the blocks that reach
// outside the reference, every image type, and the record.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "blocks/motion/movable_tiling.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class MovableTilingTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    tiling = std::make_unique<ProcMovableTiling>(kMovableTilingProcessId);
  }
  void TearDown() override {
    tiling.reset();
    KandrelTest::TearDown();
  }
  // One frame with the vectors (row-major, width columns) on a reference of the size.
  int Run(const std::vector<std::complex<float>>& field, int width, int referenceSize) {
    HeldImages held;
    ComplexArray& vectors = held.Hold(0, std::make_unique<Complex1Image>()).channels[0];
    vectors.Resize(width, static_cast<int>(field.size()) / width);
    std::copy(field.begin(), field.end(), vectors.begin());
    std::mt19937 rng(1);
    reference = held.Hold(1, RandomImage<Int3Image>(rng, referenceSize, referenceSize)).channels[0];
    const int result = RunFrame(*tiling, held);
    tiling->DisconnectAll();
    return result;
  }
  const IntArray& Out() const { return As<Int3Image>(tiling->GetOutput(0))->channels[0]; }

  std::unique_ptr<ProcMovableTiling> tiling;
  IntArray reference;
};

TEST_F(MovableTilingTest, BlocksComeFromWhereTheirVectorsPoint) {
  ASSERT_EQ(Run({0, 0, 0, 0}, 2, 16), 0);  // zero vectors: the reference itself
  EXPECT_EQ(SamplesOf(Out()), SamplesOf(reference));
  // Block (0, 1) with (2.7, 0) from column trunc(5.3) = 5, block (1, 1) with (−2.7, 1) from
  // column trunc(10.7) = 10 and row 7; the others stay.
  ASSERT_EQ(Run({0, {2.7f, 0}, 0, {-2.7f, 1}}, 2, 20), 0);
  const std::pair<int, int> from[2][2] = {{{0, 0}, {5, 0}}, {{0, 8}, {10, 7}}};
  ExpectChannel(Out(), {16, 16}, [&](int x, int y) {
    const auto [sx, sy] = from[y / 8][x / 8];
    return reference[sy + y % 8][sx + x % 8];
  });
}

TEST_F(MovableTilingTest, ABlockOutsideTheReferenceFailsTheFrameAndLaterBlocksStayZero) {
  const std::vector<std::complex<float>> outside[] = {
      {0, 0, 0, 0, 0, 0, 0, 0, 0},            // a 3 × 3 field needs 24 columns of 16
      {{1, 0}, 0, 0, 0},                      // column −1
      {0, {NAN, 0}, 0, 0},                    // no position at all
      {0, 0, 0, {0, -INFINITY}},
  };
  for (const auto& field : outside) {
    host.ClearMessages();
    EXPECT_EQ(Run(field, field.size() == 9 ? 3 : 2, 16), 2);
    EXPECT_EQ(host.LastMessage(), "MovTiling内でベクトルの範囲が入力２のサイズを超えました。");
  }
  EXPECT_EQ(Out()[8][8], 0);  // the failing block of the last case
  tiling->params.blockSize = 0;
  EXPECT_NE(Run({0}, 1, 16), 0);
  EXPECT_EQ(host.LastMessage(), "MovTilingのパラメータが正しくありません。");
}

TEST_F(MovableTilingTest, TypesAndRecord) {
  const std::pair<TypeList, int> rules[] = {{{3, 1}, 1}, {{3, 5}, 5}, {{2, 1}, 0}, {{3, 0}, 0}};
  for (const auto& [in, expected] : rules) {
    TypeList out{};
    EXPECT_EQ(tiling->InferOutputTypes(in, out) ? out[0] : 0, expected);
  }
  const auto bytes = ExpectKind<ProcMovableTiling>(
      {kMovableTilingProcessId, "ProcMovableTiling", "", "MovTiling", "", 2, 1, true, 4},
      [](ProcMovableTiling& p) { p.params.blockSize = 16; });
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4]), 16);
}

}  // namespace
}  // namespace kandrel::testing
