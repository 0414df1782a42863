// Typed-output processing: output allocation from inferred types, the type check and attribute
// copy before each frame, dispatch per image type, the Float routes of the Int and Complex
// handlers, the channel worker threads, reset, and failures that must not crash a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <initializer_list>
#include <new>
#include <optional>
#include <vector>

#include "process/proc_standard_out.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

using FloatBody = std::function<int(const InArrays<float>&, const OutArrays<float>&)>;

// A kind whose output type and Float handler are chosen per test. Without a fixed type it
// passes the type of input 0 on; it counts the handlers that ran, worker threads included.
class Probe : public ProcStandardOut {
 public:
  Probe(int inputs, int outputs, std::optional<int> fixedType = std::nullopt, FloatBody body = {})
      : ProcStandardOut(0), fixedType_(fixedType), body_(std::move(body)) {
    SetDefaultName("Probe");
    SetPortCounts(inputs, outputs);
  }

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override {
    const int type = fixedType_.value_or(inTypes[0]);
    for (int i = 0; i < OutputCount(); ++i) outTypes[i] = type;
    return fixedType_.has_value() || (type >= 1 && type <= 6);
  }
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override {
    ++floatCalls;
    return body_ ? body_(in, out) : 0;
  }
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override {
    ++otherCalls;
    return ProcStandardOut::ProcessIntChannel(in, out);
  }
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override {
    ++complexChannelCalls;
    return ProcStandardOut::ProcessComplexChannel(in, out);
  }
  int ProcessFloat3(const InputImages& inputs, const InputImages& outputs) override {
    ++float3Calls;
    return ProcStandardOut::ProcessFloat3(inputs, outputs);
  }

  std::atomic<int> floatCalls{0}, complexChannelCalls{0}, otherCalls{0}, float3Calls{0};

 private:
  std::optional<int> fixedType_;
  FloatBody body_;
};

// Implements no handler at all.
class Unimplemented : public ProcStandardOut {
 public:
  Unimplemented() : ProcStandardOut(0) { SetPortCounts(0, 1); }
  bool InferOutputTypes(const TypeList&, TypeList& outTypes) override {
    outTypes[0] = 2;
    return true;
  }
};

// Every channel of a new image of type L holds the given samples.
template <class L>
std::unique_ptr<L> Make(int width, int height, std::initializer_list<typename L::Sample> samples) {
  auto image = std::make_unique<L>();
  image->Resize(width, height);
  for (auto& channel : image->channels) std::copy(samples.begin(), samples.end(), channel.begin());
  return image;
}

template <class T>
std::vector<T> SamplesOf(const Array2D<T>& array) {
  return {array.begin(), array.end()};
}

// Writes input 0 plus one into output 0.
int PlusOne(const InArrays<float>& in, const OutArrays<float>& out) {
  out[0]->Resize(in[0]->Width(), in[0]->Height());
  std::transform(in[0]->begin(), in[0]->end(), out[0]->begin(), [](float s) { return s + 1; });
  return 0;
}

class StandardOutTest : public KandrelTest {};

TEST_F(StandardOutTest, OutputFollowsTheInferredTypeAndSurvivesWhileItHolds) {
  TestSource source(kTestSourceId);
  TestScale scale(kTestScaleId);
  scale.Connect(0, &source, 0);
  ASSERT_EQ(source.Reset(), 0);
  ASSERT_EQ(source.Step(), 0);
  ASSERT_EQ(scale.Prepare(), 0);
  auto* first = As<Float1Image>(scale.GetOutput(0));
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first->Window(), nullptr);
  first->Resize(1, 1);
  first->channels[0][0][0] = 42.0f;
  ASSERT_EQ(scale.Prepare(), 0);
  ASSERT_EQ(scale.GetOutput(0), first);
  EXPECT_EQ(first->channels[0][0][0], 42.0f);

  source.params.type = 5;
  ASSERT_EQ(source.Reset(), 0);
  ASSERT_EQ(source.Step(), 0);
  ASSERT_EQ(scale.Step(), 0);
  const auto* replaced = As<Float3Image>(scale.GetOutput(0));
  ASSERT_NE(replaced, nullptr);
  for (const FloatArray& channel : replaced->channels)
    EXPECT_EQ(SamplesOf(channel), std::vector<float>(12, 2.0f));
  EXPECT_EQ(replaced->view, (ViewRect{0, 0, 4, 3}));
  EXPECT_TRUE(replaced->IsWindowVisible());
  EXPECT_EQ(scale.CachedOutputType(0), 5);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(StandardOutTest, FrameWithoutAnyImageFails) {
  Probe p(1, 0);
  OutputImages outputs;
  EXPECT_EQ(p.Process(InputImages{}, outputs), 1);
  EXPECT_EQ(host.LastMessage(), "入出力がありません。");
}

