// The batch runner's contract: arguments, the tree description, exit codes, and byte-exact
// load-and-save. The bundled demo graph is checked against the graph it is meant to hold.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/batch_runner.h"
#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/pattern.h"
#include "image/picture.h"
#include "image/tiff_dump.h"
#include "io/read_file.h"
#include "io/save_file.h"
#include "process/catalogue.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

// Two stages of nested modules wired through their ports, siblings and the root's outputs.
std::unique_ptr<ProcModule> DemoGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Demo");
  auto* stageA = AddChild<ProcModule>(*root, kModuleProcessId);
  stageA->SetName("Stage A");
  auto* pass = AddChild<ProcModule>(*stageA, kModuleProcessId);
  pass->SetName("Pass");
  pass->Connect(0, stageA->InputPort(), 0);
  pass->OutputPort()->Connect(0, pass->InputPort(), 0);
  stageA->OutputPort()->Connect(0, pass, 0);
  stageA->OutputPort()->Connect(2, stageA->InputPort(), 1);
  auto* stageB = AddChild<ProcModule>(*root, kModuleProcessId);
  stageB->SetName("Stage B");
  stageB->SetInputCount(2);
  stageB->Connect(0, stageA, 0);
  stageB->Connect(1, stageA, 1);
  stageB->OutputPort()->Connect(0, stageB->InputPort(), 1);
  root->OutputPort()->Connect(0, stageB, 0);
  root->OutputPort()->Connect(1, stageA, 2);
  return root;
}

// The graph "make run" opens: three generated patterns (a grating, a zone plate and a contrast
// chart) as the red, green and blue of one picture, shown in YCrCb, in grey, at another size and
// in HSV. It needs no picture file.
std::unique_ptr<ProcModule> ShowcaseGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Demo");
  const int kinds[] = {ProcSineWave::kGrating, ProcSineWave::kZonePlate, ProcSineWave::kChart};
  const char* names[] = {"Red", "Green", "Blue"};
  ProcSineWave* patterns[3] = {};
  for (int c = 0; c < 3; ++c) {
    auto* pattern = AddChild<ProcSineWave>(*root, kSineWaveProcessId);
    pattern->SetName(names[c]);
    pattern->params.width = 256;
    pattern->params.height = 192;
    pattern->params.intOutput = 1;
    pattern->params.patternKind = kinds[c];
    pattern->params.cyclesPerWidth = 3.0;
    pattern->params.cyclesPerHeight = 2.0;
    pattern->SetIconPosition(40, 20 + 100 * c);
    patterns[c] = pattern;
  }
  ProcVirtual* mixer = AddChild(*root, k3chMixerProcessId);
  mixer->SetIconPosition(200, 120);
  for (int c = 0; c < 3; ++c) mixer->Connect(c, patterns[c], 0);
  const struct {
    int processId;
    int x, y;
  } stages[] = {{10017, 360, 20}, {10015, 360, 120}, {10051, 360, 220}};
  ProcVirtual* shown[3] = {};
  for (int i = 0; i < 3; ++i) {
    shown[i] = AddChild(*root, stages[i].processId);
    shown[i]->Connect(0, mixer, 0);
    shown[i]->SetIconPosition(stages[i].x, stages[i].y);
    root->OutputPort()->Connect(i, shown[i], 0);
  }
  ProcVirtual* resize = AddChild(*root, 10011);
  resize->Connect(0, shown[1], 0);
  resize->SetIconPosition(520, 120);
  return root;
}

class BatchTest : public KandrelTest {
 protected:
  int Run(std::vector<std::string> args, std::string* description = nullptr) {
    std::string error;
    const std::optional<BatchOptions> options = ParseBatchArguments(args, error);
    EXPECT_TRUE(options.has_value()) << error;
    if (!options) return -1;
    std::ostringstream out;
    const int result = RunBatch(*options, host, out);
    if (description != nullptr) *description = out.str();
    return result;
  }

