// Modules: evaluation order and loop detection, editing operations and their refusals, port
// forwarding, placement and selection marks, file insertion, and the copy buffer.
#include <gtest/gtest.h>

#include <vector>

#include "blocks/pixel/frame_control.h"
#include "image/picture.h"
#include "process/catalogue.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

class ModuleTest : public KandrelTest {
 protected:
  static std::vector<ProcVirtual*> Order(const ProcModule& module) {
    std::vector<ProcVirtual*> order;
    for (int i = 0; i < module.ChildCount(); ++i) order.push_back(module.Child(i));
    return order;
  }

  static float FirstSample(const Image* image) {
    const auto* typed = As<Float1Image>(image);
    return typed != nullptr && typed->channels[0].SampleCount() != 0 ? *typed->channels[0].begin()
                                                                     : -1.0f;
  }
};

TEST_F(ModuleTest, ChainInsertedBackwardsIsOrderedOnTheFirstPrepare) {
  ProcModule module;
  ProcVirtual* c = AddChild(module, kTestScaleId);
  ProcVirtual* b = AddChild(module, kTestScaleId);
  ProcVirtual* a = AddChild(module, kTestSourceId);
  c->Connect(0, b, 0);
  b->Connect(0, a, 0);
  module.SetModified(false);

  ASSERT_EQ(module.Prepare(), 0);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{a, b, c}));
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(module.IsModified());  // the order is part of the file
  EXPECT_EQ(module.Execute(), 0);
  EXPECT_EQ(FirstSample(c->GetOutput(0)), 4.0f);
}

// A link across a module's boundary repaints every open editor. Links read with a graph, or
// dropped as one is destroyed, are in no open editor: loading and closing a graph repaint
// nothing, so their cost does not grow with the number of modules times the number of links.
TEST_F(ModuleTest, OnlyEditingRepaintsTheOpenEditors) {
  ProcModule open;
  open.Editor()->Show();
  auto& editor = dynamic_cast<HeadlessModuleEditor&>(*open.Editor());
  MemoryStream stream;
  {
    ProcModule root;
    for (int i = 0; i < 3; ++i) {
      auto* sub = AddChild<ProcModule>(root, kModuleProcessId);
      for (int j = 0; j < 3; ++j)
        AddChild<ProcModule>(*sub, kModuleProcessId)->Connect(0, sub->InputPort(), j);
      if (i > 0) sub->Connect(0, root.Child(i - 1), 0);
    }
    const int before = editor.RepaintCount();
    root.Child(2)->Connect(1, root.Child(0), 1);
    EXPECT_GT(editor.RepaintCount(), before);
    root.Save(stream);
  }
  const int before = editor.RepaintCount();
  stream.Seek(0);
  EXPECT_NE(CreateFromStream(stream), nullptr);  // loaded, and destroyed at once
  EXPECT_EQ(editor.RepaintCount(), before);
}

TEST_F(ModuleTest, FullyReversedChainReportsALoopOnceThenOrdersCompletely) {
  ProcModule module;
  ProcVirtual* d = AddChild(module, kTestScaleId);
  ProcVirtual* c = AddChild(module, kTestScaleId);
  ProcVirtual* b = AddChild(module, kTestScaleId);
  ProcVirtual* a = AddChild(module, kTestSourceId);
  d->Connect(0, c, 0);
  c->Connect(0, b, 0);
  b->Connect(0, a, 0);

  // Four moves are allowed per pass; the fifth gives up with the order reached so far.
  EXPECT_EQ(module.Prepare(), 1);
  ASSERT_EQ(Messages(), std::vector<std::string>{module.Name() + " 内のループ処理が解決できません。"});
  EXPECT_EQ(module.Status(), "lop：ループ処理が解決できません。");
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{d, a, b, c}));

  EXPECT_EQ(module.Prepare(), 0);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{a, b, c, d}));
  EXPECT_EQ(Messages().size(), 1u);
}

