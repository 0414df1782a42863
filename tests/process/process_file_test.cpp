// Process files: the framing of records, module contents and link codes, byte-exact round
// trips, relative paths, and files that are truncated or corrupt.
#include <gtest/gtest.h>

#include <filesystem>

#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

class ProcessFileTest : public KandrelTest {
 protected:
  static std::vector<std::uint8_t> Bytes(ProcVirtual& p) {
    MemoryStream stream;
    p.Save(stream);
    return stream.Bytes();
  }

  // A root with a source and a scaler, a sub-module fed by both whose inside reads its module
  // inputs and a sibling, and module outputs fed from inside and outside.
  std::unique_ptr<ProcModule> NestedGraph() {
    auto root = std::make_unique<ProcModule>();
    root->SetName("ルート　グラフ");
    auto* source = AddChild<TestSource>(*root, kTestSourceId);
    source->params.label = "ラベル";
    source->SetIconPosition(90, 20);
    auto* scale = AddChild(*root, kTestScaleId);
    scale->Connect(0, source, 0);
    auto* sub = AddChild<ProcModule>(*root, kModuleProcessId);
    sub->Connect(0, source, 0);
    sub->Connect(2, scale, 0);
    auto* inner = AddChild(*sub, kTestAddId);
    inner->Connect(0, sub->InputPort(), 0);
    inner->Connect(1, sub->InputPort(), 2);
    auto* innerScale = AddChild(*sub, kTestScaleId);
    innerScale->Connect(0, inner, 0);
    sub->OutputPort()->Connect(0, innerScale, 0);
    sub->OutputPort()->Connect(1, sub->InputPort(), 0);
    root->OutputPort()->Connect(0, sub, 0);
    root->OutputPort()->Connect(2, scale, 0);
    return root;
  }
};

TEST_F(ProcessFileTest, EmptyRootIs476BytesWithUnlinkedOutputPort) {
  ProcModule root;
  const std::vector<std::uint8_t> bytes = Bytes(root);
  ASSERT_EQ(bytes.size(), 476u);
  EXPECT_EQ(LoadI32(&bytes[0]), 10003);
  EXPECT_EQ(LoadI32(&bytes[4]), 148);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[8])), "Module 0");
  EXPECT_EQ(LoadI32(&bytes[8 + 124]), 3);  // inputCount
  EXPECT_EQ(LoadI32(&bytes[8 + 128]), 3);  // outputCount
  EXPECT_EQ(LoadI32(&bytes[156]), 148);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[160])), "Through");
  EXPECT_EQ(LoadI32(&bytes[308]), 0);  // no children
  for (int k = 0; k < 3; ++k) EXPECT_EQ(LoadI32(&bytes[464 + 4 * k]), -999);
}

TEST_F(ProcessFileTest, LinkCodesOfSiblingsAndModuleInputs) {
  ProcModule root;
  AddChild(root, kTestSourceId);
  AddChild(root, kTestSourceId);
  auto* twoOutputs = AddChild<ProcModule>(root, kModuleProcessId);
  auto* sub = AddChild<ProcModule>(root, kModuleProcessId);
  sub->Connect(0, twoOutputs, 1);
  EXPECT_EQ(root.EncodeLink(sub->GetInputLink(0).source, sub->GetInputLink(0).sourceOutput), 201);
  auto* inner = AddChild(*sub, kTestScaleId);
  inner->Connect(0, sub->InputPort(), 0);
  EXPECT_EQ(sub->EncodeLink(inner->GetInputLink(0).source, 0), -100);
  EXPECT_EQ(sub->EncodeLink(&root, 0), -999);
  EXPECT_EQ(sub->DecodeLink(-101), ProcessLink{});
  EXPECT_EQ(sub->DecodeLink(-91), (ProcessLink{sub->InputPort(), 9}));
  EXPECT_EQ(sub->DecodeLink(5), (ProcessLink{inner, 5}));
  EXPECT_EQ(sub->DecodeLink(100), ProcessLink{});
}

