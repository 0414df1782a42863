// The coordinate-map kinds against their maps written out plainly in single precision, the
// nearest-sample remapping, the worked cases, and XYMapping's map input.
#include "blocks/geometry/xy_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "image/tiff_dump.h"
#include "io/read_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

using Position = std::complex<float>;

// The map each kind must build for an image of w × h, written from its formulas.
template <class Formula>
ComplexArray PlainMap(int w, int h, Formula formula) {
  ComplexArray map(w, h);
  const auto cx = static_cast<float>(w / 2), cy = static_cast<float>(h / 2);
  for (int i = 0; i < h; ++i)
    for (int j = 0; j < w; ++j)
      map[i][j] = formula(static_cast<float>(j + 0.5), static_cast<float>(i + 0.5), cx, cy);
  return map;
}

ComplexArray MoveMap(int w, int h, const ProcMove::Params& p) {
  const float c = static_cast<float>(std::cos(-p.angle * std::numbers::pi / 180));
  const float s = static_cast<float>(std::sin(-p.angle * std::numbers::pi / 180));
  return PlainMap(w, h, [&](float px, float py, float cx, float cy) {
    if (p.centerOrigin) {
      px = px - cx;
      py = py - cy;
    }
    px = px - static_cast<float>(p.shiftX);
    py = py - static_cast<float>(p.shiftY);
    const float a = px * c, b = py * s, e = px * s, f = py * c;
    float x = a - b, y = e + f;
    if (p.centerOrigin) {
      x = x + cx;
      y = y + cy;
    }
    return Position(x, y);
  });
}

ComplexArray ExpandMap(int w, int h, const ProcExpand::Params& p) {
  return PlainMap(w, h, [&](float px, float py, float cx, float cy) {
    if (p.centerOrigin) px = px - cx, py = py - cy;
    const float dx = px - static_cast<float>(p.shiftX), dy = py - static_cast<float>(p.shiftY);
    float x = static_cast<float>(dx / p.scaleX), y = static_cast<float>(dy / p.scaleY);
    if (p.centerOrigin) x = x + cx, y = y + cy;
    return Position(x, y);
  });
}

ComplexArray JuliaMap(int w, int h, const ProcJulia::Params& p) {
  const auto d = static_cast<float>((w + h) / 8);
  return PlainMap(w, h, [&](float px, float py, float cx, float cy) {
    const float zx = (px - cx) / d, zy = (py - cy) / d;
    const float re = zx * zx - zy * zy, im = 2 * zx * zy;
    return Position(cx + d * (static_cast<float>(p.aReal) + re),
                    cy + d * (static_cast<float>(p.aImag) + im));
  });
}

// The nearest sample at each map position, or 0 outside.
template <class T>
T PlainSample(const Array2D<T>& source, Position at) {
  const double x = at.real(), y = at.imag();
  if (!(x >= 0 && x < source.Width() && y >= 0 && y < source.Height())) return T{};
  return source[static_cast<int>(std::trunc(y))][static_cast<int>(std::trunc(x))];
}

// Runs the kind once on a random Float 3ch image and checks its map and every channel.
void ExpectRemapped(ProcVirtualXYTrans& kind, const ComplexArray& expectedMap, int w, int h) {
  std::mt19937 rng(static_cast<unsigned>(w * 31 + h));
  HeldImages held;
  const Float3Image& in = held.Hold(0, RandomImage<Float3Image>(rng, w, h, 0, false));
  ASSERT_EQ(RunFrame(kind, held), 0);
  kind.DisconnectAll();
  ExpectChannel(kind.CoordinateMap(), {w, h}, [&](int x, int y) { return expectedMap[y][x]; });
  const auto* out = As<Float3Image>(kind.GetOutput(0));
  ASSERT_NE(out, nullptr);
  for (int c = 0; c < 3; ++c)
    ExpectChannel(out->channels[c], {w, h},
                  [&](int x, int y) { return PlainSample(in.channels[c], expectedMap[y][x]); });
}

class XYTransformTest : public KandrelTest {};

