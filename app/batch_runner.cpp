#include "app/batch_runner.h"

#include <charconv>
#include <cstdio>
#include <filesystem>

#include "hdl/verilog.h"
#include "image/tiff_dump.h"
#include "process/catalogue.h"
#include "process/headless_host.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "process/run_control.h"

namespace kandrel {

namespace {

bool ParseCount(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && last == end && value >= 0;
}

std::string LinkCodes(const ProcModule& holder, const ProcVirtual& p) {
  std::string codes;
  for (int k = 0; k < p.InputCount(); ++k) {
    const ProcessLink link = p.GetInputLink(k);
    codes += (k == 0 ? "" : ",") + std::to_string(holder.EncodeLink(link.source, link.sourceOutput));
  }
  return codes;
}

void DescribeModule(const ProcModule& module, int depth, std::string& text) {
  const std::string indent(2 * static_cast<std::size_t>(depth), ' ');
  for (int i = 0; i < module.ChildCount(); ++i) {
    const ProcVirtual& child = *module.Child(i);
    text += indent + child.Name() + " [" + std::to_string(child.ProcessId()) + "] in=" +
            LinkCodes(module, child) + "\n";
    if (const auto* sub = dynamic_cast<const ProcModule*>(&child)) DescribeModule(*sub, depth + 1, text);
  }
  text += indent + "out=" + LinkCodes(module, *module.OutputPort()) + "\n";
}

// Opens the file as the main window does: a process file must hold a module, which becomes the
// root; any other file is inserted into a new root.
std::unique_ptr<ProcModule> OpenRoot(const std::string& path, HeadlessHost& host) {
  if (ExtensionOf(path) != ".knd") {
    SetLastUsedDirectory(ProgramDirectory());
    auto root = std::make_unique<ProcModule>();
    if (root->InsertFile(path) != 0) return nullptr;
    return root;
  }
  std::unique_ptr<ProcVirtual> loaded = LoadProcessFile(path);
  if (loaded == nullptr || loaded->ProcessId() != kModuleProcessId) {
    host.ShowMessage("最上位階層は親プロセスでなければいけません。");
    return nullptr;
  }
  return std::unique_ptr<ProcModule>(static_cast<ProcModule*>(loaded.release()));
}

// Writes every output of the root that holds an image; false (with a message) when one fails.
bool DumpOutputs(const ProcModule& root, const std::string& directory, int frame, HeadlessHost& host) {
  for (int k = 0; k < root.OutputCount(); ++k) {
    const Image* image = root.GetOutput(k);
    if (image == nullptr) continue;
    const std::string path = OutputDumpPath(directory, k + 1, frame);
    if (SaveImageTIFF(*image, path) != 0) {
      host.ShowMessage(path + " を書き込めません。");
      return false;
    }
  }
  return true;
}

}  // namespace

std::string OutputDumpPath(const std::string& directory, int output, int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "out%d_%04d.tif", output, frame);
  return (std::filesystem::path(directory) / name).string();
}

std::optional<BatchOptions> ParseBatchArguments(const std::vector<std::string>& args,
                                                std::string& error) {
  BatchOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--frames") {
      int frames = 0;
      if (!hasValue || !ParseCount(args[i + 1], frames)) {
        error = "--frames needs a count of 0 or more";
        return std::nullopt;
      }
      options.frames = frames;
      ++i;
    } else if (arg == "--save") {
      if (!hasValue) {
        error = "--save needs a file name";
        return std::nullopt;
      }
      options.saveTo = args[++i];
    } else if (arg == "--verilog") {
      if (!hasValue) {
        error = "--verilog needs a file name";
        return std::nullopt;
      }
      options.verilogTo = args[++i];
    } else if (arg == "--out") {
      if (!hasValue) {
        error = "--out needs a directory";
        return std::nullopt;
      }
      options.outDirectory = args[++i];
    } else if (arg == "--describe") {
      options.describe = true;
    } else if (arg.starts_with("--") || !options.file.empty()) {
      error = "unexpected argument: " + arg;
      return std::nullopt;
    } else {
      options.file = arg;
    }
  }
  if (options.file.empty()) {
    error = "no process file given";
    return std::nullopt;
  }
  return options;
}

std::string DescribeTree(const ProcModule& root) {
  std::string text = root.Name() + " [" + std::to_string(root.ProcessId()) + "]\n";
  DescribeModule(root, 1, text);
  return text;
}

int RunBatch(const BatchOptions& options, HeadlessHost& host, std::ostream& out) {
  std::unique_ptr<ProcModule> root = OpenRoot(options.file, host);
  if (root == nullptr) return kBatchBadInput;
  if (options.describe) out << DescribeTree(*root) << std::flush;

  RunController controller;
  controller.Attach(root.get());
  controller.ResetAll();
  // The requested frame count is the end point, as a user would raise it in the controller.
  const int frames = options.frames.value_or(controller.EndPoint());
  controller.SetEndPoint(frames);
  if (!options.outDirectory.empty()) {
    std::error_code error;
    std::filesystem::create_directories(options.outDirectory, error);
    if (error) {
      host.ShowMessage(options.outDirectory + " を作成できません。" + error.message());
      return kBatchBadInput;
    }
  }
  int result = kBatchOk;
  for (int f = 0; f < frames; ++f) {
    if (controller.StepAll() != 0) {
      result = kBatchFrameFailed;
      break;
    }
    if (!options.outDirectory.empty() && !DumpOutputs(*root, options.outDirectory, f, host))
      return kBatchBadInput;
  }
  if (!options.saveTo.empty() && SaveProcessFile(root.get(), options.saveTo).empty())
    return kBatchBadInput;
  if (!options.verilogTo.empty()) {
    if (SaveVerilogFile(*root, options.verilogTo).empty()) return kBatchBadInput;
    const std::vector<std::string> repeated = RepeatedVerilogModuleNames(*root);
    if (!repeated.empty()) {
      std::string names;
      for (const std::string& name : repeated) names += (names.empty() ? "" : ", ") + name;
      host.ShowMessage("kandrel: warning: " + options.verilogTo +
                       " defines more than one module named " + names);
    }
  }
  return result;
}

}  // namespace kandrel
