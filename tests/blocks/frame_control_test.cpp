// Frame control: the frame-delay buffer against a plain model of its rule over frames of every
// type and of changing sizes (also with frames cut short and frames without input), the
// counting feedback loop, its refusals; the period switch's cycle and its pass-through; the
// interlace fields; the paste source with its clip board, its kept picture and hostile records.
#include <gtest/gtest.h>

#include <random>

#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/frame_control.h"
#include "image/picture.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

class FrameControlTest : public KandrelTest {};

TEST_F(FrameControlTest, KindsAndRecords) {
  ExpectKind<ProcFrameBuffer>(
      {kFrameBufferProcessId, "ProcFrameBuffer", "フレーム遅延バッファ", "FrameBuf", "", 1, 1, true, 24},
      [](ProcFrameBuffer& p) { p.params = {kTypeFloat3, 33, 17, -2.5}; });
  ExpectKind<ProcPeriodSwitch>(
      {kPeriodSwitchProcessId, "ProcPeriodSwitch", "周期スイッチ", "Switch", "", 2, 1, true, 8},
      [](ProcPeriodSwitch& p) { p.params = {2, 3}; });
  ExpectKind({kInterlaceProcessId, "ProcInterlace", "インターレース分離", "Interlace", "Interlace", 1,
              2, false, 0});
  // The paste source has no record count: a flag, and a picture when it is 1.
  const ProcessKind* paste = Catalogue::Instance().Find(kPasteProcessId);
  ASSERT_NE(paste, nullptr);
  EXPECT_TRUE(paste->menuCaption.empty());
  ProcPaste empty(kPasteProcessId);
  EXPECT_EQ(empty.Name(), "Paste");
  const std::vector<std::uint8_t> bytes = SavedBytes(empty);
  ASSERT_EQ(bytes.size(), kParamsOffset + 4);
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset]), 0);

  // The padding of the buffer's record is written as zeros and ignored when read.
  ProcFrameBuffer buffer(kFrameBufferProcessId);
  std::vector<std::uint8_t> stored = SavedBytes(buffer);
  EXPECT_EQ(LoadI32(&stored[kParamsOffset + 4 + 12]), 0);
  StoreI32(&stored[kParamsOffset + 4 + 12], 77);
  MemoryStream stream(stored);
  ASSERT_NE(CreateFromStream(stream), nullptr);
}

// The rule as it reads: Prepare copies the buffer into the output; Execute writes the input over
// the overlap with the buffer, anchored top-left.
template <class L>
struct BufferModel {
  BufferModel(int width, int height, double value) {
    buffer.Resize(width, height);
    buffer.Fill(value);
  }
  void Prepare() {
    for (int c = 0; c < L::kChannels; ++c) output.channels[c] = buffer.channels[c];
  }
  void Execute(const L& input) {
    for (int c = 0; c < L::kChannels; ++c) {
      auto& b = buffer.channels[c];
      const auto& in = input.channels[c];
      for (int y = 0; y < std::min(b.Height(), in.Height()); ++y)
        for (int x = 0; x < std::min(b.Width(), in.Width()); ++x) b[y][x] = in[y][x];
    }
  }
  L buffer, output;
};

// Frames of random sizes around the buffer's, some cut short after Prepare (the run stopped at
// another process) and some without input; the output matches the model at every frame.
TEST_F(FrameControlTest, TheBufferDeliversTheLastInputOfEveryType) {
  std::mt19937 rng(3);
  ForEachImageType([&]<class L>() {
    SCOPED_TRACE(ImageTypeName(L::kTypeId));
    ProcFrameBuffer delay(kFrameBufferProcessId);
    delay.params = {L::kTypeId, 13, 9, 7.75};
    BufferModel<L> model(13, 9, 7.75);
    ASSERT_EQ(delay.Reset(), 0);
    HeldImages held;
    for (int frame = 0; frame < 24; ++frame) {
      const int size = static_cast<int>(rng() % 4);
      held.Hold(0, RandomImage<L>(rng, 6 + 5 * size, 3 + 4 * size));
      const int kind = static_cast<int>(rng() % 5);
      if (kind == 0) {
        delay.Disconnect(0);
      } else {
        delay.Connect(0, &held, 0);
      }
      ASSERT_EQ(delay.Prepare(), 0);
      model.Prepare();
      if (kind != 1) {  // kind 1: the frame stops before the buffer runs
        ASSERT_EQ(delay.Execute(), 0);
        if (kind != 0) model.Execute(*As<L>(held.GetOutput(0)));
      }
      const L* output = As<L>(delay.GetOutput(0));
      ASSERT_NE(output, nullptr);
      for (int c = 0; c < L::kChannels; ++c)
        ASSERT_EQ(SamplesOf(output->channels[c]), SamplesOf(model.output.channels[c])) << frame;
    }
    delay.DisconnectAll();
  });
}