TEST_F(StandardOutTest, MixedTypesRunNoHandler) {
  Probe p(2, 1);
  auto intImage = Make<Int1Image>(1, 1, {1});
  auto floatImage = Make<Float1Image>(1, 1, {1});
  OutputImages outputs;
  outputs[0] = std::make_unique<Float1Image>();
  EXPECT_EQ(p.Process(InputImages{intImage.get(), floatImage.get()}, outputs), 1);
  EXPECT_EQ(host.LastMessage(), "入出力の型がそろっていません。");

  outputs[0] = std::make_unique<Int1Image>();  // input of one type, output of another
  EXPECT_EQ(p.Process(InputImages{floatImage.get()}, outputs), 1);
  EXPECT_EQ(Messages().size(), 2u);
  EXPECT_EQ(p.floatCalls + p.otherCalls, 0);
}

TEST_F(StandardOutTest, HiddenOutputsTakeTheFirstInputsAttributesVisibleOnesKeepTheirs) {
  Probe p(1, 3);
  auto input = Make<Float1Image>(1, 1, {0});
  input->colorSpace = kLab;
  input->whiteLevel = 4.0;
  input->gamma = 1.0;
  OutputImages outputs;
  for (int k = 0; k < 3; ++k) outputs[k] = std::make_unique<Float1Image>();
  outputs[1]->CreateWindow();
  outputs[2]->CreateWindow();
  outputs[2]->ShowWindow();
  ASSERT_EQ(p.Process(InputImages{input.get()}, outputs), 0);
  for (int k : {0, 1}) {
    EXPECT_EQ(outputs[k]->colorSpace, kLab) << k;
    EXPECT_EQ(outputs[k]->whiteLevel, 4.0) << k;
    EXPECT_EQ(outputs[k]->gamma, 1.0) << k;
  }
  EXPECT_EQ(outputs[2]->colorSpace, kNoColorSpace);
  EXPECT_EQ(outputs[2]->whiteLevel, 1.0);
  EXPECT_EQ(outputs[2]->gamma, 2.2);
}

TEST_F(StandardOutTest, SourceWithAFloat3OutputRunsOneFloatCallPerChannel) {
  Probe p(0, 1, 5);
  ASSERT_EQ(p.Reset(), 0);
  ASSERT_EQ(p.Step(), 0);
  EXPECT_EQ(p.float3Calls, 1);
  EXPECT_EQ(p.floatCalls, 3);
  EXPECT_EQ(p.otherCalls + p.complexChannelCalls, 0);
}

TEST_F(StandardOutTest, IntThroughTheFloatRouteRoundsHalfAwayFromZeroWithoutClamping) {
  TestScale half(kTestScaleId);
  half.factor = 0.5f;
  auto input = Make<Int1Image>(3, 2, {5, -5, 601, -601, 1, 0});
  OutputImages outputs;
  outputs[0] = std::make_unique<Int1Image>();
  ASSERT_EQ(half.Process(InputImages{input.get()}, outputs), 0);
  const auto& out = As<Int1Image>(outputs[0].get())->channels[0];
  EXPECT_EQ(out.Width(), 3);
  EXPECT_EQ(SamplesOf(out), (std::vector<int>{3, -3, 301, -301, 1, 0}));

  // Channel c holds 2c + 1: each comes back from its own thread as c + 1.
  auto input3 = std::make_unique<Int3Image>();
  input3->Resize(2, 1);
  for (int c = 0; c < 3; ++c) std::fill(input3->channels[c].begin(), input3->channels[c].end(), 2 * c + 1);
  outputs[0] = std::make_unique<Int3Image>();
  ASSERT_EQ(half.Process(InputImages{input3.get()}, outputs), 0);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(SamplesOf(As<Int3Image>(outputs[0].get())->channels[c]), std::vector<int>(2, c + 1));
}