TEST_F(XYTransformTest, TheMapsMatchTheirFormulasInSinglePrecision) {
  // The larger ones span several tiles of the remapping, with partial ones at the edges, and
  // the last is big enough to be split over threads.
  const std::pair<int, int> sizes[] = {{5, 3}, {8, 8}, {7, 12}, {150, 21}, {301, 230}};
  const ProcMove::Params moves[] = {{0, 0, 0, 0, 0},
                                    {10, 0, 0, 0, 0},
                                    {1.3, -2.7, 33, 1, 0},
                                    {0, 0, 180, 1, 0},
                                    {0.5, 0.25, -90, 0, 0}};
  const ProcExpand::Params expands[] = {
      {0, 0, 1, 1, 1, 0}, {0, 0, 2, 2, 1, 0}, {1.5, -1, 0.3, 3, 0, 0}, {0, 0, 0, 1, 1, 0}};
  const ProcJulia::Params julias[] = {{0, 0}, {-0.8, 0.156}, {0.3, -0.5}};
  for (const auto& [w, h] : sizes) {
    SCOPED_TRACE(::testing::Message() << w << " x " << h);
    for (const auto& p : moves) {
      ProcMove move(kMoveProcessId);
      move.params = p;
      ExpectRemapped(move, MoveMap(w, h, p), w, h);
    }
    for (const auto& p : expands) {
      ProcExpand expand(kExpandProcessId);
      expand.params = p;
      ExpectRemapped(expand, ExpandMap(w, h, p), w, h);
    }
    for (const auto& p : julias) {
      ProcJulia julia(kJuliaProcessId);
      julia.params = p;
      ExpectRemapped(julia, JuliaMap(w, h, p), w, h);
    }
  }
}

TEST_F(XYTransformTest, TheWorkedCases) {
  HeldImages held;
  IntArray& in = held.Hold(0, std::make_unique<Int1Image>()).channels[0];
  in.Resize(4, 4);
  for (int i = 0; i < 16; ++i) in.Data()[i] = i + 1;
  ProcMove move(kMoveProcessId);
  ASSERT_EQ(RunFrame(move, held), 0);  // all zero: the input itself
  EXPECT_EQ(SamplesOf(As<Int1Image>(move.GetOutput(0))->channels[0]), SamplesOf(in));
  EXPECT_EQ(move.CoordinateMap()[2][1], Position(1.5f, 2.5f));
  move.params = {0, 0, 180, 1, 0};  // upside down about the centre
  ASSERT_EQ(RunFrame(move, held), 0);
  const IntArray& turned = As<Int1Image>(move.GetOutput(0))->channels[0];
  ExpectChannel(turned, {4, 4}, [&](int x, int y) { return in[3 - y][3 - x]; });
  move.params = {2, 0, 0, 0, 0};
  ASSERT_EQ(RunFrame(move, held), 0);
  ExpectChannel(As<Int1Image>(move.GetOutput(0))->channels[0], {4, 4},
                [&](int x, int y) { return x < 2 ? 0 : in[y][x - 2]; });
  move.DisconnectAll();

  ProcExpand expand(kExpandProcessId);
  expand.params = {0, 0, 2, 2, 1, 0};
  HeldImages eight;
  eight.Hold(0, std::make_unique<Int1Image>()).Resize(8, 8);
  As<Int1Image>(eight.GetOutput(0))->Fill(7);
  ASSERT_EQ(RunFrame(expand, eight), 0);
  EXPECT_EQ(expand.CoordinateMap()[0][0].real(), 2.25f);
  expand.params.scaleX = 0;  // infinite or NaN positions: zeros, never a wild index
  ASSERT_EQ(RunFrame(expand, eight), 0);
  for (int s : As<Int1Image>(expand.GetOutput(0))->channels[0]) EXPECT_EQ(s, 0);
  expand.DisconnectAll();

  ProcJulia julia(kJuliaProcessId);
  HeldImages plane;
  plane.Hold(0, std::make_unique<Float1Image>()).Resize(64, 64);
  ASSERT_EQ(RunFrame(julia, plane), 0);
  const Position z = julia.CoordinateMap()[32][48];
  EXPECT_EQ(static_cast<int>(z.real()), 49);
  EXPECT_EQ(static_cast<int>(z.imag()), 33);
  julia.DisconnectAll();
}