TEST_F(ModuleTest, MutualFeedLoopsUnlessOneSideIsAFrameDelay) {
  {
    ProcModule module;
    ProcVirtual* p = AddChild(module, kTestScaleId);
    ProcVirtual* q = AddChild(module, kTestScaleId);
    p->Connect(0, q, 0);
    q->Connect(0, p, 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
      host.ClearMessages();
      EXPECT_EQ(module.Prepare(), 1);
      EXPECT_EQ(host.LastMessage(), module.Name() + " 内のループ処理が解決できません。");
    }
  }
  host.ClearMessages();
  ProcModule module;
  ProcVirtual* p = AddChild(module, kTestScaleId);
  auto* delay = AddChild<ProcFrameBuffer>(module, kFrameBufferProcessId);
  delay->params.bufferType = kTypeFloat1;
  ASSERT_EQ(delay->Reset(), 0);
  delay->Connect(0, p, 0);
  p->Connect(0, delay, 0);
  module.SetModified(false);

  ASSERT_EQ(module.Prepare(), 0);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{p, delay}));
  EXPECT_EQ(module.Execute(), 0);
  EXPECT_FALSE(module.IsModified());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ModuleTest, ModuleInputsAndOutsideLinksImposeNoOrder) {
  TestSource outside(kTestSourceId);
  ASSERT_EQ(outside.Step(), 0);
  ProcModule module;
  module.Connect(0, &outside, 0);
  module.Connect(2, &outside, 0);
  ProcVirtual* fromInput = AddChild(module, kTestScaleId);
  ProcVirtual* mixed = AddChild(module, kTestAddId);
  ProcVirtual* last = AddChild(module, kTestScaleId);
  fromInput->Connect(0, module.InputPort(), 2);
  mixed->Connect(0, module.InputPort(), 0);
  mixed->Connect(1, &outside, 0);
  last->Connect(0, fromInput, 0);
  module.SetModified(false);

  EXPECT_EQ(module.Prepare(), 0);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{fromInput, mixed, last}));
  EXPECT_FALSE(module.IsModified());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ModuleTest, RemoveAndMoveKeepReferencesSound) {
  ProcModule module;
  ProcVirtual* source = AddChild(module, kTestSourceId);
  ProcVirtual* scale = AddChild(module, kTestScaleId);
  ProcVirtual* other = AddChild(module, kTestScaleId);
  scale->Connect(0, source, 0);
  module.OutputPort()->Connect(0, other, 0);

  module.RemoveProcess(2);
  EXPECT_EQ(host.LastMessage(), "Scaleは他のプロセスから参照されているため、削除できません。");
  EXPECT_EQ(module.ChildCount(), 3);
  module.OutputPort()->Disconnect(0);
  module.SetModified(false);
  module.RemoveProcess(2);
  EXPECT_EQ(module.ChildCount(), 2);
  EXPECT_EQ(module.Child(2), nullptr);
  EXPECT_TRUE(module.IsModified());

  module.RemoveProcess(0);  // still read by the scaler
  EXPECT_EQ(module.ChildCount(), 2);
  module.RemoveProcess(1);  // the scaler's destruction releases its reference on the source
  EXPECT_EQ(source->TotalOutputRefs(), 0);
  module.RemoveProcess(0);
  EXPECT_EQ(module.ChildCount(), 0);

  ProcVirtual* p0 = AddChild(module, kTestSourceId);
  ProcVirtual* p1 = AddChild(module, kTestScaleId);
  ProcVirtual* p2 = AddChild(module, kTestAddId);
  module.MoveProcess(0, 2);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{p1, p2, p0}));
  module.MoveProcess(2, 0);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{p0, p1, p2}));
  module.MoveProcess(1, 3);
  EXPECT_EQ(Order(module), (std::vector<ProcVirtual*>{p0, p1, p2}));
}

