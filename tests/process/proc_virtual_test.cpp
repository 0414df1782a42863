// The process base: links and reference counts, output type inference (also around cycles),
// the dialog toggle, the frame protocol with its status texts, and the input-error report.
#include "process/proc_virtual.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

// A kind derived from the base alone: its ports, the input types it accepts and whether it
// has a Process of its own are chosen per test.
class Block : public ProcVirtual {
 public:
  using Accept = std::function<bool(const TypeList&)>;

  Block(int inputs, int outputs, Accept accept = nullptr, bool processes = true)
      : ProcVirtual(0), accept_(std::move(accept)), processes_(processes) {
    SetPortCounts(inputs, outputs);
  }

  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override {
    ++inferCalls;
    if (accept_ == nullptr || !accept_(inTypes)) return false;
    for (int i = 0; i < OutputCount(); ++i) outTypes[i] = inTypes[0] != 0 ? inTypes[0] : 2;
    return true;
  }
  int Process(const InputImages& inputs, OutputImages& outputs) override {
    if (!processes_) return ProcVirtual::Process(inputs, outputs);
    ++processCalls;
    return 0;
  }

  int inferCalls = 0;
  int processCalls = 0;

 private:
  Accept accept_;
  bool processes_;
};

bool AnyType(const TypeList&) { return true; }
bool KnownFirstType(const TypeList& t) { return t[0] >= 1 && t[0] <= 6; }

class ProcVirtualTest : public KandrelTest {
 protected:
  // A source that has published one Float 1ch image.
  void PublishFloatImage(TestSource& source) {
    source.params.type = 2;
    ASSERT_EQ(source.Reset(), 0);
    ASSERT_EQ(source.Step(), 0);
    host.ClearMessages();
  }
};

TEST_F(ProcVirtualTest, ConnectHoldsOneReferenceAndReconnectingTheSameLinkChangesNothing) {
  Block source(0, 2), sink(2, 1, AnyType);
  sink.Connect(0, &source, 1);
  sink.Connect(1, &source, 1);
  EXPECT_EQ(source.GetOutputRefCount(1), 2);
  EXPECT_EQ(source.TotalOutputRefs(), 2);

  sink.SetOutputType(0, 5);
  sink.Connect(0, &source, 1);
  EXPECT_EQ(source.GetOutputRefCount(1), 2);
  EXPECT_EQ(sink.CachedOutputType(0), 5);  // nothing happened, so nothing was cleared

  sink.Connect(0, &source, 0);  // moving a link moves its reference
  EXPECT_EQ(source.GetOutputRefCount(0), 1);
  EXPECT_EQ(source.GetOutputRefCount(1), 1);
  EXPECT_EQ(sink.GetInputLink(0), (ProcessLink{&source, 0}));
}

TEST_F(ProcVirtualTest, OutOfRangeConnectLeavesTheInputUnconnected) {
  Block source(0, 1), sink(1, 1);
  sink.Connect(0, &source, 0);
  sink.Connect(0, &source, 1);  // past the source's outputs: the old link is dropped too
  EXPECT_EQ(sink.GetInputLink(0).source, nullptr);
  EXPECT_EQ(source.TotalOutputRefs(), 0);

  sink.Connect(1, &source, 0);  // past the sink's inputs
  EXPECT_EQ(sink.GetInputLink(1).source, nullptr);
  EXPECT_EQ(source.GetOutputRefCount(0), 0);
}

// The editor refuses such a link, but a file may hold one: it is kept, so the file saves back as
// it was, and never read, so frames run as if the input were open.
TEST_F(ProcVirtualTest, ALinkToItsOwnOutputIsKeptButNeverRead) {
  TestSource source(kTestSourceId);
  PublishFloatImage(source);
  Block sink(2, 1, AnyType);
  sink.Connect(0, &source, 0);
  sink.Connect(1, &sink, 0);
  EXPECT_EQ(sink.GetInputLink(1), (ProcessLink{&sink, 0}));
  EXPECT_EQ(sink.SelfReferences(), 1);
  EXPECT_EQ(sink.TotalOutputRefs(), 1);
  EXPECT_EQ(sink.GetInputType(1), 0);
  EXPECT_EQ(sink.GetOutputType(0), 2);  // inference sees the open input
  EXPECT_NE(sink.GetInput(0), nullptr);
  EXPECT_EQ(sink.GetInput(1), nullptr);
  sink.Disconnect(1);
  EXPECT_EQ(sink.TotalOutputRefs(), 0);
}

TEST_F(ProcVirtualTest, ConnectClearsCachedOutputTypesButDisconnectKeepsThem) {
  Block source(0, 1), sink(1, 2);
  sink.SetOutputType(0, 4);
  sink.SetOutputType(1, 6);
  sink.Connect(0, &source, 0);
  EXPECT_EQ(sink.CachedOutputType(0), 0);
  EXPECT_EQ(sink.CachedOutputType(1), 0);

  sink.SetOutputType(0, 4);
  sink.Disconnect(0);
  EXPECT_EQ(sink.CachedOutputType(0), 4);
}