  std::string Save(ProcVirtual& p, const std::string& name) {
    return SaveProcessFile(&p, dir.File(name));
  }

  TempDir dir;
};

TEST_F(BatchTest, ArgumentsAreCheckedBeforeAnythingRuns) {
  std::string error;
  EXPECT_FALSE(ParseBatchArguments({}, error));
  EXPECT_FALSE(ParseBatchArguments({"--frames", "-1", "a.knd"}, error));
  EXPECT_FALSE(ParseBatchArguments({"--frames", "two", "a.knd"}, error));
  EXPECT_FALSE(ParseBatchArguments({"a.knd", "--frames"}, error));
  EXPECT_FALSE(ParseBatchArguments({"--save"}, error));
  EXPECT_FALSE(ParseBatchArguments({"--fast", "a.knd"}, error));
  EXPECT_FALSE(ParseBatchArguments({"a.knd", "b.knd"}, error));
  EXPECT_FALSE(ParseBatchArguments({"a.knd", "--out"}, error));
  EXPECT_EQ(ParseBatchArguments({"--out", "d", "a.knd"}, error)->outDirectory, "d");
  EXPECT_EQ(ParseBatchArguments({"--verilog", "v.sv", "a.knd"}, error)->verilogTo, "v.sv");
  EXPECT_FALSE(ParseBatchArguments({"a.knd", "--verilog"}, error));
  const auto options = ParseBatchArguments({"--describe", "--frames", "0", "--save", "o.knd", "a.knd"}, error);
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->describe);
  EXPECT_EQ(options->frames, 0);
  EXPECT_EQ(options->saveTo, "o.knd");
  EXPECT_EQ(options->file, "a.knd");
  EXPECT_FALSE(ParseBatchArguments({"x.knd"}, error)->frames.has_value());
}

TEST_F(BatchTest, DescriptionIndentsModulesAndListsPortLinks) {
  std::unique_ptr<ProcModule> root = DemoGraph();
  AddChild(*root, kTestSourceId)->SetName("Src");
  EXPECT_EQ(DescribeTree(*root),
            "Demo [10003]\n"
            "  Stage A [10003] in=-999,-999,-999\n"
            "    Pass [10003] in=-100,-999,-999\n"
            "      out=-100,-999,-999\n"
            "    out=0,-999,-99\n"
            "  Stage B [10003] in=0,1\n"
            "    out=-99,-999,-999\n"
            "  Src [90001] in=\n"
            "  out=100,2,-999\n");
}

TEST_F(BatchTest, LoadAndSaveWithoutFramesReproducesTheFile) {
  std::unique_ptr<ProcModule> root = DemoGraph();
  AddChild(*root, kTestSourceId);
  const std::string in = Save(*root, "in.knd");
  root.reset();
  std::string description;
  EXPECT_EQ(Run({"--frames", "0", "--describe", "--save", dir.File("out.knd"), in}, &description), 0);
  EXPECT_EQ(description.rfind("Demo [10003]\n", 0), 0u);
  EXPECT_EQ(ReadFileBytes(dir.File("out.knd")), ReadFileBytes(in));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(BatchTest, ExitCodesTellFramesFromFiles) {
  EXPECT_EQ(Run({dir.File("absent.knd")}), kBatchBadInput);

  TestScale single(kTestScaleId);
  const std::string notModule = Save(single, "single.knd");
  host.ClearMessages();
  EXPECT_EQ(Run({notModule}), kBatchBadInput);
  EXPECT_EQ(host.LastMessage(), "最上位階層は親プロセスでなければいけません。");

  ProcModule failing;
  auto* source = AddChild(failing, kTestSourceId);
  AddChild(failing, kTestFailId)->Connect(0, source, 0);
  const std::string failPath = Save(failing, "fail.knd");
  EXPECT_EQ(Run({failPath}), kBatchFrameFailed);

  ProcModule still;
  AddChild(still, kTestSourceId);
  const std::string stillPath = Save(still, "still.knd");
  host.ClearMessages();
  // Asking for more frames than the graph's frame count raises the end point.
  EXPECT_EQ(Run({"--frames", "5", stillPath}), kBatchOk);
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Run({"--save", dir.File("no/such/dir/x.knd"), stillPath}), kBatchBadInput);
}