TEST_F(StandardOutTest, IntRouteStoresTheFloatResultEvenWhenTheHandlerFails) {
  Probe p(1, 1, std::nullopt, [](const InArrays<float>&, const OutArrays<float>& out) {
    out[0]->Resize(1, 1);
    (*out[0])[0][0] = -2.5f;
    return 1;
  });
  auto input = Make<Int1Image>(1, 1, {0});
  OutputImages outputs;
  outputs[0] = std::make_unique<Int1Image>();
  EXPECT_EQ(p.Process(InputImages{input.get()}, outputs), 1);
  EXPECT_EQ(SamplesOf(As<Int1Image>(outputs[0].get())->channels[0]), std::vector<int>{-3});
}

TEST_F(StandardOutTest, ComplexThroughTheFloatRouteTreatsRealAndImaginaryPartsApart) {
  Probe p(1, 1, std::nullopt, PlusOne);
  auto input = Make<Complex1Image>(2, 1, {{1, -2}, {0.5f, 3}});
  OutputImages outputs;
  outputs[0] = std::make_unique<Complex1Image>();
  ASSERT_EQ(p.Process(InputImages{input.get()}, outputs), 0);
  EXPECT_EQ(SamplesOf(As<Complex1Image>(outputs[0].get())->channels[0]),
            (std::vector<std::complex<float>>{{2, -1}, {1.5f, 4}}));
  EXPECT_EQ(p.floatCalls, 2);

  // Three channel threads, each starting two more.
  auto input3 = Make<Complex3Image>(1, 1, {{1, 1}});
  outputs[0] = std::make_unique<Complex3Image>();
  ASSERT_EQ(p.Process(InputImages{input3.get()}, outputs), 0);
  EXPECT_EQ(p.complexChannelCalls, 4);
  EXPECT_EQ(p.floatCalls, 8);
  for (const ComplexArray& channel : As<Complex3Image>(outputs[0].get())->channels)
    EXPECT_EQ(SamplesOf(channel), (std::vector<std::complex<float>>{{2, 2}}));
}

TEST_F(StandardOutTest, ComplexOutputStaysWhenThePartsDisagreeOrOneFails) {
  // The real part (positive) gives a 1 x 1 result, the imaginary part a 2 x 1 one, or a failure.
  bool failNegative = false;
  Probe p(1, 1, std::nullopt, [&failNegative](const InArrays<float>& in, const OutArrays<float>& out) {
    const bool negative = (*in[0])[0][0] < 0;
    if (negative && failNegative) return 1;
    out[0]->Resize(negative ? 2 : 1, 1);
    std::fill(out[0]->begin(), out[0]->end(), 9.0f);
    return 0;
  });
  auto input = Make<Complex1Image>(1, 1, {{1, -1}});
  OutputImages outputs;
  outputs[0] = Make<Complex1Image>(3, 1, {{7, 7}, {7, 7}, {7, 7}});
  const std::vector<std::complex<float>> before(3, {7, 7});
  EXPECT_EQ(p.Process(InputImages{input.get()}, outputs), 0);
  EXPECT_EQ(SamplesOf(As<Complex1Image>(outputs[0].get())->channels[0]), before);

  failNegative = true;
  EXPECT_EQ(p.Process(InputImages{input.get()}, outputs), 1);
  EXPECT_EQ(SamplesOf(As<Complex1Image>(outputs[0].get())->channels[0]), before);
}

TEST_F(StandardOutTest, ChannelThreadResultsAreSummed) {
  // Channel c holds c, and the handler returns it: 0 + 1 + 2.
  Probe p(1, 1, std::nullopt, [](const InArrays<float>& in, const OutArrays<float>&) {
    return static_cast<int>((*in[0])[0][0]);
  });
  auto input = std::make_unique<Float3Image>();
  input->Resize(1, 1);
  for (int c = 0; c < 3; ++c) input->channels[c][0][0] = static_cast<float>(c);
  OutputImages outputs;
  outputs[0] = std::make_unique<Float3Image>();
  EXPECT_EQ(p.Process(InputImages{input.get()}, outputs), 3);
}