TEST_F(ProcessFileTest, NestedGraphLoadsAndSavesBackByteForByte) {
  TempDir dir;
  std::unique_ptr<ProcModule> root = NestedGraph();
  const std::string path = dir.File("nested.knd");
  ASSERT_EQ(SaveProcessFile(root.get(), path), path);
  EXPECT_FALSE(root->IsModified());
  const std::vector<std::uint8_t> original = ReadFileBytes(path);
  root.reset();

  std::unique_ptr<ProcVirtual> loaded = LoadProcessFile(path);
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(loaded->IsModified());
  auto& module = dynamic_cast<ProcModule&>(*loaded);
  EXPECT_EQ(module.Name(), "ルート　グラフ");
  ASSERT_EQ(module.ChildCount(), 3);
  EXPECT_EQ(dynamic_cast<TestSource&>(*module.Child(0)).params.label, "ラベル");
  EXPECT_EQ(module.Child(0)->IconX(), 90);
  auto& sub = dynamic_cast<ProcModule&>(*module.Child(2));
  EXPECT_EQ(sub.GetInputLink(2).source, module.Child(1));
  EXPECT_EQ(sub.Child(0)->GetInputLink(1), (ProcessLink{sub.InputPort(), 2}));
  EXPECT_EQ(module.OutputPort()->GetInputLink(0).source, &sub);

  const std::string again = dir.File("again.knd");
  ASSERT_EQ(SaveProcessFile(loaded.get(), again), again);
  EXPECT_EQ(ReadFileBytes(again), original);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ProcessFileTest, EveryPrefixOfAFileIsRefusedWithoutCrashing) {
  TempDir dir;
  std::vector<std::uint8_t> whole;
  {
    std::unique_ptr<ProcModule> root = NestedGraph();
    whole = Bytes(*root);
  }
  const std::string path = dir.File("prefix.knd");
  for (std::size_t n = 0; n < whole.size(); ++n) {
    WriteFileBytes(path, std::vector<std::uint8_t>(whole.begin(), whole.begin() + n));
    host.ClearMessages();
    std::unique_ptr<ProcVirtual> loaded = LoadProcessFile(path);
    ASSERT_EQ(loaded, nullptr) << "prefix of " << n << " bytes";
    ASSERT_FALSE(Messages().empty()) << "prefix of " << n << " bytes";
    EXPECT_EQ(ProcModule::LiveModuleCount(), 0);
  }
  WriteFileBytes(path, whole);
  EXPECT_NE(LoadProcessFile(path), nullptr);
}

TEST_F(ProcessFileTest, CorruptCountsAreRefused) {
  TempDir dir;
  const std::string path = dir.File("corrupt.knd");
  std::vector<std::uint8_t> bytes;
  {
    ProcModule root;
    bytes = Bytes(root);
  }
  auto refused = [&](std::vector<std::uint8_t> file) {
    WriteFileBytes(path, file);
    host.ClearMessages();
    return LoadProcessFile(path) == nullptr && !Messages().empty();
  };
  std::vector<std::uint8_t> corrupt = bytes;
  StoreI32(&corrupt[308], -5);  // negative child count
  EXPECT_TRUE(refused(corrupt));
  corrupt = bytes;
  StoreI32(&corrupt[308], 0x7fffffff);  // a child count no file can hold
  EXPECT_TRUE(refused(corrupt));
  corrupt = bytes;
  StoreI32(&corrupt[4], -1);  // negative header size
  EXPECT_TRUE(refused(corrupt));
  corrupt = bytes;
  StoreI32(&corrupt[8 + 128], 11);  // more outputs than a process has
  EXPECT_TRUE(refused(corrupt));
  corrupt = bytes;
  StoreI32(&corrupt[0], 10032);  // undefined process ID
  EXPECT_TRUE(refused(corrupt));
  EXPECT_EQ(Messages().back(), "プロセスID=10032が定義されていません。");
}