// Passes its input on for three frames, then fails: tells how many frames a run stepped.
class FailsAfterThreeFrames : public TestScale {
 public:
  static constexpr int kId = 90101;
  explicit FailsAfterThreeFrames(int processId) : TestScale(processId) {}
  int Process(const InputImages& inputs, OutputImages& outputs) override {
    return FrameCounter() >= 3 ? 1 : TestScale::Process(inputs, outputs);
  }
};

TEST_F(BatchTest, FramesDefaultToTheGraphsFrameCount) {
  Catalogue::Instance().Register(KindOf<FailsAfterThreeFrames>(FailsAfterThreeFrames::kId, "Fails"));
  ProcModule root;
  auto* source = AddChild<TestSource>(root, kTestSourceId);
  source->params.frames = 3;
  AddChild(root, FailsAfterThreeFrames::kId)->Connect(0, source, 0);
  const std::string path = Save(root, "three.knd");
  EXPECT_EQ(Run({path}), kBatchOk);
  EXPECT_EQ(Run({"--frames", "4", path}), kBatchFrameFailed);
  Catalogue::Instance().Unregister(FailsAfterThreeFrames::kId);
}

// Two readers of Int 1ch dumps, each through ToFloat, into an Adder that feeds output 1.
TEST_F(BatchTest, OutDumpsEveryFrameOfTheRootOutputsWithExactSums) {
  Int1Image a, b;
  a.Resize(3, 2);
  b.Resize(3, 2);
  const int first[] = {1, -2, 16777216, 7, 0, 100000};
  const int second[] = {2, 5, 1, -7, 3, 1};
  for (int i = 0; i < 6; ++i) {
    a.channels[0][i / 3][i % 3] = first[i];
    b.channels[0][i / 3][i % 3] = second[i];
  }
  ASSERT_EQ(SaveImageTIFF(a, dir.File("a.tif")), 0);
  ASSERT_EQ(SaveImageTIFF(b, dir.File("b.tif")), 0);
  std::string graph;
  {
    ProcModule root;
    ProcVirtual* sums[2];
    for (int k = 0; k < 2; ++k) {
      auto* reader = AddChild<ProcReadFile>(root, kReadFileProcessId);
      reader->SetFileName(dir.File(k == 0 ? "a.tif" : "b.tif"));
      sums[k] = AddChild(root, 10008);
      sums[k]->Connect(0, reader, 0);
    }
    ProcVirtual* adder = AddChild(root, 10022);
    adder->Connect(0, sums[0], 0);
    adder->Connect(1, sums[1], 0);
    root.OutputPort()->Connect(0, adder, 0);
    graph = Save(root, "sum.knd");
  }
  EXPECT_EQ(Run({"--frames", "2", "--out", dir.File("dumps/new"), graph}), kBatchOk);
  EXPECT_FALSE(std::filesystem::exists(OutputDumpPath(dir.File("dumps/new"), 2, 0)));
  for (int frame = 0; frame < 2; ++frame) {
    const std::string dump = OutputDumpPath(dir.File("dumps/new"), 1, frame);
    ASSERT_EQ(TIFFImageType(dump), kTypeFloat1) << dump;
    Float1Image sum;
    ASSERT_EQ(LoadImageTIFF(sum, dump), 0);
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(sum.channels[0][i / 3][i % 3],
                static_cast<float>(static_cast<float>(first[i]) + static_cast<float>(second[i])));
  }
  EXPECT_EQ(OutputDumpPath("d", 3, 12), "d/out3_0012.tif");

  // The real executable writes the same files.
  const std::string command = std::string(KANDREL_BINARY) + " --batch --frames 1 --out " +
                              dir.File("dumps/exe") + " " + graph + " 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(OutputDumpPath(dir.File("dumps/exe"), 1, 0)),
            ReadFileBytes(OutputDumpPath(dir.File("dumps/new"), 1, 0)));
  WriteFileBytes(dir.File("blocked"), {1});
  EXPECT_EQ(Run({"--out", dir.File("blocked/sub"), graph}), kBatchBadInput);
}