TEST_F(FrameControlTest, ResetFillsTheOutputAndTheBufferAndSizesAreClippedOrPadded) {
  ProcFrameBuffer delay(kFrameBufferProcessId);
  ASSERT_EQ(delay.Reset(), 0);
  const auto* output = As<Int3Image>(delay.GetOutput(0));
  ASSERT_NE(output, nullptr);
  ExpectChannel(output->channels[2], {640, 480}, [](int, int) { return 0; });

  HeldImages held;
  auto& small = held.Hold(0, std::make_unique<Int3Image>());
  small.Resize(320, 240);
  small.Fill(9);
  small.whiteLevel = 1023;
  ASSERT_EQ(RunFrame(delay, held), 0);
  EXPECT_EQ(output->whiteLevel, 1023);  // the input's, copied when it is taken
  ASSERT_EQ(RunFrame(delay, held), 0);
  ExpectChannel(output->channels[1], {640, 480}, [](int x, int y) { return x < 320 && y < 240 ? 9 : 0; });

  auto& large = held.Hold(0, std::make_unique<Int3Image>());
  large.Resize(1000, 600);
  large.Fill(4);
  ASSERT_EQ(RunFrame(delay, held), 0);
  ASSERT_EQ(RunFrame(delay, held), 0);
  ExpectChannel(output->channels[0], {640, 480}, [](int, int) { return 4; });

  // A new size takes effect at the next frame, with the buffer filled anew.
  delay.params.bufferWidth = 5;
  delay.params.bufferHeight = 2;
  delay.params.initialValue = -3.9;  // truncated toward zero for Int
  ASSERT_EQ(RunFrame(delay, held), 0);
  ExpectChannel(output->channels[0], {5, 2}, [](int, int) { return -3; });
  delay.DisconnectAll();
}

// adder(FrameBuf(adder), constant 1): the buffer shows 0, 1, 2, … in a module and in a module
// inside it, and again from 0 after a reset.
TEST_F(FrameControlTest, AFeedbackLoopThroughTheBufferCounts) {
  HeldImages constant;
  constant.Hold(0, std::make_unique<Int1Image>()).Resize(4, 3);
  constant.GetOutput(0)->Fill(1);
  for (const bool nested : {false, true}) {
    ProcModule root;
    ProcModule* holder = nested ? AddChild<ProcModule>(root, kModuleProcessId) : &root;
    auto* delay = AddChild<ProcFrameBuffer>(*holder, kFrameBufferProcessId);
    delay->params = {kTypeInt1, 4, 3, 0.0};
    ProcVirtual* adder = AddChild(*holder, kAdderProcessId);
    adder->Connect(0, delay, 0);
    adder->Connect(1, &constant, 0);
    delay->Connect(0, adder, 0);
    for (int run = 0; run < 2; ++run) {
      ASSERT_EQ(root.Reset(), 0);
      for (int frame = 0; frame < 5; ++frame) {
        ASSERT_EQ(root.Step(), 0) << host.LastMessage();
        const auto* count = As<Int1Image>(delay->GetOutput(0));
        ASSERT_NE(count, nullptr);
        ExpectChannel(count->channels[0], {4, 3}, [&](int, int) { return frame; });
      }
    }
    EXPECT_EQ(holder->Child(0), adder);  // ordered so that the adder runs first
    EXPECT_TRUE(Messages().empty()) << host.LastMessage();
    adder->Disconnect(1);
  }
}