TEST_F(ModuleTest, PortCountsShrinkOnlyOverUnusedPorts) {
  TestSource x0(kTestSourceId), x1(kTestSourceId), x2(kTestSourceId);
  ProcModule module;
  module.Connect(0, &x0, 0);
  module.Connect(1, &x1, 0);
  module.Connect(2, &x2, 0);
  ProcVirtual* reader = AddChild(module, kTestScaleId);
  reader->Connect(0, module.InputPort(), 1);

  EXPECT_EQ(module.SetInputCount(0), 1);
  EXPECT_EQ(host.LastMessage(), "入力端子2番が接続されています。");
  EXPECT_EQ(module.InputCount(), 3);
  EXPECT_EQ(module.InputPort()->OutputCount(), 3);
  EXPECT_EQ(module.GetInputLink(2).source, nullptr);  // dropped before the refusal
  EXPECT_EQ(x2.GetOutputRefCount(0), 0);
  EXPECT_EQ(module.GetInputLink(1).source, &x1);
  EXPECT_EQ(module.GetInputLink(0).source, &x0);

  reader->Disconnect(0);
  module.SetModified(false);
  EXPECT_EQ(module.SetInputCount(1), 0);
  EXPECT_EQ(module.InputCount(), 1);
  EXPECT_EQ(module.InputPort()->InputCount(), 1);
  EXPECT_EQ(module.InputPort()->OutputCount(), 1);
  EXPECT_EQ(x1.GetOutputRefCount(0), 0);
  EXPECT_EQ(x0.GetOutputRefCount(0), 1);
  EXPECT_TRUE(module.IsModified());

  ProcVirtual* inner = AddChild(module, kTestSourceId);
  module.OutputPort()->Connect(2, inner, 0);
  TestScale consumer(kTestScaleId);
  consumer.Connect(0, &module, 1);
  EXPECT_EQ(module.GetOutputRefCount(1), 1);
  EXPECT_EQ(module.SetOutputCount(1), 1);
  EXPECT_EQ(host.LastMessage(), "出力端子2番が外部から接続されています。");
  EXPECT_EQ(module.OutputCount(), 3);
  EXPECT_EQ(inner->TotalOutputRefs(), 0);  // the inner link of output 3 was dropped
  consumer.Disconnect(0);
  EXPECT_EQ(module.SetOutputCount(1), 0);
  EXPECT_EQ(module.OutputCount(), 1);
  EXPECT_EQ(module.OutputPort()->InputCount(), 1);
  EXPECT_EQ(module.OutputPort()->OutputCount(), 1);
}

TEST_F(ModuleTest, NewProcessesArePlacedFromTheirSourcesOrBelowTheLastChild) {
  ProcModule module;
  auto place = [&](std::unique_ptr<ProcVirtual> p) {
    module.PlaceNewProcess(*p);
    ProcVirtual* raw = p.get();
    EXPECT_EQ(module.AddProcess(std::move(p)), 0);
    return raw;
  };
  ProcVirtual* first = place(CreateById(kTestSourceId));
  EXPECT_EQ((std::pair{first->IconX(), first->IconY()}), (std::pair{90, 20}));
  ProcVirtual* second = place(CreateById(kTestSourceId));
  EXPECT_EQ((std::pair{second->IconX(), second->IconY()}), (std::pair{90, 74}));

  // The highest-numbered connected input decides, not the position of its source.
  std::unique_ptr<ProcVirtual> adder = CreateById(kTestAddId);
  adder->Connect(0, second, 0);
  adder->Connect(1, first, 0);
  ProcVirtual* added = place(std::move(adder));
  EXPECT_EQ((std::pair{added->IconX(), added->IconY()}), (std::pair{220, 20}));

  ProcVirtual* loose = place(CreateById(kTestScaleId));
  EXPECT_EQ((std::pair{loose->IconX(), loose->IconY()}), (std::pair{220, 74}));
}