TEST_F(BatchTest, ASaverBesideTheGraphWritesWhatTheWindowWouldShow) {
  // A picture in colours a YCrCb round trip cannot blur, read, converted to YCrCb and saved as
  // BMP: the window converts back, so the BMP shows the original colours.
  const int colours[][3] = {{255, 0, 0}, {0, 200, 40}, {30, 60, 250}, {128, 128, 128}};
  QImage source(4, 2, QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) source.setPixel(x, y, qRgb(colours[x][0], colours[x][1], colours[x][2]));
  std::filesystem::create_directories(dir.File("made"));
  ASSERT_TRUE(source.save(QString::fromStdString(dir.File("made/in.png")), "PNG"));
  {
    ProcModule root;
    auto* reader = AddChild<ProcReadFile>(root, kReadFileProcessId);
    reader->SetFileName(dir.File("made/in.png"));
    ProcVirtual* toYCrCb = AddChild(root, 10017);
    toYCrCb->Connect(0, reader, 0);
    auto* saver = AddChild<ProcSaveFile>(root, kSaveFileProcessId);
    saver->params.fileName = dir.File("made/shown.png");
    saver->params.format = ProcSaveFile::kBmp;
    saver->Connect(0, toYCrCb, 0);
    ASSERT_FALSE(SaveProcessFile(&root, dir.File("made/graph.knd")).empty());
  }
  // Moved elsewhere with its picture, the graph reads and writes beside itself.
  std::filesystem::create_directories(dir.File("moved"));
  for (const char* name : {"graph.knd", "in.png"})
    std::filesystem::copy_file(dir.File(std::string("made/") + name), dir.File(std::string("moved/") + name));
  ASSERT_EQ(Run({"--frames", "1", dir.File("moved/graph.knd")}), kBatchOk);
  EXPECT_FALSE(std::filesystem::exists(dir.File("made/shown.bmp")));
  Picture written;
  ASSERT_TRUE(written.Load(dir.File("moved/shown.bmp")));
  ASSERT_EQ(written.Width(), 4);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(written.ScanLine(y)[4 * x + 2 - c], colours[x][c], 1) << x << "," << c;
}

// Modules nested level in level, each passing its inputs through to its outputs: the bytes of
// an empty module with its one child written in between.
std::vector<std::uint8_t> NestedModules(int depth) {
  std::vector<std::uint8_t> empty;
  {
    ProcModule module;
    MemoryStream stream;
    module.Save(stream);
    empty = stream.Bytes();
  }
  constexpr std::size_t kChildCount = 308, kOutPort = 312, kOutLinks = 464;
  std::vector<std::uint8_t> opening(empty.begin(), empty.begin() + kChildCount + 4);
  StoreI32(&opening[kChildCount], 1);
  std::vector<std::uint8_t> closing(empty.begin() + kOutPort, empty.begin() + kOutLinks);
  for (const std::int32_t code : {-100, -99, -98, 0, 1, 2}) {
    closing.resize(closing.size() + 4);
    StoreI32(&closing[closing.size() - 4], code);
  }
  std::vector<std::uint8_t> bytes;
  for (int i = 1; i < depth; ++i) bytes.insert(bytes.end(), opening.begin(), opening.end());
  bytes.insert(bytes.end(), empty.begin(), empty.end());
  for (int i = 1; i < depth; ++i) bytes.insert(bytes.end(), closing.begin(), closing.end());
  return bytes;
}

