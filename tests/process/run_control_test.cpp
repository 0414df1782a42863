// The run controller: reset, single steps against the end point, continuous runs that stop at
// the end point, on a pause or on a failure, and the end-point field.
#include <gtest/gtest.h>

#include "process/catalogue.h"
#include "process/proc_module.h"
#include "process/run_control.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

// Passes its input on until its frame counter reaches 5, then fails with a message.
class FailsAtFrameFive : public TestScale {
 public:
  FailsAtFrameFive() : TestScale(kTestScaleId) {}
  int Process(const InputImages& inputs, OutputImages& outputs) override {
    if (FrameCounter() == 5) {
      Message("frame 5 failed");
      return 1;
    }
    return TestScale::Process(inputs, outputs);
  }
};

class RunControlTest : public KandrelTest {
 protected:
  // The root needs the host for its editor, so it lives between SetUp and TearDown.
  void SetUp() override {
    KandrelTest::SetUp();
    root = std::make_unique<ProcModule>();
  }
  void TearDown() override {
    root.reset();
    KandrelTest::TearDown();
  }

  // A root with a source of the given frame count feeding a scaler.
  void BuildRoot(int frames) {
    std::unique_ptr<ProcVirtual> created = CreateById(kTestSourceId);
    source = dynamic_cast<TestSource*>(created.get());
    source->params.frames = frames;
    ASSERT_EQ(root->AddProcess(std::move(created)), 0);
    std::unique_ptr<ProcVirtual> scale = CreateById(kTestScaleId);
    scale->Connect(0, source, 0);
    ASSERT_EQ(root->AddProcess(std::move(scale)), 0);
    controller.Attach(root.get());
  }

  float RootSample() const {
    const auto* image = As<Float1Image>(root->Child(1)->GetOutput(0));
    return image != nullptr ? *image->channels[0].begin() : -1.0f;
  }

  std::unique_ptr<ProcModule> root;
  TestSource* source = nullptr;
  RunController controller;
};

TEST_F(RunControlTest, AStillGraphAllowsOneStepAfterReset) {
  BuildRoot(1);
  EXPECT_EQ(controller.EndPoint(), 100);  // the field's initial text
  controller.ResetAll();
  EXPECT_EQ(controller.EndPoint(), 1);
  EXPECT_EQ(controller.CurrentFrame(), 0);
  EXPECT_EQ(root->Status(), "Rst");

  EXPECT_EQ(controller.StepAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 1);
  EXPECT_EQ(root->FrameCounter(), 1);
  EXPECT_EQ(RootSample(), 2.0f);
  EXPECT_TRUE(Messages().empty());

  EXPECT_EQ(controller.StepAll(), 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{"終点です。最初に戻すか、終点を延ばして下さい。"});
  EXPECT_EQ(controller.CurrentFrame(), 1);
  EXPECT_EQ(root->FrameCounter(), 1);
}

TEST_F(RunControlTest, ContinuousRunStopsAtTheEndPointWithoutMessage) {
  BuildRoot(1);
  controller.ResetAll();
  controller.SetEndPoint(10);
  int changes = 0, shownFrame = -1;
  controller.onChanged = [&] {
    ++changes;
    shownFrame = controller.CurrentFrame();
  };
  EXPECT_EQ(controller.RunAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 10);
  EXPECT_EQ(root->FrameCounter(), 10);
  EXPECT_EQ(RootSample(), 2.0f * (1 + 9));  // the last frame run was frame 9
  EXPECT_FALSE(controller.IsRunning());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(host.PendingEventCalls(), 9);  // between frames, not after the last
  EXPECT_GE(changes, 10);
  EXPECT_EQ(shownFrame, 10);  // the window is told after the frame advanced
}

TEST_F(RunControlTest, ContinuousRunAtTheEndPointResetsFirst) {
  BuildRoot(3);
  controller.ResetAll();
  ASSERT_EQ(controller.RunAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 3);
  controller.SetEndPoint(2);  // already passed
  EXPECT_EQ(controller.RunAll(), 0);
  EXPECT_EQ(controller.EndPoint(), 3);  // from the root's frame count again
  EXPECT_EQ(controller.CurrentFrame(), 3);
  EXPECT_EQ(root->FrameCounter(), 3);
  EXPECT_EQ(source->FrameCounter(), 3);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RunControlTest, PauseEndsTheRunAfterTheCurrentFrame) {
  BuildRoot(1);
  controller.ResetAll();
  controller.SetEndPoint(10);
  host.onPendingEvents = [&] {
    if (controller.CurrentFrame() == 4) controller.Pause();
  };
  EXPECT_EQ(controller.RunAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 4);
  EXPECT_EQ(root->FrameCounter(), 4);
  EXPECT_FALSE(controller.IsRunning());

  EXPECT_EQ(controller.StepAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 5);
  host.onPendingEvents = nullptr;
  EXPECT_EQ(controller.RunAll(), 0);  // continues, no reset
  EXPECT_EQ(controller.CurrentFrame(), 10);
  EXPECT_EQ(root->FrameCounter(), 10);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(RunControlTest, AFailingFrameStopsTheRunWhereItFailed) {
  BuildRoot(1);
  auto failing = std::make_unique<FailsAtFrameFive>();
  failing->Connect(0, source, 0);
  ASSERT_EQ(root->AddProcess(std::move(failing)), 0);
  controller.ResetAll();
  controller.SetEndPoint(10);

  EXPECT_NE(controller.RunAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 5);
  EXPECT_EQ(root->FrameCounter(), 5);
  EXPECT_EQ(root->Status(), "err");
  EXPECT_FALSE(controller.IsRunning());
  EXPECT_EQ(Messages(), std::vector<std::string>{"frame 5 failed"});
  // Processes before the failing one keep the frame they ran.
  EXPECT_EQ(source->FrameCounter(), 6);

  EXPECT_NE(controller.StepAll(), 0);
  EXPECT_EQ(controller.CurrentFrame(), 5);
}

TEST_F(RunControlTest, EndPointFieldAcceptsOnlyNonNegativeIntegers) {
  BuildRoot(7);
  controller.SetEndPointText("12");
  EXPECT_EQ(controller.EndPoint(), 12);
  for (const char* text : {"abc", "", "12x", "3.5"}) {
    controller.SetEndPointText(text);
    EXPECT_EQ(controller.EndPoint(), 12) << text;
  }
  controller.SetEndPoint(-5);
  EXPECT_EQ(controller.EndPoint(), 0);
  controller.SetEndPointText("-3");
  EXPECT_EQ(controller.EndPoint(), 0);
  EXPECT_EQ(controller.StepAll(), 1);
  EXPECT_EQ(host.LastMessage(), "終点です。最初に戻すか、終点を延ばして下さい。");

  controller.OnShown();  // showing the window follows the root's frame count
  EXPECT_EQ(controller.EndPoint(), 7);
}

}  // namespace
}  // namespace kandrel::testing
