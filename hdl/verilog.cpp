#include "hdl/verilog.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "process/proc_module.h"
#include "process/process_file.h"
#include "image/replace_file.h"
#include "process/text_codec.h"

namespace kandrel {

namespace {

constexpr const char* kSuffixes[] = {"", "INT", "FLT", "CMPLX", "INTx3", "FLTx3", "CMPLXx3"};
// "[%2d:0]" of the bus widths 8, 32, 64, 24, 96 and 192 bits.
constexpr const char* kRanges[] = {"", "[ 7:0]", "[31:0]", "[63:0]", "[23:0]", "[95:0]", "[191:0]"};

bool IsKnownType(int type) { return type >= 1 && type <= kImageTypeCount; }

// Appends whole lines to the text, and takes the final comma off a line written earlier (the
// last connection of a port list, which is only known once the list is complete).
class Lines {
 public:
  explicit Lines(std::string& text) : text_(text) {}
  template <class... Parts>
  void Add(const Parts&... parts) {
    const std::string_view views[] = {std::string_view(parts)..., "\r\n"};
    std::size_t size = text_.size();
    for (std::string_view view : views) size += view.size();
    if (size > text_.capacity()) text_.reserve(std::max(size, 2 * text_.capacity()));
    for (std::string_view view : views) text_.append(view);
  }
  // The line about to be added may lose its final comma.
  void MarkNext() { marked_ = text_.size(); }
  void DropFinalCommaOfMarked() {
    const std::size_t end = text_.find('\r', marked_);
    const std::size_t comma = text_.rfind(',', end);
    if (comma != std::string::npos && comma >= marked_) text_.erase(comma, 1);
  }