TEST_F(ModuleTest, AddingSelectsAndMarksSoTheNextInsertLinksToIt) {
  ProcModule module;
  ModuleEditor& editor = *module.Editor();
  ASSERT_EQ(module.InsertNewProcess(CreateById(kTestSourceId)), 0);
  ProcVirtual* source = module.Child(0);
  EXPECT_TRUE(editor.IsIconSelected(0));
  EXPECT_TRUE(editor.IsOutputMarked(0, 0));
  EXPECT_EQ(source->FrameCounter(), 1);  // parameter-less: stepped at once

  ASSERT_EQ(module.InsertNewProcess(CreateById(kTestScaleId)), 0);
  ProcVirtual* scale = module.Child(1);
  EXPECT_EQ(scale->GetInputLink(0), (ProcessLink{source, 0}));
  EXPECT_EQ((std::pair{scale->IconX(), scale->IconY()}), (std::pair{220, 20}));
  EXPECT_EQ(FirstSample(scale->GetOutput(0)), 2.0f);
  EXPECT_TRUE(editor.IsIconSelected(1));
  EXPECT_FALSE(editor.IsIconSelected(0));
  EXPECT_FALSE(editor.IsOutputMarked(0, 0));

  // A process without outputs takes the selection but leaves the marks.
  auto sink = std::make_unique<ProcModule>();
  sink->SetOutputCount(0);
  ASSERT_EQ(module.AddProcess(std::move(sink)), 0);
  EXPECT_TRUE(editor.IsIconSelected(2));
  EXPECT_TRUE(editor.IsOutputMarked(1, 0));

  ASSERT_EQ(module.InsertNewProcess(CreateById(kTestDialogId)), 0);
  ProcVirtual* withDialog = module.Child(3);
  EXPECT_EQ(withDialog->GetInputLink(0), (ProcessLink{scale, 0}));
  EXPECT_EQ(withDialog->Status(), "Rst");
  EXPECT_EQ(withDialog->FrameCounter(), 0);
  ASSERT_NE(withDialog->Dialog(), nullptr);
  EXPECT_TRUE(withDialog->Dialog()->IsVisible());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ModuleTest, SelectedOutputsAreCollectedChildByChildThenModuleInputs) {
  TestSource outside(kTestSourceId);
  ASSERT_EQ(outside.Step(), 0);
  ProcModule module;
  module.Connect(0, &outside, 0);
  module.Connect(2, &outside, 0);
  ProcVirtual* source = AddChild(module, kTestSourceId);
  ASSERT_EQ(source->Step(), 0);
  auto* sub = AddChild<ProcModule>(module, kModuleProcessId);
  for (int k = 0; k < 3; ++k) {
    sub->Connect(k, source, 0);
    sub->OutputPort()->Connect(k, sub->InputPort(), k);
  }
  AddChild(module, kTestScaleId);  // never run: its output holds no image

  ModuleEditor& editor = *module.Editor();
  editor.ClearOutputMarks();
  editor.SetOutputMark(ModuleEditor::kInPortTag, 2, true);
  editor.SetOutputMark(ModuleEditor::kInPortTag, 1, true);  // unconnected: no image
  editor.SetOutputMark(ModuleEditor::kInPortTag, 0, true);
  editor.SetOutputMark(2, 0, true);
  editor.SetOutputMark(1, 2, true);
  editor.SetOutputMark(1, 0, true);
  editor.SetOutputMark(0, 0, true);

  LinkList links;
  links.fill(ProcessLink{source, 7});
  EXPECT_EQ(module.CollectSelectedOutputs(links), 5);
  LinkList expected{};
  expected[0] = {source, 0};
  expected[1] = {sub, 0};
  expected[2] = {sub, 2};
  expected[3] = {module.InputPort(), 0};
  expected[4] = {module.InputPort(), 2};
  EXPECT_EQ(links, expected);
}

