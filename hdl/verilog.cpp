#include "hdl/verilog.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "process/proc_module.h"
#include "process/process_file.h"
#include "process/replace_file.h"
#include "process/text_codec.h"

namespace kandrel {

namespace {

constexpr const char* kSuffixes[] = {"", "INT", "FLT", "CMPLX", "INTx3", "FLTx3", "CMPLXx3"};
constexpr int kBusBits[] = {0, 8, 32, 64, 24, 96, 192};

bool IsKnownType(int type) { return type >= 1 && type <= kImageTypeCount; }

// The last connection of a port list never ends with a comma.
void DropFinalComma(std::string& line) {
  const std::size_t comma = line.rfind(',');
  if (comma != std::string::npos) line.erase(comma, 1);
}

// The signal that feeds input i of x inside m, or of m's output port: a port of m, the output
// wire of the child that produces it, or nothing when the input is not fed from inside m.
std::string FeedingSignal(ProcModule& m, const ProcVirtual& x, int i, bool sync) {
  const ProcessLink link = x.GetInputLink(i);
  if (link.source == nullptr) return {};
  if (link.source == m.InputPort())
    return sync ? VerilogInputSync(link.sourceOutput) : VerilogInputPort(m, link.sourceOutput);
  for (int q = 0; q < m.ChildCount(); ++q) {
    if (m.Child(q) != link.source) continue;
    return VerilogInstanceName(q) + "_" +
           (sync ? VerilogOutputSync(link.sourceOutput)
                 : VerilogOutputPort(*link.source, link.sourceOutput));
  }
  return {};
}

// Child k of m instantiated as Proc(k + 1) and wired, with the wires of its outputs.
void WriteChildInstance(ProcModule& m, int k, VerilogLines& lines) {
  ProcVirtual& child = *m.Child(k);
  const std::string instance = VerilogInstanceName(k);
  lines.push_back("\t" + VerilogModuleName(child));
  lines.push_back("\t\t" + instance + "( iPixClk,");
  std::size_t lastConnection = lines.size() - 1;
  lines.push_back("\t\t\t//In");
  for (int i = 0; i < child.InputCount(); ++i) {
    lines.push_back("\t\t\t\t" + FeedingSignal(m, child, i, false) + ",");
    lines.push_back("\t\t\t\t" + FeedingSignal(m, child, i, true) + ",");
    lastConnection = lines.size() - 1;
  }
  lines.push_back("\t\t\t//Out");
  for (int j = 0; j < child.OutputCount(); ++j) {
    lines.push_back("\t\t\t\t" + instance + "_" + VerilogOutputPort(child, j) + ",");
    lines.push_back("\t\t\t\t" + instance + "_" + VerilogOutputSync(j) + ",");
    lastConnection = lines.size() - 1;
  }
  DropFinalComma(lines[lastConnection]);
  lines.push_back("\t\t\t);");
  for (int j = 0; j < child.OutputCount(); ++j) {
    lines.push_back("\t\t\twire " + VerilogOutputRange(child, j) + "\t" + instance + "_" +
                    VerilogOutputPort(child, j) + ";");
    lines.push_back("\t\t\twire [ 2:0]\t" + instance + "_" + VerilogOutputSync(j) + ";");
  }
  lines.emplace_back();
}

void WriteModuleOfModule(ProcModule& m, VerilogLines& lines) {
  WriteVerilogHeader(m, lines);
  for (int k = 0; k < m.ChildCount(); ++k) WriteChildInstance(m, k, lines);
  lines.push_back("\t//ExtOut");
  ProcThrough& outputs = *m.OutputPort();
  for (int j = 0; j < m.OutputCount(); ++j) {
    if (outputs.GetInputLink(j).source == nullptr) continue;
    lines.push_back("\tassign " + VerilogOutputPort(m, j) + "\t= " +
                    FeedingSignal(m, outputs, j, false) + ";");
    lines.push_back("\tassign " + VerilogOutputSync(j) + "\t= " +
                    FeedingSignal(m, outputs, j, true) + ";");
    lines.emplace_back();
  }
  WriteVerilogFooter(lines);
  for (int k = 0; k < m.ChildCount(); ++k) WriteVerilogModule(*m.Child(k), lines);
}

void CollectModuleNames(ProcVirtual& p, std::vector<std::string>& names) {
  names.push_back(VerilogModuleName(p));
  if (auto* module = dynamic_cast<ProcModule*>(&p))
    for (int k = 0; k < module->ChildCount(); ++k) CollectModuleNames(*module->Child(k), names);
}

}  // namespace

std::string VerilogTypeSuffix(int type) { return IsKnownType(type) ? kSuffixes[type] : ""; }

std::string VerilogRange(int type) {
  if (!IsKnownType(type)) return {};
  char range[16];
  std::snprintf(range, sizeof range, "[%2d:0]", kBusBits[type] - 1);
  return range;
}

std::string VerilogModuleName(const ProcVirtual& p) {
  std::string name = p.Name();
  std::replace_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '.'; }, '_');
  return name;
}

std::string VerilogInputPort(ProcVirtual& p, int i) {
  return "Ext_In" + std::to_string(i + 1) + "_" + VerilogTypeSuffix(p.GetInputType(i));
}

std::string VerilogOutputPort(ProcVirtual& p, int j) {
  return "O" + std::to_string(j + 1) + "_" + VerilogTypeSuffix(p.GetOutputType(j));
}

std::string VerilogInputSync(int i) { return "Ext_In" + std::to_string(i + 1) + "_Sync"; }
std::string VerilogOutputSync(int j) { return "O" + std::to_string(j + 1) + "_Sync"; }
std::string VerilogInputRange(ProcVirtual& p, int i) { return VerilogRange(p.GetInputType(i)); }
std::string VerilogOutputRange(ProcVirtual& p, int j) { return VerilogRange(p.GetOutputType(j)); }

