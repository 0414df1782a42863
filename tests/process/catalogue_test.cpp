// The factory: creation by process ID with the defaults of the kind, undefined IDs, and reading a
// process back from its record.
#include <gtest/gtest.h>

#include "process/catalogue.h"
#include "process/proc_module.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

class CatalogueTest : public KandrelTest {};

TEST_F(CatalogueTest, UndefinedIdsCreateNothingAndSaySo) {
  EXPECT_EQ(CreateById(10032), nullptr);
  EXPECT_EQ(Messages(), std::vector<std::string>{"プロセスID=10032が定義されていません。"});
  // The port process is never made by the factory; negative IDs are just undefined.
  EXPECT_EQ(CreateById(0), nullptr);
  EXPECT_EQ(CreateById(-7), nullptr);
  EXPECT_EQ(host.LastMessage(), "プロセスID=-7が定義されていません。");
  EXPECT_EQ(Messages().size(), 3u);
}

TEST_F(CatalogueTest, ModulesAreNamedAfterTheLiveModuleCount) {
  std::unique_ptr<ProcVirtual> first = CreateById(kModuleProcessId);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Name(), "Module 0");
  EXPECT_EQ(first->ProcessId(), kModuleProcessId);
  EXPECT_NE(dynamic_cast<ProcModule*>(first.get()), nullptr);
  std::unique_ptr<ProcVirtual> second = CreateById(kModuleProcessId);
  EXPECT_EQ(second->Name(), "Module 1");
  first.reset();
  EXPECT_EQ(CreateById(kModuleProcessId)->Name(), "Module 1");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CatalogueTest, CreatedProcessesHaveTheDefaultsOfTheirKind) {
  struct Row {
    int id;
    const char* name;
    int inputs;
    int outputs;
    bool dialog;
  };
  const Row rows[] = {
      {kTestSourceId, "Source", 0, 1, false},    {kTestScaleId, "Scale", 1, 1, false},
      {kTestAddId, "Add", 2, 1, false},          {kTestDialogId, "WithDialog", 1, 1, true},
      {kFrameBufferProcessId, "FrameBuf", 1, 1, true}, {kModuleProcessId, "Module 0", 3, 3, true},
  };
  for (const Row& row : rows) {
    std::unique_ptr<ProcVirtual> p = CreateById(row.id);
    ASSERT_NE(p, nullptr) << row.id;
    EXPECT_EQ(p->ProcessId(), row.id);
    EXPECT_EQ(p->Name(), row.name);
    EXPECT_EQ(p->InputCount(), row.inputs) << row.id;
    EXPECT_EQ(p->OutputCount(), row.outputs) << row.id;
    EXPECT_EQ(p->HasDialog(), row.dialog) << row.id;
    // Not linked, placed or reset.
    EXPECT_EQ(p->Status(), "-") << row.id;
    EXPECT_EQ(p->IconX(), 0);
    EXPECT_EQ(p->IconY(), 0);
    EXPECT_EQ(p->GetInputLink(0).source, nullptr);
    EXPECT_FALSE(p->IsModified()) << row.id;
  }
}

// Every kind of the program: a new process saves, loads and saves again byte for byte, and a
// reset and a frame with nothing linked end in a result, not a crash (whatever they report).
TEST_F(CatalogueTest, EveryKindRoundTripsAndRunsUnlinked) {
  int kinds = 0;
  for (const ProcessKind* kind : Catalogue::Instance().Kinds()) {
    SCOPED_TRACE(kind->className);
    std::unique_ptr<ProcVirtual> p = kind->create(kind->processId);
    ASSERT_NE(p, nullptr);
    MemoryStream saved;
    p->Save(saved);
    saved.Seek(0);
    std::unique_ptr<ProcVirtual> loaded = CreateFromStream(saved);
    ASSERT_NE(loaded, nullptr);
    EXPECT_FALSE(saved.Damaged());
    EXPECT_EQ(saved.Remaining(), 0);
    MemoryStream again;
    loaded->Save(again);
    EXPECT_EQ(again.Bytes(), saved.Bytes());
    loaded->Reset();
    loaded->Step();
    ++kinds;
  }
  EXPECT_GT(kinds, 40);
}

TEST_F(CatalogueTest, RowsCanBeAddedReplacedAndRemoved) {
  constexpr int kId = 95001;
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<TestScale>(kId, "First"));
  catalogue.Register(KindOf<TestAdd>(kId, "Second"));
  ASSERT_NE(catalogue.Find(kId), nullptr);
  EXPECT_EQ(catalogue.Find(kId)->className, "Second");
  EXPECT_EQ(CreateById(kId)->InputCount(), 2);
  catalogue.Unregister(kId);
  EXPECT_EQ(catalogue.Find(kId), nullptr);
  EXPECT_EQ(CreateById(kId), nullptr);
  EXPECT_EQ(host.LastMessage(), "プロセスID=95001が定義されていません。");
}

TEST_F(CatalogueTest, StreamRecordRestoresNameCountsIconAndParameters) {
  TestSource original(kTestSourceId);
  original.SetName("Camera A");
  original.SetIconPosition(220, 74);
  original.params.type = kTypeFloat3;
  original.params.width = 9;
  original.params.value = -2.25;
  original.params.frames = 30;
  original.params.label = "ラベル";
  MemoryStream stream;
  original.Save(stream);
  WriteI32(stream, 42);  // what follows the record must stay readable
  stream.Seek(0);

  int loadResult = -1;
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream, &loadResult);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loadResult, 0);
  auto& source = dynamic_cast<TestSource&>(*loaded);
  EXPECT_EQ(source.Name(), "Camera A");
  EXPECT_EQ(source.InputCount(), 0);
  EXPECT_EQ(source.OutputCount(), 1);
  EXPECT_EQ(source.IconX(), 220);
  EXPECT_EQ(source.IconY(), 74);
  EXPECT_EQ(source.params.type, kTypeFloat3);
  EXPECT_EQ(source.params.width, 9);
  EXPECT_EQ(source.params.height, 3);
  EXPECT_EQ(source.params.value, -2.25);
  EXPECT_EQ(source.params.frames, 30);
  EXPECT_EQ(source.params.label, "ラベル");
  EXPECT_EQ(source.FrameCount(), 30);
  EXPECT_FALSE(source.IsModified());
  EXPECT_EQ(ReadI32(stream), 42);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(CatalogueTest, StreamWithAnUndefinedOrMissingIdGivesNothing) {
  MemoryStream stream;
  WriteI32(stream, 10035);
  WriteI32(stream, 148);
  stream.Seek(0);
  EXPECT_EQ(CreateFromStream(stream), nullptr);
  EXPECT_EQ(host.LastMessage(), "プロセスID=10035が定義されていません。");
  EXPECT_EQ(stream.Position(), 4);  // left right after the ID

  MemoryStream empty;
  int loadResult = 0;
  EXPECT_EQ(CreateFromStream(empty, &loadResult), nullptr);
  EXPECT_NE(loadResult, 0);
}

}  // namespace
}  // namespace kandrel::testing