TEST_F(ProcessFileTest, LongerRecordsAreSkippedAndShorterOnesKeepTheRest) {
  TestSource source(kTestSourceId);
  source.params.value = 7.5;
  source.params.frames = 4;
  MemoryStream stream;
  source.Save(stream);
  std::vector<std::uint8_t> bytes = stream.Bytes();
  const std::size_t record = 4 + 4 + 148;  // process ID, header size, header
  const std::int32_t paramSize = LoadI32(&bytes[record]);
  ASSERT_EQ(paramSize, 4 + 4 + 4 + 8 + 4 + 40);

  // Eight bytes more than the structure, then a trailing marker that must stay readable.
  std::vector<std::uint8_t> longer(bytes.begin(), bytes.begin() + record);
  std::vector<std::uint8_t> size(4);
  StoreI32(size.data(), paramSize + 8);
  longer.insert(longer.end(), size.begin(), size.end());
  longer.insert(longer.end(), bytes.begin() + record + 4, bytes.end());
  longer.insert(longer.end(), 8, 0xAB);
  longer.insert(longer.end(), {0x2A, 0, 0, 0});
  MemoryStream longStream(longer);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(longStream);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(dynamic_cast<TestSource&>(*loaded).params.frames, 4);
  EXPECT_EQ(ReadI32(longStream), 42);
  EXPECT_FALSE(longStream.Damaged());

  // Only the first 12 bytes stored: value, frames and label keep their defaults.
  std::vector<std::uint8_t> shorter(bytes.begin(), bytes.begin() + record);
  StoreI32(size.data(), 12);
  shorter.insert(shorter.end(), size.begin(), size.end());
  shorter.insert(shorter.end(), bytes.begin() + record + 4, bytes.begin() + record + 16);
  MemoryStream shortStream(shorter);
  loaded = CreateFromStream(shortStream);
  ASSERT_NE(loaded, nullptr);
  const auto& params = dynamic_cast<TestSource&>(*loaded).params;
  EXPECT_EQ(params.width, 4);
  EXPECT_EQ(params.value, 1.0);
  EXPECT_EQ(params.frames, 1);
  EXPECT_FALSE(shortStream.Damaged());
}

TEST_F(ProcessFileTest, HeaderKeepsNameCountsTypesAndIconPosition) {
  TestSource source(kTestSourceId);
  source.SetName(std::string(100, 'n'));
  source.SetIconPosition(130, 74);
  source.GetOutputType(0);
  MemoryStream stream;
  source.Save(stream);
  const std::vector<std::uint8_t>& bytes = stream.Bytes();
  EXPECT_EQ(bytes[8 + 99], 'n');  // a 100-byte name fills the field without terminator
  EXPECT_EQ(bytes[8 + 132], 2);   // cached output type
  stream.Seek(0);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Name(), std::string(100, 'n'));
  EXPECT_EQ(loaded->IconX(), 130);
  EXPECT_EQ(loaded->IconY(), 74);
  EXPECT_EQ(loaded->InputCount(), 0);
  EXPECT_EQ(loaded->OutputCount(), 1);
  EXPECT_EQ(loaded->CachedOutputType(0), 2);
  EXPECT_FALSE(loaded->IsModified());
}

// A module's editor is its dialog: a stored geometry it cannot take (no width or height) is
// written back as it was read, and one it takes comes back from the dialog.
TEST_F(ProcessFileTest, StoredDialogGeometryComesBackAsItWasRead) {
  std::vector<std::uint8_t> bytes;
  {
    ProcModule root;
    bytes = Bytes(root);
  }
  for (const std::array<std::int32_t, 4> geometry :
       {std::array{10, 20, 0, 300}, std::array{10, 20, 30, 0}, std::array{-5, 7, 640, 480}}) {
    for (int k = 0; k < 4; ++k) StoreI32(&bytes[8 + 108 + 4 * k], geometry[k]);
    MemoryStream stream(bytes);
    std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Bytes(*loaded), bytes) << geometry[2] << " x " << geometry[3];
  }
}

