// The 8 × 8 DCT through the framework: the formulas recomputed plainly on odd sizes and extremes,
// the orthonormal DCT-II, quantisation, refused steps, the catalogue row, record and type rules.
#include "blocks/transform/dct8x8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class Dct8x8Test : public KandrelTest {};

using Matrix = std::array<std::array<std::int64_t, 8>, 8>;

// round(4096·√2·cos((2n + 1)kπ/16)), row 0 all 4096.
Matrix FixedPointMatrix() {
  Matrix t;
  for (int k = 0; k < 8; ++k)
    for (int n = 0; n < 8; ++n)
      t[k][n] = k == 0 ? 4096
                       : std::llround(4096 * std::numbers::sqrt2 *
                                      std::cos((2 * n + 1) * k * std::numbers::pi / 16));
  return t;
}

std::int32_t Clamped(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// The formulas as written, in 64 bits, with the results saturated; samples outside whole blocks
// copied.
IntArray NaiveDct(const IntArray& in, const QuantTable& table, int scale, bool inverse) {
  const Matrix T = FixedPointMatrix();
  IntArray out = in;
  for (int y = 0; y + 7 < in.Height(); y += 8) {
    for (int x = 0; x + 7 < in.Width(); x += 8) {
      std::int64_t b[8][8], t[8][8], r[8][8];
      for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
          b[i][j] = inverse ? Clamped(in[y + i][x + j] * std::int64_t{table[i][j]} * scale)
                            : in[y + i][x + j];
      for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
          std::int64_t sum = 2048;
          for (int k = 0; k < 8; ++k) sum += inverse ? b[k][i] * T[k][j] : T[j][k] * b[i][k];
          t[i][j] = sum >> 12;
        }
      }
      for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
          std::int64_t sum = 16384;
          for (int k = 0; k < 8; ++k) sum += inverse ? t[k][i] * T[k][j] : T[j][k] * t[k][i];
          (inverse ? r[i][j] : r[j][i]) = sum >> 15;
        }
      }
      for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
          const std::int64_t q = std::int64_t{table[i][j]} * scale, f = q / 2, v = r[i][j];
          out[y + i][x + j] = Clamped(inverse ? v : v < 0 ? (v - f) / q : (v + f) / q);
        }
      }
    }
  }
  return out;
}

// Four blocks side by side that take the transform to its limits: ±8191 by the signs of row 4
// of T along both axes (the int32 sums come closest to overflowing), 8192 so (64 bits), the same
// at INT32_MAX and a constant INT32_MIN block (saturation).
IntArray ExtremeBlocks() {
  const int signs[] = {1, -1, -1, 1, 1, -1, -1, 1}, scales[] = {8191, 8192, INT32_MAX};
  IntArray blocks(32, 8);
  for (int r = 0; r < 8; ++r)
    for (int x = 0; x < 32; ++x)
      blocks[r][x] = x < 24 ? signs[r] * signs[x % 8] * scales[x / 8] : INT32_MIN;
  return blocks;
}

TEST_F(Dct8x8Test, MatchesThePlainFormulasBorderAndSaturationIncluded) {
  std::mt19937 rng(23);
  struct Quantiser {
    QuantTable table;
    int scale;
  };
  for (const Quantiser& q : {Quantiser{FilledQuantTable(1), 1},
                             {kMpegIntraQuantTable, 3},
                             {FilledQuantTable(INT32_MAX), 1}}) {
    for (int inverse : {0, 1}) {
      // One channel per thread, each of its own size.
      HeldImages held;
      auto image = std::make_unique<Int3Image>();
      image->channels[0] = RandomImage<Int1Image>(rng, 17, 9)->channels[0];
      image->channels[1] = RandomImage<Int1Image>(rng, 23, 16, 0, false)->channels[0];
      image->channels[2] = ExtremeBlocks();
      const Int3Image& in = held.Hold(0, std::move(image));
      ProcDCT8x8 dct(kDct8x8ProcessId);
      dct.params = {q.table, q.scale, inverse};
      ASSERT_EQ(RunFrame(dct, held), 0);
      for (int c = 0; c < 3; ++c)
        EXPECT_EQ(SamplesOf(As<Int3Image>(dct.GetOutput(0))->channels[c]),
                  SamplesOf(NaiveDct(in.channels[c], q.table, q.scale, inverse != 0)))
            << q.scale << " " << inverse << " " << c;
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Dct8x8Test, CloseToTheOrthonormalTransformAndBackWithUnitSteps) {
  std::mt19937 rng(29);
  HeldImages held;
  const IntArray& in = held.Hold(0, RandomImage<Int1Image>(rng, 64, 64, 0, false)).channels[0];
  ProcDCT8x8 forward(kDct8x8ProcessId), inverse(kDct8x8ProcessId);
  inverse.params.inverse = 1;
  inverse.Connect(0, &forward, 0);
  ASSERT_EQ(RunFrame(forward, held), 0);
  ASSERT_EQ(inverse.Step(), 0);
  const IntArray& coefficients = As<Int1Image>(forward.GetOutput(0))->channels[0];
  const IntArray& back = As<Int1Image>(inverse.GetOutput(0))->channels[0];
  auto basis = [](int k, int n) {
    return (k == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * n + 1) * k * std::numbers::pi / 16);
  };
  double worst = 0, worstBack = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      double exact = 0;
      for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
          exact += basis(y % 8, r) * basis(x % 8, c) * in[y - y % 8 + r][x - x % 8 + c];
      worst = std::max(worst, std::abs(coefficients[y][x] - exact));
      worstBack = std::max(worstBack, std::abs(back[y][x] - 1.0 * in[y][x]));
    }
  }
  EXPECT_LE(worst, 1.0);
  EXPECT_LE(worstBack, 1.0);
  inverse.DisconnectAll();
}