TEST_F(StandardOutTest, UnimplementedFloatHandlerLetsTheFrameContinue) {
  Unimplemented p;
  ASSERT_EQ(p.Reset(), 0);
  EXPECT_EQ(p.Step(), 0);
  EXPECT_EQ(host.LastMessage(), "処理が実装されていません。");
  EXPECT_EQ(p.FrameCounter(), 1);
}

TEST_F(StandardOutTest, ResetZeroesASourceButLeavesAProcessWithInputsAlone) {
  TestSource source(kTestSourceId);
  source.params.type = 4;
  source.params.value = 7;
  TestScale scale(kTestScaleId);
  scale.Connect(0, &source, 0);
  ASSERT_EQ(source.Reset(), 0);
  ASSERT_EQ(source.Step(), 0);
  ASSERT_EQ(scale.Step(), 0);
  Image* scaled = scale.GetOutput(0);
  auto* window = dynamic_cast<HeadlessImageWindow*>(source.GetOutput(0)->Window());
  ASSERT_NE(window, nullptr);
  const int refreshes = window->RefreshCount();

  EXPECT_EQ(source.Reset(), 0);
  EXPECT_EQ(scale.Reset(), 0);
  EXPECT_EQ(source.FrameCounter(), 0);
  EXPECT_EQ(scale.FrameCounter(), 0);
  EXPECT_GT(window->RefreshCount(), refreshes);
  for (const IntArray& channel : As<Int3Image>(source.GetOutput(0))->channels)
    EXPECT_EQ(SamplesOf(channel), std::vector<int>(12, 0));
  ASSERT_EQ(scale.GetOutput(0), scaled);
  for (const IntArray& channel : As<Int3Image>(scaled)->channels)
    EXPECT_EQ(SamplesOf(channel), std::vector<int>(12, 14));
}

TEST_F(StandardOutTest, OutputOfAnImpossibleTypeFailsPrepareAndReset) {
  TestSource source(kTestSourceId);
  for (int type : {7, 0}) {
    Probe p(1, 1, type);
    p.Connect(0, &source, 0);
    EXPECT_EQ(p.Prepare(), 1) << type;
    EXPECT_EQ(p.Status(), "out?");
    EXPECT_EQ(host.LastMessage(), "Probeの出力を準備できません。");
    EXPECT_EQ(p.GetOutput(0), nullptr);
  }
  host.ClearMessages();
  Probe generator(0, 1, 7);
  generator.Reset();
  EXPECT_EQ(generator.Status(), "out?");
  EXPECT_EQ(Messages(), std::vector<std::string>{"Probeの出力を準備できません。"});
}

TEST_F(StandardOutTest, ExecuteBeforeAnyPrepareFailsInsteadOfWritingAMissingOutput) {
  TestSource source(kTestSourceId);
  TestScale scale(kTestScaleId);
  scale.Connect(0, &source, 0);
  ASSERT_EQ(source.Reset(), 0);
  ASSERT_EQ(source.Step(), 0);
  EXPECT_NE(scale.Execute(), 0);
  EXPECT_EQ(scale.FrameCounter(), 0);
  EXPECT_FALSE(Messages().empty());
}

TEST_F(StandardOutTest, HandlerExceptionsFailTheFrameWithAMessage) {
  const FloatBody throwBadAlloc = [](const InArrays<float>&, const OutArrays<float>&) -> int {
    throw std::bad_alloc();
  };
  const FloatBody enormous = [](const InArrays<float>&, const OutArrays<float>& out) {
    out[0]->Resize(INT_MAX, INT_MAX);
    return 0;
  };
  // On the calling thread, on the two part threads of Complex 1ch, on the channel threads.
  struct Case {
    int type;
    FloatBody body;
  };
  for (const Case& c : {Case{2, throwBadAlloc}, Case{3, throwBadAlloc}, Case{5, enormous}}) {
    host.ClearMessages();
    Probe p(0, 1, c.type, c.body);
    ASSERT_EQ(p.Reset(), 0);
    EXPECT_NE(p.Step(), 0) << c.type;
    EXPECT_EQ(p.FrameCounter(), 0);
    ASSERT_FALSE(Messages().empty());
    EXPECT_EQ(Messages().front().rfind("Probe", 0), 0u) << Messages().front();
  }
}

}  // namespace
}  // namespace kandrel::testing