TEST_F(ModuleTest, PortsForwardImagesTypesAndReferences) {
  TestSource outside(kTestSourceId);
  ASSERT_EQ(outside.Step(), 0);
  ProcModule module;
  module.Connect(0, &outside, 0);
  module.OutputPort()->Connect(1, module.InputPort(), 0);
  EXPECT_EQ(module.GetInputLink(0), (ProcessLink{&outside, 0}));
  EXPECT_EQ(module.GetInput(0), outside.GetOutput(0));
  EXPECT_EQ(module.GetOutput(1), outside.GetOutput(0));
  EXPECT_EQ(module.GetInputType(0), kTypeFloat1);
  EXPECT_EQ(module.GetOutputType(1), kTypeFloat1);
  EXPECT_EQ(outside.GetOutputRefCount(0), 1);

  TestScale consumer(kTestScaleId);
  consumer.Connect(0, &module, 1);
  EXPECT_EQ(module.GetOutputRefCount(1), 1);
  EXPECT_EQ(module.OutputPort()->GetOutputRefCount(1), 1);
  EXPECT_EQ(module.TotalOutputRefs(), 1);
  EXPECT_EQ(consumer.GetInput(0), outside.GetOutput(0));
  EXPECT_EQ(consumer.Step(), 0);
  EXPECT_EQ(FirstSample(consumer.GetOutput(0)), 2.0f);
  consumer.Disconnect(0);
  EXPECT_EQ(module.GetOutputRefCount(1), 0);
}

TEST_F(ModuleTest, ALoopThroughPortsOnlyYieldsNullInsteadOfRecursing) {
  ProcModule parent;
  auto* first = AddChild<ProcModule>(parent, kModuleProcessId);
  auto* second = AddChild<ProcModule>(parent, kModuleProcessId);
  first->OutputPort()->Connect(0, first->InputPort(), 0);
  second->OutputPort()->Connect(0, second->InputPort(), 0);
  first->Connect(0, second, 0);
  second->Connect(0, first, 0);
  EXPECT_EQ(first->GetOutput(0), nullptr);
  EXPECT_EQ(second->GetInput(0), nullptr);
  EXPECT_EQ(first->GetOutputType(0), 0);
}

TEST_F(ModuleTest, FrameCountIsTheLongestChildAndAtLeastOne) {
  ProcModule module;
  EXPECT_EQ(module.FrameCount(), 1);
  AddChild<TestSource>(module, kTestSourceId)->params.frames = 0;
  EXPECT_EQ(module.FrameCount(), 1);
  AddChild<TestSource>(module, kTestSourceId)->params.frames = 7;
  AddChild<TestSource>(module, kTestSourceId)->params.frames = 3;
  EXPECT_EQ(module.FrameCount(), 7);
  auto* sub = AddChild<ProcModule>(module, kModuleProcessId);
  AddChild<TestSource>(*sub, kTestSourceId)->params.frames = 12;
  EXPECT_EQ(module.FrameCount(), 12);
}

TEST_F(ModuleTest, ModifiedLooksIntoChildrenButNotIntoPorts) {
  ProcModule root;
  auto* sub = AddChild<ProcModule>(root, kModuleProcessId);
  ProcVirtual* inner = AddChild(*sub, kTestScaleId);
  MemoryStream stream;
  root.Save(stream);
  EXPECT_FALSE(root.IsModified());
  root.InputPort()->SetName("renamed port");
  EXPECT_FALSE(root.IsModified());
  inner->SetName("renamed");
  EXPECT_TRUE(sub->IsModified());
  EXPECT_TRUE(root.IsModified());
}