TEST_F(Dct8x8Test, ConstantBlocksAndQuantisationHalvesAwayFromZero) {
  struct Case {
    int upper, lower, upperRows;  // the samples of the block's upper and lower rows
    bool mpeg;
    int scale, dc;
  };
  for (Case c : {Case{100, 100, 8, false, 1, 800},
                 {100, 100, 8, true, 1, 100},
                 {-1, -2, 4, false, 1, -12},
                 {-1, -2, 4, false, 8, -2},
                 {2, 1, 3, false, 1, 11},
                 {2, 1, 3, false, 8, 1}}) {
    HeldImages held;
    IntArray& in = held.Hold(0, std::make_unique<Int1Image>()).channels[0];
    in.Resize(8, 8);
    for (int r = 0; r < 8; ++r) std::fill(in[r], in[r] + 8, r < c.upperRows ? c.upper : c.lower);
    ProcDCT8x8 dct(kDct8x8ProcessId);
    dct.params = {c.mpeg ? kMpegIntraQuantTable : FilledQuantTable(1), c.scale, 0};
    ASSERT_EQ(RunFrame(dct, held), 0);
    const IntArray& out = As<Int1Image>(dct.GetOutput(0))->channels[0];
    EXPECT_EQ(out[0][0], c.dc) << c.upper << " / " << c.scale;
    EXPECT_TRUE(c.upper != c.lower || std::count(out.begin(), out.end(), 0) == 63);  // DC only
  }
}

TEST_F(Dct8x8Test, StepsOutsideTheInt32RangeFailTheFrame) {
  for (auto [entry, scale] : {std::pair{0, 1}, {1, 0}, {-8, 1}, {8, -1}, {65536, 32768}}) {
    ProcDCT8x8 edited(kDct8x8ProcessId);
    edited.params.quantTable[3][5] = entry;
    edited.params.qScale = scale;
    MemoryStream stream(SavedBytes(edited));
    std::unique_ptr<ProcVirtual> stored = CreateFromStream(stream);
    host.ClearMessages();
    EXPECT_EQ(RunOnRows<Int1Image>(*stored, {std::vector<int>(16, 7)}), std::nullopt);
    EXPECT_EQ(
        Messages(),
        std::vector<std::string>{"DCT 8x8の量子化テーブル×Qスケールが 1～2147483647 を超えます。"})
        << entry << " × " << scale;
  }
}

TEST_F(Dct8x8Test, CatalogueRowParameterRecordAndTypeRules) {
  const auto bytes = ExpectKind<ProcDCT8x8>(
      {kDct8x8ProcessId, "ProcDCT8x8", "DCT...", "DCT 8x8", "", 1, 1, true, 264},
      [](ProcDCT8x8& p) {
        p.params = {kMpegIntraQuantTable, 3, 1};
      });
  const std::uint8_t* block = &bytes[kParamsOffset + 4];
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(LoadI32(block + 4 * i), kMpegIntraQuantTable[i / 8][i % 8]);
  EXPECT_EQ(LoadI32(block + 256), 3);
  EXPECT_EQ(LoadI32(block + 260), 1);

  ProcDCT8x8 dct(kDct8x8ProcessId);
  for (int type = 0; type <= kImageTypeCount + 1; ++type) {
    TypeList in{type}, out{};
    const bool accepted = type == kTypeInt1 || type == kTypeInt3;
    EXPECT_EQ(dct.InferOutputTypes(in, out), accepted) << type;
    EXPECT_EQ(out[0], accepted ? type : 0) << type;
  }
}

}  // namespace
}  // namespace kandrel::testing