// The editor refuses a link from a process to its own output, and from a module's input to the
// module's output, but a file may hold them: they are kept, so the file saves back unchanged,
// and never followed, so a frame runs as it would with the inputs open.
TEST_F(ProcessFileTest, LinksToOwnOutputsAreKeptAndNotFollowed) {
  auto build = [](bool withSelfLinks) {
    auto root = std::make_unique<ProcModule>();
    AddChild(*root, kTestSourceId);
    auto* scale = AddChild(*root, kTestScaleId);
    auto* sub = AddChild<ProcModule>(*root, kModuleProcessId);
    auto* inner = AddChild(*sub, kTestScaleId);
    inner->Connect(0, sub->InputPort(), 0);
    sub->OutputPort()->Connect(0, inner, 0);
    if (withSelfLinks) {
      scale->Connect(0, scale, 0);
      sub->Connect(0, sub, 0);
    }
    root->OutputPort()->Connect(0, sub, 0);
    return root;
  };
  std::unique_ptr<ProcModule> root = build(true);
  const std::vector<std::uint8_t> bytes = Bytes(*root);
  EXPECT_EQ(LoadI32(&bytes[bytes.size() - 7 * 4]), 100);  // Scale reads its own output 0
  EXPECT_EQ(LoadI32(&bytes[bytes.size() - 6 * 4]), 200);  // the module input, its own output 0
  root.reset();

  MemoryStream stream(bytes);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream);
  ASSERT_NE(loaded, nullptr);
  auto& module = dynamic_cast<ProcModule&>(*loaded);
  EXPECT_EQ(module.Child(1)->GetInputLink(0), (ProcessLink{module.Child(1), 0}));
  EXPECT_EQ(module.Child(2)->GetInputLink(0), (ProcessLink{module.Child(2), 0}));
  EXPECT_EQ(Bytes(module), bytes);

  std::unique_ptr<ProcModule> open = build(false);
  std::vector<std::string> outcomes[2];
  for (int g = 0; g < 2; ++g) {
    ProcModule& graph = g == 0 ? module : *open;
    host.ClearMessages();
    ASSERT_EQ(graph.Reset(), 0);
    EXPECT_EQ(graph.Step(), 1);
    outcomes[g] = Messages();
    outcomes[g].push_back(graph.Child(1)->Status());
  }
  EXPECT_EQ(outcomes[0], outcomes[1]);
  EXPECT_EQ(outcomes[0].back(), "in?");
  // A process that reads only itself can still be deleted; so can such a module.
  module.OutputPort()->Disconnect(0);
  module.RemoveProcess(2);
  module.RemoveProcess(1);
  EXPECT_EQ(module.ChildCount(), 1);
}

TEST_F(ProcessFileTest, LongJapaneseNamesAreCutAtTheFieldAndSaveBackUnchanged) {
  // 101 bytes in cp932: the field ends in the middle of a double-byte character.
  TestScale p(kTestScaleId);
  p.SetName("a" + [] { std::string s; for (int i = 0; i < 50; ++i) s += "あ"; return s; }());
  MemoryStream first;
  p.Save(first);
  first.Seek(0);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(first);
  ASSERT_NE(loaded, nullptr);
  MemoryStream second;
  loaded->Save(second);
  EXPECT_EQ(first.Bytes(), second.Bytes());
}

TEST_F(ProcessFileTest, StoredPathsAreRelativeToTheProcessFileAndFollowAMove) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("project/img"));
  SetLastUsedDirectory(dir.File("project"));
  EXPECT_EQ(StoredPath(dir.File("project/img/a.png")), "img\\a.png");
  EXPECT_EQ(StoredPath(dir.File("other/b.png")), "..\\other\\b.png");
  EXPECT_EQ(StoredPath(""), "");
  SetLastUsedDirectory(dir.File("moved"));
  EXPECT_EQ(ResolvePath("img\\a.png"), dir.File("moved/img/a.png"));
  EXPECT_EQ(ResolvePath("img/a.png"), dir.File("moved/img/a.png"));
  EXPECT_EQ(ResolvePath("..\\x\\..\\c.png"), dir.File("c.png"));
  EXPECT_EQ(ResolvePath("/abs/d.png"), "/abs/d.png");
}