TEST_F(BatchTest, NestingUpToTheLimitRunsAndDeeperFilesAreRefused) {
  const std::string deepest = dir.File("deepest.knd");
  WriteFileBytes(deepest, NestedModules(kMaxModuleDepth));
  std::string description;
  ASSERT_EQ(
      Run({"--describe", "--frames", "2", "--save", dir.File("again.knd"), deepest}, &description),
      kBatchOk);
  EXPECT_EQ(std::count(description.begin(), description.end(), '\n'), 2 * kMaxModuleDepth);
  EXPECT_TRUE(description.ends_with("\n    out=0,1,2\n  out=0,1,2\n"));
  EXPECT_EQ(ReadFileBytes(dir.File("again.knd")), ReadFileBytes(deepest));
  EXPECT_TRUE(host.Messages().empty()) << host.LastMessage();

  // One level more, or a file far beyond, is refused at once with a message naming it.
  for (const int depth : {kMaxModuleDepth + 1, 50 * kMaxModuleDepth}) {
    const std::string path = dir.File("deeper.knd");
    WriteFileBytes(path, NestedModules(depth));
    host.ClearMessages();
    EXPECT_EQ(Run({"--frames", "1", path}), kBatchBadInput);
    ASSERT_FALSE(host.Messages().empty());
    EXPECT_EQ(host.Messages()[0],
              "ファイル " + path + " はモジュールの入れ子が1000階層を超えるため、読み込めません。");
    EXPECT_EQ(ProcModule::LiveModuleCount(), 0);
  }
}

TEST_F(BatchTest, BundledDemoHoldsTheDemoGraph) {
  const std::string demo = std::string(KANDREL_SOURCE_DIR) + "/examples/demo.knd";
  std::unique_ptr<ProcModule> root = DemoGraph();
  MemoryStream expected;
  root->Save(expected);
  // KANDREL_WRITE_DEMO=1 rewrites the bundled file after a deliberate change of the demo.
  if (std::getenv("KANDREL_WRITE_DEMO") != nullptr) WriteFileBytes(demo, expected.Bytes());
  EXPECT_EQ(ReadFileBytes(demo), expected.Bytes());
}

TEST_F(BatchTest, ShowcaseRunsWithoutAnyPicture) {
  const std::string showcase = std::string(KANDREL_SOURCE_DIR) + "/examples/showcase.knd";
  std::unique_ptr<ProcModule> root = ShowcaseGraph();
  MemoryStream expected;
  root->Save(expected);
  root.reset();
  if (std::getenv("KANDREL_WRITE_DEMO") != nullptr) WriteFileBytes(showcase, expected.Bytes());
  ASSERT_EQ(ReadFileBytes(showcase), expected.Bytes());

  // Copied anywhere alone, the graph runs and shows every stage.
  std::filesystem::copy_file(showcase, dir.File("showcase.knd"));
  std::string description;
  ASSERT_EQ(Run({"--describe", "--out", dir.File("out"), dir.File("showcase.knd")}, &description),
            kBatchOk);
  EXPECT_EQ(description,
            "Demo [10003]\n"
            "  Red [10019] in=\n"
            "  Green [10019] in=\n"
            "  Blue [10019] in=\n"
            "  Ch3Mixer [10024] in=0,100,200\n"
            "  RGB_YCrCb [10017] in=300\n"
            "  ToMono [10015] in=300\n"
            "  RGB_HSV [10051] in=300\n"
            "  Resize [10011] in=500\n"
            "  out=400,500,600\n");
  EXPECT_TRUE(host.Messages().empty()) << host.LastMessage();
  Int3Image shown;
  ASSERT_EQ(LoadImageTIFF(shown, OutputDumpPath(dir.File("out"), 1, 0)), 0);
  EXPECT_EQ(shown.Width(), 256);
  EXPECT_EQ(shown.Height(), 192);
}

}  // namespace
}  // namespace kandrel::testing