TEST_F(ModuleTest, ExecutionStopsAtTheFirstFailingChild) {
  ProcModule module;
  ProcVirtual* source = AddChild(module, kTestSourceId);
  ProcVirtual* failing = AddChild(module, kTestFailId);
  ProcVirtual* after = AddChild(module, kTestScaleId);
  failing->Connect(0, source, 0);
  after->Connect(0, source, 0);
  ASSERT_EQ(module.Reset(), 0);
  EXPECT_NE(module.Step(), 0);
  EXPECT_EQ(module.Status(), "err");
  EXPECT_EQ(source->FrameCounter(), 1);
  EXPECT_EQ(failing->FrameCounter(), 0);
  EXPECT_EQ(after->FrameCounter(), 0);
  EXPECT_NE(after->Status(), "000");
  EXPECT_EQ(module.FrameCounter(), 0);

  // A failing prepare stops the preparation just as early.
  auto* broken = dynamic_cast<TestSource*>(source);
  broken->params.type = 0;
  host.ClearMessages();
  EXPECT_NE(module.Prepare(), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>{"Sourceが準備できませんでした。"});
  EXPECT_EQ(module.Status(), "err");
}

TEST_F(ModuleTest, TheTwentyFirstChildIsRefused) {
  ProcModule module;
  for (int i = 0; i < MAX_PROCESS; ++i) AddChild(module, kTestSourceId);
  const std::string limit = "一つのサブプロセス内に配置できるプロセスは20個までです。";
  EXPECT_EQ(module.AddProcess(CreateById(kTestSourceId)), 1);
  EXPECT_EQ(host.LastMessage(), limit);
  host.ClearMessages();
  EXPECT_EQ(module.InsertNewProcess(CreateById(kTestScaleId)), 1);
  EXPECT_EQ(Messages(), std::vector<std::string>{limit});
  EXPECT_EQ(module.ChildCount(), MAX_PROCESS);
  // The refused scaler was linked to the marked output before it was destroyed.
  EXPECT_EQ(module.Child(MAX_PROCESS - 1)->TotalOutputRefs(), 0);
}

TEST_F(ModuleTest, LoadingMoreThanTwentyChildrenStopsAtTheTwentyFirst) {
  MemoryStream saved;
  {
    ProcModule module;
    for (int i = 0; i < MAX_PROCESS; ++i) AddChild(module, kTestScaleId);
    module.Save(saved);
  }
  // Module ID, two header records, then the child count and 156-byte child records.
  std::vector<std::uint8_t> bytes = saved.Bytes();
  constexpr std::size_t kCount = 308, kFirstChild = 312, kChild = 156;
  ASSERT_EQ(LoadI32(&bytes[kFirstChild]), kTestScaleId);
  StoreI32(&bytes[kCount], MAX_PROCESS + 1);
  const std::vector<std::uint8_t> extra(bytes.begin() + kFirstChild, bytes.begin() + kFirstChild + kChild);
  bytes.insert(bytes.begin() + kFirstChild + MAX_PROCESS * kChild, extra.begin(), extra.end());
  const std::size_t links = kFirstChild + (MAX_PROCESS + 1) * kChild + 152;
  std::uint8_t noLink[4];
  StoreI32(noLink, kNoLink);
  bytes.insert(bytes.begin() + links + MAX_PROCESS * 4, noLink, noLink + 4);

  MemoryStream stream(bytes);
  int loadResult = 0;
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream, &loadResult);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loadResult, 1);
  EXPECT_EQ(dynamic_cast<ProcModule&>(*loaded).ChildCount(), MAX_PROCESS);
  EXPECT_EQ(host.LastMessage(), "一つのサブプロセス内に配置できるプロセスは20個までです。");
}

TEST_F(ModuleTest, NamesFollowTheCountOfLiveModules) {
  ASSERT_EQ(ProcModule::LiveModuleCount(), 0);
  auto first = std::make_unique<ProcModule>();
  auto second = std::make_unique<ProcModule>();
  EXPECT_EQ(first->Name(), "Module 0");
  EXPECT_EQ(second->Name(), "Module 1");
  first.reset();
  EXPECT_EQ(ProcModule::LiveModuleCount(), 1);
  ProcModule third;
  EXPECT_EQ(third.Name(), "Module 1");
  second.reset();
  EXPECT_EQ(ProcModule::LiveModuleCount(), 1);
}