std::string VerilogCellName(const ProcVirtual& p, int type) {
  if (p.VerilogName().empty()) return {};
  static constexpr const char* kElements[] = {"", "_INT", "_FLT", "_CMPLX"};
  if (!IsKnownType(type)) return p.VerilogName();
  const bool threeChannels = type > 3;
  return p.VerilogName() + kElements[threeChannels ? type - 3 : type] + (threeChannels ? "x3" : "");
}

std::string VerilogInstanceName(int k) { return "Proc" + std::to_string(k + 1); }

void WriteVerilogHeader(ProcVirtual& p, VerilogLines& lines) {
  lines.push_back("module " + VerilogModuleName(p) + "( input iPixClk,");
  std::size_t lastPort = lines.size() - 1;
  lines.push_back("\t//ExtIn");
  for (int i = 0; i < p.InputCount(); ++i) {
    lines.push_back("\t\tinput " + VerilogInputRange(p, i) + "\t" + VerilogInputPort(p, i) + ",");
    lines.push_back("\t\tinput [ 2:0]\t" + VerilogInputSync(i) + ",");
    lastPort = lines.size() - 1;
    lines.emplace_back();
  }
  lines.push_back("\t//ExtOut");
  for (int j = 0; j < p.OutputCount(); ++j) {
    lines.push_back("\t\toutput " + VerilogOutputRange(p, j) + "\t" + VerilogOutputPort(p, j) +
                    ",");
    lines.push_back("\t\toutput [ 2:0]\t" + VerilogOutputSync(j) + ",");
    lastPort = lines.size() - 1;
    lines.emplace_back();
  }
  DropFinalComma(lines[lastPort]);
  lines.push_back("\t);\r\n");
}

void WriteVerilogBody(ProcVirtual& p, VerilogLines& lines) {
  const std::string cell = VerilogCellName(p, p.GetOutputType(0));
  if (cell.empty()) {
    lines.push_back("\t//-----------------------");
    lines.push_back("\t// Under construction...");
    lines.push_back("\t//-----------------------");
    return;
  }
  const std::string instance = VerilogInstanceName(0);
  lines.push_back("\t" + cell + "\t" + instance + "( iPixClk, ");
  std::size_t lastConnection = lines.size() - 1;
  lines.push_back("\t\t\t//In");
  for (int i = 0; i < p.InputCount(); ++i) {
    lines.push_back("\t\t\t\t" + VerilogInputPort(p, i) + ",");
    lines.push_back("\t\t\t\t" + VerilogInputSync(i) + ",");
    lastConnection = lines.size() - 1;
  }
  lines.push_back("\t\t\t//Out");
  for (int j = 0; j < p.OutputCount(); ++j) {
    lines.push_back("\t\t\t\t" + VerilogOutputPort(p, j) + ",");
    lines.push_back("\t\t\t\t" + VerilogOutputSync(j) + ",");
    lastConnection = lines.size() - 1;
  }
  DropFinalComma(lines[lastConnection]);
  lines.push_back("\t\t\t);");
  p.WriteVerilogParams(lines, instance);
}

void WriteVerilogFooter(VerilogLines& lines) {
  lines.push_back("endmodule");
  lines.push_back("//" + std::string(58, '-') + "\r\n");
}

void WriteVerilogModule(ProcVirtual& p, VerilogLines& lines) {
  if (auto* module = dynamic_cast<ProcModule*>(&p)) {
    WriteModuleOfModule(*module, lines);
    return;
  }
  WriteVerilogHeader(p, lines);
  WriteVerilogBody(p, lines);
  WriteVerilogFooter(lines);
}

void WriteVerilogFileHeader(VerilogLines& lines) {
  const std::string rule = "//" + std::string(58, '=');
  lines.push_back(rule);
  lines.push_back("//\tKandrel Auto Generation");
  lines.push_back(rule + "\r\n");
}

std::string VerilogText(ProcModule& m) {
  VerilogLines lines;
  WriteVerilogFileHeader(lines);
  WriteVerilogModule(m, lines);
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) text.append(line).append("\r\n");
  return text;
}

std::vector<std::string> RepeatedVerilogModuleNames(ProcModule& m) {
  std::vector<std::string> names;
  CollectModuleNames(m, names);
  std::unordered_map<std::string, int> counts;
  for (const std::string& name : names) ++counts[name];
  std::vector<std::string> repeated;
  for (const std::string& name : names) {
    int& count = counts[name];
    if (count > 1) repeated.push_back(name);
    count = 0;  // listed once
  }
  return repeated;
}

std::string SaveVerilogFile(ProcModule& m, const std::string& requestedPath) {
  std::string path = requestedPath;
  if (path.empty()) {
    FileBoxRequest request;
    request.filter = "Kandrel処理(*.sv)|*.sv";
    request.defaultExtension = "sv";
    request.initialDirectory = LastUsedDirectory();
    request.initialName =
        (std::filesystem::path(LastUsedDirectory()) / (VerilogModuleName(m) + ".sv")).string();
    request.confirmOverwrite = true;
    std::optional<std::string> chosen = GetHost().AskSaveFile(request);
    if (!chosen) return {};
    path = *chosen;
  }
  const std::string bytes = EncodeCp932(VerilogText(m));
  std::string error;
  const auto write = [&bytes](ByteStream& file) {
    file.Write(bytes.data(), bytes.size());
    return true;
  };
  if (!ReplaceFile(path, write, error)) {
    GetHost().ShowMessage("ファイル " + path + " に書き込めません。" + error);
    return {};
  }
  return path;
}

}  // namespace kandrel