// Twice 180° about the centre gives an even-sized picture back exactly, read by a graph.
TEST_F(XYTransformTest, TwoHalfTurnsOfAPictureFileGiveItBack) {
  TempDir dir;
  std::mt19937 rng(2);
  for (const auto& [w, h] : {std::pair{10, 6}, std::pair{96, 34}}) {
    const auto picture = RandomImage<Float3Image>(rng, w, h, 0, false);
    ASSERT_EQ(SaveImageTIFF(*picture, dir.File("in.tif")), 0);
    ProcModule graph;
    auto* reader = AddChild<ProcReadFile>(graph, kReadFileProcessId);
    reader->SetFileName(dir.File("in.tif"));
    auto* first = AddChild<ProcMove>(graph, kMoveProcessId);
    auto* second = AddChild<ProcMove>(graph, kMoveProcessId);
    first->params = second->params = {0, 0, 180, 1, 0};
    first->Connect(0, reader, 0);
    second->Connect(0, first, 0);
    ASSERT_EQ(graph.Reset(), 0);
    ASSERT_EQ(graph.Step(), 0);
    const auto* out = As<Float3Image>(second->GetOutput(0));
    ASSERT_NE(out, nullptr);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(SamplesOf(out->channels[c]), SamplesOf(picture->channels[c])) << w << " x " << h;
  }
}

TEST_F(XYTransformTest, XYMappingTakesItsMapFromInputOne) {
  HeldImages held;
  ComplexArray& map = held.Hold(0, std::make_unique<Complex1Image>()).channels[0];
  map.Resize(3, 2);
  const Position entries[] = {{0.5f, 0.5f}, {-1, 0}, {NAN, 0}, {1.9f, 1.2f}, {2, 0}, {INFINITY, 1}};
  std::copy(std::begin(entries), std::end(entries), map.begin());
  std::mt19937 rng(4);
  const Int3Image& source = held.Hold(1, RandomImage<Int3Image>(rng, 4, 3));
  ProcXYMapping mapping(kXYMappingProcessId);
  ASSERT_EQ(RunFrame(mapping, held), 0);
  const auto* out = As<Int3Image>(mapping.GetOutput(0));
  ASSERT_NE(out, nullptr);
  for (int c = 0; c < 3; ++c)
    ExpectChannel(out->channels[c], {3, 2},
                  [&](int x, int y) { return PlainSample(source.channels[c], map[y][x]); });
  EXPECT_EQ(out->channels[0][0][0], source.channels[0][0][0]);
  EXPECT_EQ(out->channels[0][0][1], 0);
  mapping.DisconnectAll();
  // The map must be Complex 1ch and input 2 linked.
  const std::pair<TypeList, int> rules[] = {
      {{3, 1}, 1}, {{3, 6}, 6}, {{2, 1}, 0}, {{6, 1}, 0}, {{3, 0}, 0}};
  for (const auto& [in, expected] : rules) {
    TypeList out{};
    EXPECT_EQ(mapping.InferOutputTypes(in, out) ? out[0] : 0, expected);
  }
}

TEST_F(XYTransformTest, CatalogueRowsAndRecords) {
  const auto move = ExpectKind<ProcMove>(
      {kMoveProcessId, "ProcMove", "回転・平行移動...", "Move", "", 1, 1, true, 32},
      [](ProcMove& p) {
        p.params = {1.5, -2, 45, 1, 0};
      });
  EXPECT_EQ(LoadF64(&move[kParamsOffset + 4 + 16]), 45.0);
  EXPECT_EQ(LoadI32(&move[kParamsOffset + 4 + 24]), 1);
  ExpectKind<ProcExpand>(
      {kExpandProcessId, "ProcExpand", "拡大・縮小", "Expand", "", 1, 1, true, 40},
      [](ProcExpand& p) { p.params = {1, 2, 0.5, 3, 0, 0}; });
  ExpectKind<ProcJulia>({kJuliaProcessId, "ProcJulia", "Julia...", "Julia", "", 1, 1, true, 16},
                        [](ProcJulia& p) {
                          p.params = {-0.8, 0.156};
                        });
  const auto mapping =
      ExpectKind({kXYMappingProcessId, "ProcXYMapping", "", "XYMapping", "", 2, 1, true, 8});
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(mapping[kParamsOffset + 4 + i], 0);
}

}  // namespace
}  // namespace kandrel::testing