TEST_F(ModuleTest, InsertFileDispatchesOnTheExactExtension) {
  ProcModule module;
  // Everything but ".avi" and ".knd", spelt exactly so, becomes an image reader.
  for (const char* path : {"/data/clip.AVI", "/data/graph.KND", "/data/picture.png", "/data/none"}) {
    host.ClearMessages();
    EXPECT_EQ(module.InsertFile(path), 0) << path;
    EXPECT_EQ(module.Child(module.ChildCount() - 1)->ProcessId(), 10001) << path;
  }
  host.ClearMessages();
  EXPECT_EQ(module.InsertFile("/data/clip.avi"), 0);
  EXPECT_EQ(module.Child(module.ChildCount() - 1)->ProcessId(), 10002);
  while (module.ChildCount() > 0) module.RemoveProcess(0);

  TempDir dir;
  TestSource saved(kTestSourceId);
  saved.params.label = "from file";
  const std::string path = dir.File("part.knd");
  ASSERT_EQ(SaveProcessFile(&saved, path), path);
  host.ClearMessages();
  EXPECT_EQ(module.InsertFile(path), 0);
  ASSERT_EQ(module.ChildCount(), 1);
  EXPECT_EQ(dynamic_cast<TestSource&>(*module.Child(0)).params.label, "from file");
  EXPECT_EQ(module.Child(0)->Status(), "Rst");
  EXPECT_EQ((std::pair{module.Child(0)->IconX(), module.Child(0)->IconY()}), (std::pair{90, 20}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ModuleTest, CopyThenPasteInsertsAnEqualProcess) {
  ProcModule module;
  auto* original = AddChild<TestSource>(module, kTestSourceId);
  original->params.value = 3.5;
  original->params.frames = 6;
  original->params.label = "copied";
  original->SetName("edited");
  Picture picture;
  picture.Create(1, 1);
  host.SetClipboardPicture(picture);

  CopyToBuffer(*original);
  EXPECT_FALSE(host.ClipboardHasBitmap());
  EXPECT_TRUE(original->IsModified());  // a copy is not a save
  ASSERT_EQ(PasteFromBuffer(module), 0);
  ASSERT_EQ(module.ChildCount(), 2);
  auto& pasted = dynamic_cast<TestSource&>(*module.Child(1));
  EXPECT_EQ(pasted.Name(), "edited");
  EXPECT_EQ(pasted.params.value, 3.5);
  EXPECT_EQ(pasted.params.frames, 6);
  EXPECT_EQ(pasted.params.label, "copied");
  EXPECT_EQ(pasted.Status(), "Rst");
  EXPECT_EQ(pasted.IconY(), original->IconY() + 54);

  ProcVirtual* unedited = AddChild(module, kTestScaleId);
  unedited->SetModified(false);
  CopyToBuffer(*unedited);
  EXPECT_FALSE(unedited->IsModified());
}

// A bitmap on the clip board wins over the copy buffer: it becomes a paste source, which shows
// it at once.
TEST_F(ModuleTest, PastingABitmapCreatesThePasteKind) {
  ProcModule module;
  CopyToBuffer(*AddChild(module, kTestScaleId));
  Picture picture;
  picture.Create(2, 1);
  for (int i = 0; i < 8; ++i) picture.ScanLine(0)[i] = static_cast<std::uint8_t>(10 * i);
  host.SetClipboardPicture(picture);
  ASSERT_EQ(PasteFromBuffer(module), 0);
  ASSERT_EQ(module.ChildCount(), 2);
  EXPECT_EQ(module.Child(1)->ProcessId(), kPasteProcessId);
  const auto* pasted = As<Int3Image>(module.Child(1)->GetOutput(0));
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(pasted->channels[0][0][1], 60);  // red of the second pixel (bytes blue, green, red)
  EXPECT_EQ(pasted->channels[2][0][1], 40);
}

}  // namespace
}  // namespace kandrel::testing