TEST_F(FrameControlTest, RefusalsOfTheBuffer) {
  std::mt19937 rng(1);
  HeldImages held;
  held.Hold(0, RandomImage<Int1Image>(rng, 4, 4));
  // An input of another type is refused at type inference.
  ProcFrameBuffer delay(kFrameBufferProcessId);
  delay.params.bufferType = kTypeFloat1;
  ASSERT_EQ(delay.Reset(), 0);
  EXPECT_EQ(RunFrame(delay, held), 1);
  EXPECT_EQ(delay.Status(), "in?");
  delay.DisconnectAll();
  // Records no dialog writes: a type outside 1..6, sizes of 0, negative or absurd.
  struct Case {
    ProcFrameBuffer::Params params;
    std::string message;
  };
  const Case cases[] = {
      {{9, 4, 4, 0}, "FrameBufの出力を準備できません。"},
      {{kTypeInt1, 0, 4, 0}, "FrameBufのバッファサイズ 0 x 4 は扱えません。"},
      {{kTypeInt1, 4, -2, 0}, "FrameBufのバッファサイズ 4 x -2 は扱えません。"},
      {{kTypeInt1, 2000000000, 2000000000, 0}, "FrameBufのバッファサイズ 2000000000 x 2000000000 は扱えません。"},
  };
  for (const Case& c : cases) {
    ProcFrameBuffer bad(kFrameBufferProcessId);
    bad.params = c.params;
    host.ClearMessages();
    EXPECT_NE(bad.Reset(), 0);
    EXPECT_NE(bad.Step(), 0);
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages()[0], c.message);
  }
}

TEST_F(FrameControlTest, ThePeriodSwitchPassesTheVeryImagesInItsCycle) {
  HeldImages held;
  held.Hold(0, Row<Float1Image>({1}));
  held.Hold(1, Row<Int1Image>({2}));
  ProcPeriodSwitch toggle(kPeriodSwitchProcessId);
  toggle.params = {2, 3};
  toggle.Connect(0, &held, 0);
  toggle.Connect(1, &held, 1);
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(toggle.Reset(), 0);
    EXPECT_EQ(toggle.GetOutput(0), held.GetOutput(0));
    for (int frame = 0; frame < 12; ++frame) {
      ASSERT_EQ(toggle.Step(), 0);
      const int expected = frame % 5 < 2 ? 0 : 1;
      EXPECT_EQ(toggle.SelectedInput(), expected) << frame;
      EXPECT_EQ(toggle.GetOutput(0), held.GetOutput(expected)) << frame;  // no copy
      EXPECT_EQ(toggle.GetOutputType(0), expected == 0 ? kTypeFloat1 : kTypeInt1);
    }
  }
  toggle.params = {0, 1};
  ASSERT_EQ(toggle.Reset(), 0);
  ASSERT_EQ(toggle.Step(), 0);
  EXPECT_EQ(toggle.SelectedInput(), 1);
  // A stored record without a period fails the frame; huge periods do not overflow their sum.
  toggle.params = {0, 0};
  EXPECT_EQ(toggle.Step(), 1);
  toggle.params = {2147483647, 2147483647};
  EXPECT_EQ(toggle.Step(), 0);
  EXPECT_EQ(toggle.SelectedInput(), 0);
  toggle.DisconnectAll();

  // Two switches feeding each other: no image, no type, and the frame reports the loop.
  ProcModule module;
  ProcVirtual* a = AddChild(module, kPeriodSwitchProcessId);
  ProcVirtual* b = AddChild(module, kPeriodSwitchProcessId);
  a->Connect(0, b, 0);
  b->Connect(0, a, 0);
  EXPECT_EQ(a->GetOutput(0), nullptr);
  EXPECT_EQ(b->GetOutputType(0), 0);
  EXPECT_EQ(module.Step(), 1);
  EXPECT_EQ(host.LastMessage(), module.Name() + " 内のループ処理が解決できません。");
}

TEST_F(FrameControlTest, InterlaceSplitsEvenAndOddRowsForEveryType) {
  std::mt19937 rng(8);
  ForEachImageType([&]<class L>() {
    SCOPED_TRACE(ImageTypeName(L::kTypeId));
    for (const int height : {1, 3, 4}) {
      ProcInterlace split(kInterlaceProcessId);
      HeldImages held;
      const L& input = held.Hold(0, RandomImage<L>(rng, 5, height));
      ASSERT_EQ(RunFrame(split, held), 0);
      for (int field = 0; field < 2; ++field) {
        const L* out = As<L>(split.GetOutput(field));
        ASSERT_NE(out, nullptr);
        for (int c = 0; c < L::kChannels; ++c) {
          ExpectChannel(out->channels[c], {5, height}, [&](int x, int y) {
            return y % 2 == field ? input.channels[c][y][x] : typename L::Sample{};
          });
        }
      }
      split.DisconnectAll();
    }
  });
  ProcInterlace split(kInterlaceProcessId);
  EXPECT_EQ(split.Step(), 1);  // nothing linked
}