TEST_F(ProcVirtualTest, DisconnectKeepsTheOutputIndexAndResetsStatus) {
  TestSource source(kTestSourceId);
  PublishFloatImage(source);
  Block three(0, 3), sink(1, 1, KnownFirstType);
  sink.Connect(0, &source, 0);
  ASSERT_NE(sink.GetInput(0), nullptr);
  sink.Connect(0, &three, 2);
  sink.Reset();
  sink.Disconnect(0);
  EXPECT_EQ(sink.Status(), "-");
  EXPECT_EQ(sink.GetInputLink(0), (ProcessLink{nullptr, 2}));
  EXPECT_EQ(sink.GetInput(0), nullptr);
  EXPECT_EQ(source.TotalOutputRefs() + three.TotalOutputRefs(), 0);
  sink.Disconnect(0);  // a second disconnect must not release again
  EXPECT_EQ(three.GetOutputRefCount(2), 0);
}

TEST_F(ProcVirtualTest, DestroyingAProcessReleasesItsSources) {
  Block source(0, 1);
  {
    Block sink(3, 1);
    sink.Connect(0, &source, 0);
    sink.Connect(2, &source, 0);
    ASSERT_EQ(source.GetOutputRefCount(0), 2);
  }
  EXPECT_EQ(source.TotalOutputRefs(), 0);
}

TEST_F(ProcVirtualTest, OutputTypeIsInferredFromTheInputsAndCached) {
  TestSource source(kTestSourceId);
  source.params.type = 6;
  Block sink(1, 1, KnownFirstType);
  sink.Connect(0, &source, 0);
  EXPECT_EQ(sink.GetOutputType(0), 6);
  const int calls = sink.inferCalls;
  EXPECT_EQ(sink.GetOutputType(0), 6);
  EXPECT_EQ(sink.inferCalls, calls);

  Block unknown(1, 1, KnownFirstType);  // refuses an unconnected input
  EXPECT_EQ(unknown.GetOutputType(0), 0);
}

// Each process of a chain reads the one before on both inputs, so the paths to the first double
// with every link: an unknown type is inferred once per query, not once per path, and asked
// again in the next query, when the graph may have changed.
TEST_F(ProcVirtualTest, AnUnknownTypeIsInferredOncePerQuery) {
  std::vector<std::unique_ptr<Block>> chain;
  chain.push_back(std::make_unique<Block>(0, 1));  // names no type
  for (int i = 1; i < 24; ++i) {
    chain.push_back(std::make_unique<Block>(2, 1, KnownFirstType));
    chain[i]->Connect(0, chain[i - 1].get(), 0);
    chain[i]->Connect(1, chain[i - 1].get(), 0);
  }
  EXPECT_EQ(chain.back()->GetOutputType(0), 0);
  for (const auto& block : chain) EXPECT_EQ(block->inferCalls, 1);
  EXPECT_EQ(chain.back()->GetOutputType(0), 0);
  for (const auto& block : chain) EXPECT_EQ(block->inferCalls, 2);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->DisconnectAll();
}

TEST_F(ProcVirtualTest, InferenceAroundACycleTerminates) {
  Block a(1, 1, KnownFirstType), b(1, 1, KnownFirstType);
  a.Connect(0, &b, 0);
  b.Connect(0, &a, 0);
  EXPECT_EQ(a.GetOutputType(0), 0);
  EXPECT_EQ(a.CachedOutputType(0), 0);  // not left at "in progress"
  EXPECT_EQ(b.CachedOutputType(0), 0);

  // Like a frame delay, this kind names its output type while its own input is still unknown.
  Block delay(1, 1, AnyType);
  a.Connect(0, &delay, 0);
  delay.Connect(0, &b, 0);
  EXPECT_EQ(b.GetOutputType(0), 2);
  for (Block* p : {&a, &b, &delay}) p->Disconnect(0);  // none may outlive another while linked
}

TEST_F(ProcVirtualTest, DialogIsCreatedOnFirstShowAndThenToggles) {
  Block p(0, 0);
  EXPECT_FALSE(p.HasDialog());
  p.ShowDialog();
  ASSERT_TRUE(p.HasDialog());
  EXPECT_TRUE(p.Dialog()->IsVisible());
  p.ShowDialog();
  EXPECT_FALSE(p.Dialog()->IsVisible());
  p.ShowDialog();
  EXPECT_TRUE(p.Dialog()->IsVisible());
}