 private:
  std::string& text_;
  std::size_t marked_ = 0;
};

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
void WriteChildInstance(ProcModule& m, int k, Lines& lines) {
  ProcVirtual& child = *m.Child(k);
  const std::string instance = VerilogInstanceName(k);
  lines.Add("\t", VerilogModuleName(child));
  lines.MarkNext();
  lines.Add("\t\t", instance, "( iPixClk,");
  lines.Add("\t\t\t//In");
  for (int i = 0; i < child.InputCount(); ++i) {
    lines.Add("\t\t\t\t", FeedingSignal(m, child, i, false), ",");
    lines.MarkNext();
    lines.Add("\t\t\t\t", FeedingSignal(m, child, i, true), ",");
  }
  lines.Add("\t\t\t//Out");
  for (int j = 0; j < child.OutputCount(); ++j) {
    lines.Add("\t\t\t\t", instance, "_", VerilogOutputPort(child, j), ",");
    lines.MarkNext();
    lines.Add("\t\t\t\t", instance, "_", VerilogOutputSync(j), ",");
  }
  lines.DropFinalCommaOfMarked();
  lines.Add("\t\t\t);");
  for (int j = 0; j < child.OutputCount(); ++j) {
    lines.Add("\t\t\twire ", VerilogOutputRange(child, j), "\t", instance, "_",
              VerilogOutputPort(child, j), ";");
    lines.Add("\t\t\twire [ 2:0]\t", instance, "_", VerilogOutputSync(j), ";");
  }
  lines.Add("");
}

void WriteModuleOfModule(ProcModule& m, std::string& text) {
  WriteVerilogHeader(m, text);
  Lines lines(text);
  for (int k = 0; k < m.ChildCount(); ++k) WriteChildInstance(m, k, lines);
  lines.Add("\t//ExtOut");
  ProcThrough& outputs = *m.OutputPort();
  for (int j = 0; j < m.OutputCount(); ++j) {
    if (outputs.GetInputLink(j).source == nullptr) continue;
    lines.Add("\tassign ", VerilogOutputPort(m, j), "\t= ", FeedingSignal(m, outputs, j, false), ";");
    lines.Add("\tassign ", VerilogOutputSync(j), "\t= ", FeedingSignal(m, outputs, j, true), ";");
    lines.Add("");
  }
  WriteVerilogFooter(text);
  for (int k = 0; k < m.ChildCount(); ++k) WriteVerilogModule(*m.Child(k), text);
}

std::size_t ProcessCount(const ProcVirtual& p) {
  std::size_t count = 1;
  if (const auto* module = dynamic_cast<const ProcModule*>(&p))
    for (int k = 0; k < module->ChildCount(); ++k) count += ProcessCount(*module->Child(k));
  return count;
}

void CollectModuleNames(ProcVirtual& p, std::vector<std::string>& names) {
  names.push_back(VerilogModuleName(p));
  if (auto* module = dynamic_cast<ProcModule*>(&p))
    for (int k = 0; k < module->ChildCount(); ++k) CollectModuleNames(*module->Child(k), names);
}

}  // namespace

std::string VerilogTypeSuffix(int type) { return IsKnownType(type) ? kSuffixes[type] : ""; }

std::string VerilogRange(int type) { return IsKnownType(type) ? kRanges[type] : ""; }

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

void WriteVerilogHeader(ProcVirtual& p, std::string& text) {
  Lines lines(text);
  lines.MarkNext();
  lines.Add("module ", VerilogModuleName(p), "( input iPixClk,");
  lines.Add("\t//ExtIn");
  for (int i = 0; i < p.InputCount(); ++i) {
    lines.Add("\t\tinput ", VerilogInputRange(p, i), "\t", VerilogInputPort(p, i), ",");
    lines.MarkNext();
    lines.Add("\t\tinput [ 2:0]\t", VerilogInputSync(i), ",");
    lines.Add("");
  }
  lines.Add("\t//ExtOut");
  for (int j = 0; j < p.OutputCount(); ++j) {
    lines.Add("\t\toutput ", VerilogOutputRange(p, j), "\t", VerilogOutputPort(p, j), ",");
    lines.MarkNext();
    lines.Add("\t\toutput [ 2:0]\t", VerilogOutputSync(j), ",");
    lines.Add("");
  }
  lines.DropFinalCommaOfMarked();
  lines.Add("\t);\r\n");
}

void WriteVerilogBody(ProcVirtual& p, std::string& text) {
  Lines lines(text);
  const std::string cell = VerilogCellName(p, p.GetOutputType(0));
  if (cell.empty()) {
    lines.Add("\t//-----------------------");
    lines.Add("\t// Under construction...");
    lines.Add("\t//-----------------------");
    return;
  }
  const std::string instance = VerilogInstanceName(0);
  lines.MarkNext();
  lines.Add("\t", cell, "\t", instance, "( iPixClk, ");
  lines.Add("\t\t\t//In");
  for (int i = 0; i < p.InputCount(); ++i) {
    lines.Add("\t\t\t\t", VerilogInputPort(p, i), ",");
    lines.MarkNext();
    lines.Add("\t\t\t\t", VerilogInputSync(i), ",");
  }
  lines.Add("\t\t\t//Out");
  for (int j = 0; j < p.OutputCount(); ++j) {
    lines.Add("\t\t\t\t", VerilogOutputPort(p, j), ",");
    lines.MarkNext();
    lines.Add("\t\t\t\t", VerilogOutputSync(j), ",");
  }
  lines.DropFinalCommaOfMarked();
  lines.Add("\t\t\t);");
  std::vector<std::string> params;
  p.WriteVerilogParams(params, instance);
  for (const std::string& line : params) lines.Add(line);
}

void WriteVerilogFooter(std::string& text) {
  Lines lines(text);
  lines.Add("endmodule");
  lines.Add("//----------------------------------------------------------\r\n");
}

void WriteVerilogModule(ProcVirtual& p, std::string& text) {
  if (auto* module = dynamic_cast<ProcModule*>(&p)) {
    WriteModuleOfModule(*module, text);
    return;
  }
  WriteVerilogHeader(p, text);
  WriteVerilogBody(p, text);
  WriteVerilogFooter(text);
}

void WriteVerilogFileHeader(std::string& text) {
  Lines lines(text);
  lines.Add("//==========================================================");
  lines.Add("//\tKandrel Auto Generation");
  lines.Add("//==========================================================\r\n");
}

std::string VerilogText(ProcModule& m) {
  // About a kilobyte of text per process: one allocation for nearly every graph.
  constexpr std::size_t kBytesPerProcess = 1024;
  std::string text;
  text.reserve(kBytesPerProcess * ProcessCount(m));
  WriteVerilogFileHeader(text);
  WriteVerilogModule(m, text);
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
    std::optional<std::string> chosen =
        AskSavePath("Kandrel処理(*.sv)|*.sv", "sv", VerilogModuleName(m) + ".sv");
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