Picture TwoPixels() {
  Picture picture;
  picture.Create(2, 1);
  const std::uint8_t bytes[] = {30, 20, 10, 0, 60, 50, 40, 0};  // blue, green, red, unused
  std::copy(std::begin(bytes), std::end(bytes), picture.ScanLine(0));
  return picture;
}

TEST_F(FrameControlTest, PasteTakesTheClipBoardOnceAndKeepsThePictureInTheFile) {
  ProcPaste paste(kPasteProcessId);
  ASSERT_EQ(paste.Reset(), 0);
  EXPECT_EQ(paste.Step(), 1);
  EXPECT_EQ(host.LastMessage(), "現在のクリップボードの内容は貼り付けられません。");

  host.SetClipboardPicture(TwoPixels());
  ASSERT_EQ(paste.Step(), 0);
  host.SetClipboardPicture(std::nullopt);
  ASSERT_EQ(paste.Step(), 0);  // the picture is held
  const auto* image = As<Int3Image>(paste.GetOutput(0));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(SamplesOf(image->channels[0]), (std::vector<int>{10, 40}));
  EXPECT_EQ(SamplesOf(image->channels[2]), (std::vector<int>{30, 60}));
  EXPECT_EQ(image->colorSpace, kRgb);
  EXPECT_EQ(image->whiteLevel, 255.0);

  // Saved as a BMP after the flag 1, loaded back byte for byte, and shown again.
  const std::vector<std::uint8_t> bytes = SavedBytes(paste);
  ASSERT_GT(bytes.size(), kParamsOffset + 4 + 54);
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset]), 1);
  EXPECT_EQ(bytes[kParamsOffset + 4], 'B');
  MemoryStream stream(bytes);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream);
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(stream.Damaged());
  EXPECT_EQ(SavedBytes(*loaded), bytes);
  ASSERT_EQ(loaded->Step(), 0);
  EXPECT_EQ(SamplesOf(As<Int3Image>(loaded->GetOutput(0))->channels[1]), (std::vector<int>{20, 50}));

  // A record followed by more: the picture ends where its headers say.
  std::vector<std::uint8_t> followed = bytes;
  followed.insert(followed.end(), {1, 2, 3, 4});
  MemoryStream more(followed);
  ASSERT_NE(CreateFromStream(more), nullptr);
  EXPECT_EQ(more.Remaining(), 4);
}

// Headers that claim more than the file holds, absurd sizes, or no BMP at all: the load is
// refused, nothing is read past the end or allocated from the claim.
TEST_F(FrameControlTest, HostileEmbeddedPicturesAreRefused) {
  host.SetClipboardPicture(TwoPixels());
  ProcPaste paste(kPasteProcessId);
  ASSERT_EQ(paste.Step(), 0);
  const std::vector<std::uint8_t> good = SavedBytes(paste);
  const std::size_t bmp = kParamsOffset + 4;
  auto patched = [&](std::size_t at, std::int32_t value) {
    std::vector<std::uint8_t> bytes = good;
    StoreI32(&bytes[bmp + at], value);
    return bytes;
  };
  const std::size_t fileSize = LoadI32(&good[bmp + 2]);
  std::vector<std::vector<std::uint8_t>> hostile = {
      patched(2, static_cast<std::int32_t>(fileSize + 1)),  // one byte more than there is
      patched(2, 0x7FFFFFFF),
      patched(18, 1 << 20),   // width
      patched(22, -(1 << 20)),  // height, top-down
      patched(18, 0),
      patched(10, 2),          // pixels inside the headers
      patched(14, 1000),       // an info header longer than the file
      patched(0, 0x0000504B),  // not "BM"
  };
  for (std::size_t n = bmp; n < good.size(); n += 7) hostile.emplace_back(good.begin(), good.begin() + n);
  for (const auto& bytes : hostile) {
    MemoryStream stream(bytes);
    int result = 0;
    std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream, &result);
    EXPECT_NE(result, 0);
    EXPECT_TRUE(stream.Damaged());
    if (loaded != nullptr) {
      EXPECT_FALSE(dynamic_cast<ProcPaste&>(*loaded).HoldsPicture());
    }
  }
}

}  // namespace
}  // namespace kandrel::testing
