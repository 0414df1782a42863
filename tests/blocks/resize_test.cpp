// Resize and canvas-size processes run frame by frame through the framework on every image type:
// per-channel sizes, the interpolation chosen, canvas placement at the anchors, the size
// limit and refused parameters, catalogue rows, the parameter record and type rules.
#include "blocks/geometry/resize.h"

#include <gtest/gtest.h>

#include <numeric>

#include "image/resample.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

class ResizeTest : public KandrelTest {};

// Pixel mode for both axes.
void SetPixels(ProcResize& process, int width, int height) {
  process.params.widthByRatio = process.params.heightByRatio = 0;
  process.params.width = width;
  process.params.height = height;
}

void SetPercent(ProcResize& process, double width, double height) {
  process.params.widthByRatio = process.params.heightByRatio = 1;
  process.params.widthPercent = width;
  process.params.heightPercent = height;
}

TEST_F(ResizeTest, DefaultsCopyEveryTypeExactly) {
  std::mt19937 rng(17);
  ForEachImageType([&]<class L>() {
    HeldImages held;
    const L& in = held.Hold(0, RandomSizedImage<L>(rng, 30, false));
    ProcResize resize(kResizeProcessId);
    ASSERT_EQ(RunFrame(resize, held), 0);
    for (int c = 0; c < L::kChannels; ++c)
      ExpectChannel(As<L>(resize.GetOutput(0))->channels[c], SizeOf(in.channels[c]),
                    [&](int x, int y) { return in.channels[c][y][x]; });
  });
  EXPECT_TRUE(Messages().empty());
}

// Each channel on its own thread, by the resampler the interpolation index names.
TEST_F(ResizeTest, InterpolationPicksTheResampler) {
  std::mt19937 rng(19);
  HeldImages held;
  const Float3Image& in = held.Hold(0, RandomImage<Float3Image>(rng, 9, 7));
  ProcResize resize(kResizeProcessId);
  resize.params.widthPercent = 200;
  resize.params.heightPercent = 50;
  for (int method = 0; method <= 3; ++method) {
    resize.params.interpolation = method;
    ASSERT_EQ(RunFrame(resize, held), 0);
    for (int c = 0; c < 3; ++c) {
      FloatArray expected;
      if (method == kResizeNearest)
        NearestNeighbor(18, 3).ResizeFloat(in.channels[c], expected);
      else
        CResize2D(method, 18, 3).ResizeFloat(in.channels[c], expected);
      EXPECT_EQ(SamplesOf(As<Float3Image>(resize.GetOutput(0))->channels[c]), SamplesOf(expected));
    }
  }
}

TEST_F(ResizeTest, RatioKeepsEachChannelsProportionPixelsGiveOneSize) {
  HeldImages held;
  Int3Image& in = held.Hold(0, std::make_unique<Int3Image>());
  for (int c = 0; c < 3; ++c) {
    in.channels[c].Resize(c == 0 ? 640 : 320, c == 0 ? 480 : 240);
    std::fill(in.channels[c].begin(), in.channels[c].end(), 9);
  }
  for (int id : {kResizeProcessId, kCanvasSizeProcessId}) {
    auto process = CreateById(id);
    auto& resize = dynamic_cast<ProcResize&>(*process);
    SetPercent(resize, 50, 50);
    ASSERT_EQ(RunFrame(resize, held), 0);
    const auto* out = As<Int3Image>(resize.GetOutput(0));
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(SizeOf(out->channels[c]), c == 0 ? std::pair(320, 240) : std::pair(160, 120));
    SetPixels(resize, 320, 240);
    ASSERT_EQ(RunFrame(resize, held), 0);
    for (const IntArray& channel : out->channels) EXPECT_EQ(SizeOf(channel), std::pair(320, 240));
    resize.DisconnectAll();
  }
}

// Output (x, y) holds input (x − ox, y − oy) where that exists, 0 elsewhere.
TEST_F(ResizeTest, CanvasPlacesTheInputAtTheAnchor) {
  auto place = []<class L>(int width, int height, std::vector<typename L::Sample> samples,
                           ChannelSize canvasSize, int anchorX, int anchorY) {
    HeldImages held;
    L& in = held.Hold(0, std::make_unique<L>());
    in.Resize(width, height);
    std::copy(samples.begin(), samples.end(), in.channels[0].begin());
    ProcCanvasSize canvas(kCanvasSizeProcessId);
    SetPixels(canvas, canvasSize.width, canvasSize.height);
    canvas.params.anchorX = anchorX;
    canvas.params.anchorY = anchorY;
    EXPECT_EQ(RunFrame(canvas, held), 0);
    return SamplesOf(As<L>(canvas.GetOutput(0))->channels[0]);
  };
  std::vector<int> counting(16);
  std::iota(counting.begin(), counting.end(), 1);
  // 4 × 4 → 6 × 2 centred: ox = 1, oy = −1. 5 → 2 centred: ox = trunc(−3 / 2) = −1.
  EXPECT_EQ(place.operator()<Int1Image>(4, 4, counting, {6, 2}, 1, 1),
            (std::vector<int>{0, 5, 6, 7, 8, 0, 0, 9, 10, 11, 12, 0}));
  EXPECT_EQ(place.operator()<Float1Image>(5, 1, {1, 2, 3, 4, 5}, {2, 1}, 1, 1),
            (std::vector<float>{2, 3}));
  // 3 × 2 → 2 × 3 at the corners, through the Float route of Complex samples.
  using C = std::complex<float>;
  const std::vector<C> six{1, 2, 3, C(4, 1), C(5, 1), C(6, 1)};
  EXPECT_EQ(place.operator()<Complex1Image>(3, 2, six, {2, 3}, 0, 0),
            (std::vector<C>{1, 2, C(4, 1), C(5, 1), 0, 0}));
  EXPECT_EQ(place.operator()<Complex1Image>(3, 2, six, {2, 3}, 2, 2),
            (std::vector<C>{0, 0, 2, 3, C(5, 1), C(6, 1)}));
}

