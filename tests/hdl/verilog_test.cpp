// The Verilog text: names, ranges and cells; the worked example written out by hand; golden
// graphs whose text is kept beside them (KANDREL_WRITE_GOLDEN=1 rewrites both after a deliberate
// change), through the runner and the real executable; Icarus Verilog parsing the text of the
// graphs with ASCII names; the file's code page, its safe replacement and the runner's warning.
#include "hdl/verilog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "app/batch_runner.h"
#include "blocks/filter/convolution.h"
#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/frame_control.h"
#include "blocks/pixel/pattern.h"
#include "blocks/pixel/tone.h"
#include "io/save_file.h"
#include "process/catalogue.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {
namespace {

class VerilogTest : public KandrelTest {
 protected:
  TempDir dir;
};

TEST_F(VerilogTest, SuffixesRangesCellsAndModuleNames) {
  const struct {
    int type;
    const char *suffix, *range, *cell;
  } types[] = {{0, "", "", "Adder"},
               {1, "INT", "[ 7:0]", "Adder_INT"},
               {2, "FLT", "[31:0]", "Adder_FLT"},
               {3, "CMPLX", "[63:0]", "Adder_CMPLX"},
               {4, "INTx3", "[23:0]", "Adder_INTx3"},
               {5, "FLTx3", "[95:0]", "Adder_FLTx3"},
               {6, "CMPLXx3", "[191:0]", "Adder_CMPLXx3"},
               {7, "", "", "Adder"}};
  ProcAdder adder(kAdderProcessId);
  ProcSineWave pattern(kSineWaveProcessId);
  for (const auto& t : types) {
    EXPECT_EQ(VerilogTypeSuffix(t.type), t.suffix) << t.type;
    EXPECT_EQ(VerilogRange(t.type), t.range) << t.type;
    EXPECT_EQ(VerilogCellName(adder, t.type), t.cell) << t.type;
    EXPECT_EQ(VerilogCellName(pattern, t.type), "") << t.type;  // no cell
  }
  pattern.SetName("DCT 8x8.a+b");
  EXPECT_EQ(VerilogModuleName(pattern), "DCT_8x8_a+b");
  EXPECT_EQ(VerilogInstanceName(11), "Proc12");
  EXPECT_EQ(VerilogInputSync(2), "Ext_In3_Sync");
  EXPECT_EQ(VerilogOutputSync(0), "O1_Sync");
}

// Module 1, one input and one output, holding Filter5x5 fed by the module input (Int 1ch) and
// feeding the module output, as the text reads line by line.
TEST_F(VerilogTest, TheWorkedExampleIsWrittenAsDescribed) {
  HeldImages source;
  source.Hold(0, std::make_unique<Int1Image>()).Resize(4, 4);
  ProcModule module;
  module.SetName("Module 1");
  ASSERT_EQ(module.SetInputCount(1), 0);
  ASSERT_EQ(module.SetOutputCount(1), 0);
  module.Connect(0, &source, 0);
  ProcVirtual* filter = AddChild(module, kCustomFilter5x5ProcessId);
  filter->Connect(0, module.InputPort(), 0);
  module.OutputPort()->Connect(0, filter, 0);
  const std::string ports =
      "( input iPixClk,\r\n"
      "\t//ExtIn\r\n"
      "\t\tinput [ 7:0]\tExt_In1_INT,\r\n"
      "\t\tinput [ 2:0]\tExt_In1_Sync,\r\n"
      "\r\n"
      "\t//ExtOut\r\n"
      "\t\toutput [ 7:0]\tO1_INT,\r\n"
      "\t\toutput [ 2:0]\tO1_Sync\r\n"
      "\r\n"
      "\t);\r\n"
      "\r\n";
  const std::string footer = "endmodule\r\n//" + std::string(58, '-') + "\r\n\r\n";
  const std::string expected =
      "//==========================================================\r\n"
      "//\tKandrel Auto Generation\r\n"
      "//==========================================================\r\n"
      "\r\n"
      "module Module_1" + ports +
      "\tFilter5x5\r\n"
      "\t\tProc1( iPixClk,\r\n"
      "\t\t\t//In\r\n"
      "\t\t\t\tExt_In1_INT,\r\n"
      "\t\t\t\tExt_In1_Sync,\r\n"
      "\t\t\t//Out\r\n"
      "\t\t\t\tProc1_O1_INT,\r\n"
      "\t\t\t\tProc1_O1_Sync\r\n"
      "\t\t\t);\r\n"
      "\t\t\twire [ 7:0]\tProc1_O1_INT;\r\n"
      "\t\t\twire [ 2:0]\tProc1_O1_Sync;\r\n"
      "\r\n"
      "\t//ExtOut\r\n"
      "\tassign O1_INT\t= Proc1_O1_INT;\r\n"
      "\tassign O1_Sync\t= Proc1_O1_Sync;\r\n"
      "\r\n" + footer +
      "module Filter5x5" + ports +
      "\tFirFilter5x5_INT\tProc1( iPixClk, \r\n"
      "\t\t\t//In\r\n"
      "\t\t\t\tExt_In1_INT,\r\n"
      "\t\t\t\tExt_In1_Sync,\r\n"
      "\t\t\t//Out\r\n"
      "\t\t\t\tO1_INT,\r\n"
      "\t\t\t\tO1_Sync\r\n"
      "\t\t\t);\r\n"
      "\t\tdefparam\r\n"
      "\t\t\tProc1.scale = 25,\r\n"
      "\t\t\tProc1.coef = '{\r\n"
      "\t\t\t\t1,1,1,1,1,\r\n"
      "\t\t\t\t1,1,1,1,1,\r\n"
      "\t\t\t\t1,1,1,1,1,\r\n"
      "\t\t\t\t1,1,1,1,1,\r\n"
      "\t\t\t\t1,1,1,1,1\r\n"
      "\t\t\t};\r\n" + footer;
  EXPECT_EQ(VerilogText(module), expected);
  module.Disconnect(0);
}

// The commas of port lists that end early: no outputs, or no ports at all.
TEST_F(VerilogTest, TheLastPortLineHasNoComma) {
  ProcSaveFile saver(kSaveFileProcessId);
  std::string text;
  WriteVerilogHeader(saver, text);
  EXPECT_NE(text.find("( input iPixClk,\r\n\t//ExtIn\r\n\t\tinput \tExt_In1_,\r\n"
                      "\t\tinput [ 2:0]\tExt_In1_Sync\r\n\r\n\t//ExtOut\r\n\t);\r\n\r\n"),
            std::string::npos)
      << text;
  ProcModule bare;
  ASSERT_EQ(bare.SetInputCount(0), 0);
  ASSERT_EQ(bare.SetOutputCount(0), 0);
  bare.SetName("Bare");
  auto* inner = AddChild<ProcModule>(bare, kModuleProcessId);
  inner->SetName("Inner");
  ASSERT_EQ(inner->SetInputCount(0), 0);
  ASSERT_EQ(inner->SetOutputCount(0), 0);
  text.clear();
  WriteVerilogModule(bare, text);
  EXPECT_EQ(text.rfind("module Bare( input iPixClk\r\n\t//ExtIn\r\n\t//ExtOut\r\n", 0), 0u);
  // The instance of a child without ports.
  EXPECT_NE(text.find("\tInner\r\n\t\tProc1( iPixClk\r\n\t\t\t//In\r\n\t\t\t//Out\r\n"),
            std::string::npos);
}

// ---- Golden graphs

ProcSineWave* AddPattern(ProcModule& module, const char* name, int kind, bool ints) {
  auto* pattern = AddChild<ProcSineWave>(module, kSineWaveProcessId);
  pattern->SetName(name);
  pattern->params.width = 16;
  pattern->params.height = 8;
  pattern->params.intOutput = ints ? 1 : 0;
  pattern->params.patternKind = kind;
  return pattern;
}

// A module with the ports its graph uses, no more: the texts stay short.
std::unique_ptr<ProcModule> ModuleWithPorts(const char* name, int inputs, int outputs) {
  auto module = std::make_unique<ProcModule>();
  module->SetName(name);
  EXPECT_EQ(module->SetInputCount(inputs) | module->SetOutputCount(outputs), 0);
  return module;
}

// A pattern through a module that holds a contrast and a module with an absolute value.
std::unique_ptr<ProcModule> NestedGraph() {
  auto root = ModuleWithPorts("Nested", 0, 1);
  ProcSineWave* plate = AddPattern(*root, "Plate", ProcSineWave::kZonePlate, true);
  auto* stage = AddChild<ProcModule>(*root, kModuleProcessId);
  stage->SetName("Stage 1");
  EXPECT_EQ(stage->SetInputCount(1) | stage->SetOutputCount(2), 0);
  stage->Connect(0, plate, 0);
  ProcVirtual* contrast = AddChild(*stage, kContrastProcessId);
  contrast->Connect(0, stage->InputPort(), 0);
  auto* inner = AddChild<ProcModule>(*stage, kModuleProcessId);
  inner->SetName("Inner.2");
  EXPECT_EQ(inner->SetInputCount(1) | inner->SetOutputCount(1), 0);
  inner->Connect(0, contrast, 0);
  ProcVirtual* abs = AddChild(*inner, kAbsProcessId);
  abs->Connect(0, inner->InputPort(), 0);
  inner->OutputPort()->Connect(0, abs, 0);
  stage->OutputPort()->Connect(0, inner, 0);
  stage->OutputPort()->Connect(1, contrast, 0);
  root->OutputPort()->Connect(0, stage, 0);
  return root;
}

// An adder whose output goes nowhere, in a module whose outputs are all unfed.
std::unique_ptr<ProcModule> UnfedGraph() {
  auto root = ModuleWithPorts("Unfed", 0, 1);
  ProcSineWave* a = AddPattern(*root, "A", ProcSineWave::kGrating, true);
  ProcSineWave* b = AddPattern(*root, "B", ProcSineWave::kChart, true);
  ProcVirtual* adder = AddChild(*root, kAdderProcessId);
  adder->Connect(0, a, 0);
  adder->Connect(1, b, 0);
  return root;
}

// A saving process, which has no outputs.
std::unique_ptr<ProcModule> SaverGraph() {
  auto root = ModuleWithPorts("Saver", 0, 0);
  ProcSineWave* plate = AddPattern(*root, "Plate", ProcSineWave::kZonePlate, false);
  auto* saver = AddChild<ProcSaveFile>(*root, kSaveFileProcessId);
  saver->params.fileName = "plate";
  saver->params.format = ProcSaveFile::kTiff;
  saver->Connect(0, plate, 0);
  return root;
}

// Names with spaces, dots and a character no identifier holds.
std::unique_ptr<ProcModule> NamesGraph() {
  auto root = ModuleWithPorts("Name test 1.0", 0, 1);
  ProcSineWave* plate = AddPattern(*root, "Zone plate v1.2", ProcSineWave::kZonePlate, true);
  ProcVirtual* gamma = AddChild(*root, kGammaProcessId);
  gamma->SetName("Gamma+Contrast");
  gamma->Connect(0, plate, 0);
  root->OutputPort()->Connect(0, gamma, 0);
  return root;
}

// Two Float 3ch pictures added: the adder's cell takes a 96-bit bus.
std::unique_ptr<ProcModule> FloatAdderGraph() {
  auto root = ModuleWithPorts("FloatAdder", 0, 1);
  ProcVirtual* mixers[2] = {};
  for (int m = 0; m < 2; ++m) {
    ProcSineWave* pattern = AddPattern(*root, m == 0 ? "Plate" : "Chart", 2 + m, false);
    mixers[m] = AddChild(*root, k3chMixerProcessId);
    mixers[m]->SetName(m == 0 ? "Mix1" : "Mix2");
    for (int c = 0; c < 3; ++c) mixers[m]->Connect(c, pattern, 0);
  }
  ProcVirtual* adder = AddChild(*root, kAdderProcessId);
  adder->Connect(0, mixers[0], 0);
  adder->Connect(1, mixers[1], 0);
  root->OutputPort()->Connect(0, adder, 0);
  return root;
}

// A loop through a frame buffer: the adder reads the buffer, a later child, so a wire is used
// above its declaration.
std::unique_ptr<ProcModule> LaterChildGraph() {
  auto root = ModuleWithPorts("LaterChild", 0, 1);
  ProcSineWave* one = AddPattern(*root, "One", ProcSineWave::kFlat, true);
  one->params.flatValue = 1;
  ProcVirtual* adder = AddChild(*root, kAdderProcessId);
  auto* count = AddChild<ProcFrameBuffer>(*root, kFrameBufferProcessId);
  count->params = {kTypeInt1, 16, 8, 0.0};
  adder->Connect(0, count, 0);
  adder->Connect(1, one, 0);
  count->Connect(0, adder, 0);
  root->OutputPort()->Connect(0, count, 0);
  return root;
}

// Two adders of one name: two module definitions of one name.
std::unique_ptr<ProcModule> TwinsGraph() {
  auto root = ModuleWithPorts("Twins", 0, 2);
  ProcSineWave* a = AddPattern(*root, "A", ProcSineWave::kGrating, true);
  for (int k = 0; k < 2; ++k) {
    ProcVirtual* adder = AddChild(*root, kAdderProcessId);
    adder->Connect(0, a, 0);
    adder->Connect(1, a, 0);
    root->OutputPort()->Connect(k, adder, 0);
  }
  return root;
}

struct Golden {
  const char* name;
  std::unique_ptr<ProcModule> (*build)();
  bool parses;  // every module name is an identifier of its own
};
const Golden kGoldens[] = {
    {"nested", NestedGraph, true},        {"unfed", UnfedGraph, true},
    {"saver", SaverGraph, true},          {"names", NamesGraph, false},
    {"float_adder", FloatAdderGraph, true}, {"later_child", LaterChildGraph, true},
    {"twins", TwinsGraph, false},
};

std::string GoldenFile(const std::string& name) {
  return std::string(KANDREL_SOURCE_DIR) + "/tests/golden/verilog/" + name;
}

std::string Contents(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

// Empty modules for the cells a text instantiates, each with as many ports as its instance.
std::string CellStubs(const std::string& text) {
  std::map<std::string, int> cells;
  std::istringstream lines(text);
  std::string line, cell;
  int connections = -1;
  const std::regex instance("^\t(\\w+)\tProc1\\( iPixClk, \r$");
  for (std::smatch match; std::getline(lines, line);) {
    if (std::regex_match(line, match, instance)) {
      cell = match[1];
      connections = 0;
    } else if (connections >= 0 && line == "\t\t\t);\r") {
      cells[cell] = connections;
      connections = -1;
    } else if (connections >= 0 && line.rfind("\t\t\t\t", 0) == 0) {
      ++connections;
    }
  }
  std::string stubs;
  for (const auto& [name, ports] : cells) {
    stubs += "module " + name + "(input iPixClk";
    for (int p = 0; p < ports; ++p) stubs += ", inout [191:0] p" + std::to_string(p);
    stubs += "); endmodule\n";
  }
  return stubs;
}

class VerilogGoldenTest : public VerilogTest {
 protected:
  // The graph saved and run for a frame in a folder of its own; the text the runner wrote.
  std::string RunGolden(const Golden& golden, int& result) {
    std::unique_ptr<ProcModule> root = golden.build();
    const std::string graph = dir.File(std::string(golden.name) + ".knd");
    EXPECT_EQ(SaveProcessFile(root.get(), graph), graph);
    root.reset();
    std::string error;
    const auto options = ParseBatchArguments(
        {"--frames", "1", "--verilog", dir.File(std::string(golden.name) + ".sv"), graph}, error);
    std::ostringstream out;
    result = RunBatch(*options, host, out);
    return Contents(dir.File(std::string(golden.name) + ".sv"));
  }
};

TEST_F(VerilogGoldenTest, GoldenGraphsGiveTheirTextThroughRunnerAndExecutable) {
  const bool rewrite = std::getenv("KANDREL_WRITE_GOLDEN") != nullptr;
  for (const Golden& golden : kGoldens) {
    SCOPED_TRACE(golden.name);
    host.ClearMessages();
    int result = -1;
    const std::string text = RunGolden(golden, result);
    EXPECT_EQ(result, kBatchOk);
    const std::string graph = dir.File(std::string(golden.name) + ".knd");
    if (rewrite) {
      std::filesystem::copy_file(graph, GoldenFile(std::string(golden.name) + ".knd"),
                                 std::filesystem::copy_options::overwrite_existing);
      WriteFileBytes(GoldenFile(std::string(golden.name) + ".sv"),
                     std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    EXPECT_EQ(ReadFileBytes(graph), ReadFileBytes(GoldenFile(std::string(golden.name) + ".knd")));
    EXPECT_EQ(text, Contents(GoldenFile(std::string(golden.name) + ".sv")));
    EXPECT_EQ(text.find("\xEF\xBB\xBF"), std::string::npos);  // no byte-order mark

    // The executable, on a copy of the stored graph, writes the same bytes.
    const std::string copy = dir.File(std::string("exe_") + golden.name + ".knd");
    std::filesystem::copy_file(GoldenFile(std::string(golden.name) + ".knd"), copy);
    const std::string sv = dir.File(std::string("exe_") + golden.name + ".sv");
    const std::string command = std::string(KANDREL_BINARY) + " --batch --frames 1 --verilog " +
                                sv + " " + copy + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(Contents(sv), text);
    // Before any frame, inference gives these graphs the same types.
    const std::string unrun = std::string(KANDREL_BINARY) + " --batch --frames 0 --verilog " +
                              sv + " " + copy + " 2>/dev/null";
    EXPECT_EQ(std::system(unrun.c_str()), 0);
    EXPECT_EQ(Contents(sv), text);

    if (!golden.parses) continue;
    const std::string stubs = dir.File(std::string(golden.name) + "_cells.v");
    const std::string cells = CellStubs(text);
    WriteFileBytes(stubs, std::vector<std::uint8_t>(cells.begin(), cells.end()));
    const std::string parse = "iverilog -g2012 -o /dev/null " + dir.File(std::string(golden.name) + ".sv") +
                              " " + stubs + " 2>" + dir.File("iverilog.log");
    EXPECT_EQ(std::system(parse.c_str()), 0) << Contents(dir.File("iverilog.log"));
  }
}

// What each golden graph is there to show, read off its text.
TEST_F(VerilogGoldenTest, TheGoldenTextsShowTheirCases) {
  const auto text = [](const char* name) { return Contents(GoldenFile(std::string(name) + ".sv")); };
  const std::string unfed = text("unfed");
  EXPECT_NE(unfed.find("\t//ExtOut\r\nendmodule"), std::string::npos);  // nothing assigned
  EXPECT_NE(unfed.find("\t\t\t\tProc3_O1_Sync\r\n\t\t\t);"), std::string::npos);
  const std::string saver = text("saver");
  EXPECT_NE(saver.find("\t\tinput [ 2:0]\tExt_In1_Sync\r\n\r\n\t//ExtOut\r\n\t);"), std::string::npos);
  EXPECT_NE(saver.find("\t// Under construction..."), std::string::npos);
  EXPECT_NE(text("names").find("module Zone_plate_v1_2("), std::string::npos);
  EXPECT_NE(text("names").find("module Gamma+Contrast("), std::string::npos);
  EXPECT_NE(text("float_adder").find("\tAdder_FLTx3\tProc1( iPixClk, "), std::string::npos);
  EXPECT_NE(text("float_adder").find("\t\toutput [95:0]\tO1_FLTx3"), std::string::npos);
  const std::string later = text("later_child");
  EXPECT_LT(later.find("\t\t\t\tProc3_O1_INT,"), later.find("\twire [ 7:0]\tProc3_O1_INT;"));
  const std::string nested = text("nested");
  EXPECT_LT(nested.find("module Stage_1("), nested.find("module Contrast("));
  EXPECT_LT(nested.find("module Contrast("), nested.find("module Inner_2("));
  EXPECT_LT(nested.find("module Inner_2("), nested.find("module Abs("));
}

TEST_F(VerilogGoldenTest, RepeatedModuleNamesAreWarnedAboutWithTheTextUnchanged) {
  int result = -1;
  const Golden& twins = kGoldens[6];
  ASSERT_STREQ(twins.name, "twins");
  const std::string text = RunGolden(twins, result);
  EXPECT_EQ(result, kBatchOk);
  EXPECT_EQ(text, Contents(GoldenFile("twins.sv")));
  EXPECT_EQ(Messages(), std::vector<std::string>{"kandrel: warning: " + dir.File("twins.sv") +
                                                 " defines more than one module named Adder"});
}

TEST_F(VerilogTest, TheFileIsCp932AndReplacesTheOldOneOnlyWhenComplete) {
  ProcModule module;
  module.SetName("加算");
  const std::string path = dir.File("m.sv");
  ASSERT_EQ(SaveVerilogFile(module, path), path);
  const std::string bytes = Contents(path);
  EXPECT_NE(bytes.find("module \x89\xC1\x8E\x5A( input iPixClk,\r\n"), std::string::npos);
  EXPECT_EQ(bytes.rfind("//", 0), 0u);

  // A file that cannot be written keeps the one that was there and names itself.
  std::filesystem::create_directories(path + ".saving");
  module.SetName("Other");
  EXPECT_EQ(SaveVerilogFile(module, path), "");
  EXPECT_EQ(Contents(path), bytes);
  ASSERT_FALSE(Messages().empty());
  EXPECT_EQ(Messages().back().rfind("ファイル " + path + " に書き込めません。", 0), 0u);
  // The runner says so with its exit status.
  const std::string graph = dir.File("g.knd");
  ASSERT_EQ(SaveProcessFile(&module, graph), graph);
  std::string error;
  const auto options = ParseBatchArguments({"--frames", "0", "--verilog", path, graph}, error);
  std::ostringstream out;
  EXPECT_EQ(RunBatch(*options, host, out), kBatchBadInput);
  EXPECT_EQ(Contents(path), bytes);

  // Asked for a name, the box proposes the module's.
  host.QueueFileAnswer(std::nullopt);
  EXPECT_EQ(SaveVerilogFile(module, ""), "");
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  EXPECT_EQ(std::filesystem::path(host.FileBoxesAsked()[0].initialName).filename(), "Other.sv");
  EXPECT_EQ(host.FileBoxesAsked()[0].filter, "Kandrel処理(*.sv)|*.sv");
  EXPECT_TRUE(host.FileBoxesAsked()[0].confirmOverwrite);
}

}  // namespace
}  // namespace kandrel::testing