TEST_F(ProcessFileTest, LoadingAndSavingSetTheLastUsedDirectory) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("sub"));
  ProcModule root;
  ASSERT_FALSE(SaveProcessFile(&root, dir.File("sub/r.knd")).empty());
  EXPECT_EQ(LastUsedDirectory(), dir.File("sub"));
  SetLastUsedDirectory("/");
  EXPECT_NE(LoadProcessFile(dir.File("sub/r.knd")), nullptr);
  EXPECT_EQ(LastUsedDirectory(), dir.File("sub"));
}

TEST_F(ProcessFileTest, FileBoxesDecideEmptyPaths) {
  TempDir dir;
  ProcModule root;
  SetLastUsedDirectory(dir.Path());
  EXPECT_EQ(SaveProcessFile(&root, ""), "");  // cancelled
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  EXPECT_EQ(host.FileBoxesAsked()[0].filter, "Kandrel処理(*.knd)|*.knd");
  EXPECT_EQ(host.FileBoxesAsked()[0].initialName, dir.File("Module 0"));
  EXPECT_TRUE(host.FileBoxesAsked()[0].confirmOverwrite);
  host.QueueFileAnswer(dir.File("chosen.knd"));
  EXPECT_EQ(SaveProcessFile(&root, ""), dir.File("chosen.knd"));
  EXPECT_EQ(LoadProcessFile(""), nullptr);  // cancelled
  host.QueueFileAnswer(dir.File("chosen.knd"));
  EXPECT_NE(LoadProcessFile(""), nullptr);
  EXPECT_EQ(SaveProcessFile(nullptr, dir.File("x.knd")), "");
}

TEST_F(ProcessFileTest, AFailedSaveKeepsTheOldFileAndTheModifiedFlag) {
  TempDir dir;
  ProcModule root;
  const std::string path = dir.File("keep.knd");
  ASSERT_EQ(SaveProcessFile(&root, path), path);
  const std::vector<std::uint8_t> before = ReadFileBytes(path);
  root.SetName("changed");
  EXPECT_EQ(SaveProcessFile(&root, dir.File("missing/dir/keep.knd")), "");
  EXPECT_NE(host.LastMessage().find("missing/dir/keep.knd"), std::string::npos);
  EXPECT_TRUE(root.IsModified());
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(LoadProcessFile(dir.File("nothing.knd")), nullptr);
  EXPECT_NE(host.LastMessage().find("nothing.knd"), std::string::npos);
}

TEST_F(ProcessFileTest, UnknownChildStopsTheLoadAndReturnsThePartialModule) {
  MemoryStream stream;
  {
    ProcModule root;
    AddChild(root, kTestScaleId);
    AddChild(root, kTestSourceId);
    root.Save(stream);
  }
  std::vector<std::uint8_t> bytes = stream.Bytes();
  const std::size_t secondChild = 312 + 4 + 4 + 148;  // after the first child's record
  ASSERT_EQ(LoadI32(&bytes[secondChild]), kTestSourceId);
  StoreI32(&bytes[secondChild], 10033);
  MemoryStream corrupt(bytes);
  int loadResult = 0;
  std::unique_ptr<ProcVirtual> partial = CreateFromStream(corrupt, &loadResult);
  ASSERT_NE(partial, nullptr);
  EXPECT_EQ(loadResult, 1);
  EXPECT_EQ(dynamic_cast<ProcModule&>(*partial).ChildCount(), 1);
  EXPECT_EQ(host.LastMessage(), "プロセスID=10033が定義されていません。");
}

}  // namespace
}  // namespace kandrel::testing