TEST_F(ResizeTest, SizesOutsideTheLimitAndImpossibleParametersFailTheFrame) {
  const double nan = std::nan("");
  for (int id : {kResizeProcessId, kCanvasSizeProcessId}) {
    auto process = CreateById(id);
    auto& resize = dynamic_cast<ProcResize&>(*process);
    auto failure = [&] {  // the one message of a failed frame on a 5 × 1 input
      host.ClearMessages();
      EXPECT_EQ(RunOnRows<Float1Image>(resize, {{1, 2, 3, 4, 5}}), std::nullopt);
      EXPECT_EQ(Messages().size(), 1u);
      return host.LastMessage();
    };
    struct Case {
      bool byRatio;
      double width, height;
    };
    // 10 % of 5 samples is 0; 40980 % is 2049.
    for (Case c : {Case{true, 10, 100},
                   {true, 40980, 100},
                   {true, 100, nan},
                   {false, 3, 2049},
                   {false, -1, 1}}) {
      if (c.byRatio)
        SetPercent(resize, c.width, c.height);
      else
        SetPixels(resize, static_cast<int>(c.width), static_cast<int>(c.height));
      EXPECT_EQ(failure(), resize.Name() + "の出力画像のサイズが 1～2048 を超えます。")
          << c.width << " × " << c.height;
    }
    SetPercent(resize, 40960, 100);  // 2048
    EXPECT_TRUE(RunOnRows<Float1Image>(resize, {{1, 2, 3, 4, 5}}).has_value());

    (id == kResizeProcessId ? resize.params.interpolation : resize.params.anchorY) = 4;
    EXPECT_EQ(failure(), resize.Name() + "のパラメータが正しくありません。");
  }

  // Only the first channel is checked up front; a larger chroma channel is refused by its thread.
  HeldImages held;
  Float3Image& in = held.Hold(0, std::make_unique<Float3Image>());
  in.channels[0].Resize(10, 10);
  in.channels[1].Resize(1100, 10);
  in.channels[2].Resize(10, 10);
  for (FloatArray& channel : in.channels) std::fill(channel.begin(), channel.end(), 0.0f);
  ProcResize resize(kResizeProcessId);
  SetPercent(resize, 200, 100);
  EXPECT_NE(RunFrame(resize, held), 0);
  EXPECT_EQ(host.LastMessage(), "Resizeの出力画像のサイズが 1～2048 を超えます。");
}

TEST_F(ResizeTest, CatalogueRowsParameterRecordAndTypeRules) {
  ExpectKind({kResizeProcessId, "ProcResize", "画像サイズ...", "Resize", "", 1, 1, true, 56});
  const auto bytes = ExpectKind<ProcCanvasSize>(
      {kCanvasSizeProcessId, "ProcCanvasSize", "カンバスサイズ...", "CanvasSize", "", 1, 1, true,
       56},
      [](ProcCanvasSize& p) { p.params = {0, 1, 12.5, 300.0, 320, 200, 640, 400, 3, 2, 0}; });
  const std::uint8_t* block = &bytes[kParamsOffset + 4];
  EXPECT_EQ(LoadI32(block), 0);
  EXPECT_EQ(LoadI32(block + 4), 1);
  EXPECT_EQ(LoadF64(block + 8), 12.5);
  EXPECT_EQ(LoadF64(block + 16), 300.0);
  const int ints[] = {320, 200, 640, 400, 3, 2, 0, 0};  // the last is the padding
  for (int i = 0; i < 8; ++i) EXPECT_EQ(LoadI32(block + 24 + 4 * i), ints[i]) << i;

  // Any linked type gives the same type; an unlinked input is refused.
  ProcResize resize(kResizeProcessId);
  for (int type = 0; type <= kImageTypeCount + 1; ++type) {
    TypeList in{type}, out{};
    const bool accepted = type >= 1 && type <= kImageTypeCount;
    EXPECT_EQ(resize.InferOutputTypes(in, out), accepted) << type;
    EXPECT_EQ(out[0], accepted ? type : 0) << type;
  }
}

}  // namespace
}  // namespace kandrel::testing