TEST_F(ProcVirtualTest, StatusFollowsResetAndFrames) {
  Block p(0, 1, AnyType);
  EXPECT_EQ(p.Reset(), 0);
  EXPECT_EQ(p.Status(), "Rst");
  ASSERT_EQ(p.Step(), 0);
  EXPECT_EQ(p.Status(), "000");
  ASSERT_EQ(p.Step(), 0);
  EXPECT_EQ(p.Status(), "001");
  EXPECT_EQ(p.FrameCounter(), 2);
  EXPECT_EQ(p.Prepare(), 0);
  EXPECT_EQ(p.Status(), "-");
  p.Reset();
  EXPECT_EQ(p.FrameCounter(), 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ProcVirtualTest, FailedPrepareRunsNoProcessAndKeepsTheFrameCounter) {
  TestSource source(kTestSourceId);
  PublishFloatImage(source);
  Block sink(1, 1, KnownFirstType);
  sink.Connect(0, &source, 0);
  ASSERT_EQ(sink.Step(), 0);
  sink.Disconnect(0);
  EXPECT_NE(sink.Step(), 0);
  EXPECT_EQ(sink.processCalls, 1);
  EXPECT_EQ(sink.FrameCounter(), 1);
  EXPECT_EQ(sink.Status(), "in?");
  EXPECT_EQ(Messages().size(), 1u);  // the input-error report

  Block generator(0, 1);
  generator.SetName("Gen");
  EXPECT_NE(generator.Step(), 0);
  EXPECT_EQ(generator.processCalls, 0);
  EXPECT_EQ(generator.Status(), "err");
  EXPECT_EQ(host.LastMessage(), "Genが準備できませんでした。");
}

TEST_F(ProcVirtualTest, BaseProcessIsNotImplementedAndFailsTheFrame) {
  Block p(0, 1, AnyType, /*processes=*/false);
  EXPECT_NE(p.Step(), 0);
  EXPECT_EQ(host.LastMessage(), "処理が実装されていません。");
  EXPECT_EQ(p.FrameCounter(), 0);
  EXPECT_EQ(p.Status(), "000");
}

TEST_F(ProcVirtualTest, InputErrorReportOfOneInputListsAcceptedTypes) {
  TestSource source(kTestSourceId);
  PublishFloatImage(source);
  Block p(1, 1, [](const TypeList& t) { return t[0] == 1 || t[0] == 4; });
  p.SetName("IntOnly");
  p.Connect(0, &source, 0);
  EXPECT_NE(p.Prepare(), 0);
  EXPECT_EQ(host.LastMessage(),
            "IntOnlyへの入力エラー。\n"
            "\u3000\u3000入力1 = Float 1ch\n"
            "入力数とその型を確認し、接続し直して下さい。\n"
            " \n"
            "IntOnlyが受け入れ可能な入力：\n"
            "\u3000\u3000例1：入力1 = Int 1ch\n"
            "\u3000\u3000例2：入力1 = Int 3ch");
  EXPECT_EQ(p.Status(), "in?");
}

TEST_F(ProcVirtualTest, InputErrorReportOfTwoInputsListsPairsFirstInputOuter) {
  TestSource source(kTestSourceId);
  PublishFloatImage(source);
  // Listing with the second input outer would give (2,1), (2,3), (1,5).
  Block p(2, 1, [](const TypeList& t) {
    return (t[0] == 1 && t[1] == 5) || (t[0] == 2 && (t[1] == 1 || t[1] == 3));
  });
  p.SetName("Pair");
  p.Connect(0, &source, 0);
  EXPECT_NE(p.Prepare(), 0);
  EXPECT_EQ(host.LastMessage(),
            "Pairへの入力エラー。\n"
            "\u3000\u3000入力1 = Float 1ch\n"
            "\u3000\u3000入力2 = (Unknown)\n"
            "入力数とその型を確認し、接続し直して下さい。\n"
            " \n"
            "Pairが受け入れ可能な入力：\n"
            "\u3000\u3000例1：入力1 = Int 1ch\n"
            "\u3000\u3000\u3000\u3000\u3000入力2 = Float 3ch\n"
            "\u3000\u3000例2：入力1 = Float 1ch\n"
            "\u3000\u3000\u3000\u3000\u3000入力2 = Int 1ch\n"
            "\u3000\u3000例3：入力1 = Float 1ch\n"
            "\u3000\u3000\u3000\u3000\u3000入力2 = Complex 1ch");
}

TEST_F(ProcVirtualTest, InputErrorReportOfThreeInputsHasNoExamples) {
  Block p(3, 1);
  EXPECT_NE(p.Prepare(), 0);
  EXPECT_EQ(host.LastMessage(),
            "Virtualへの入力エラー。\n"
            "\u3000\u3000入力1 = (Unknown)\n"
            "\u3000\u3000入力2 = (Unknown)\n"
            "\u3000\u3000入力3 = (Unknown)\n"
            "入力数とその型を確認し、接続し直して下さい。\n"
            " ");
}

}  // namespace
}  // namespace kandrel::testing
