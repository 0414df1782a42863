// The headless runner behind "kandrel --batch": loads a process file as the main window's open
// command would, resets, steps frames, and optionally describes the tree and saves the result.
// Its options and output are a contract that users' scripts rely on.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kandrel {

class HeadlessHost;
class ProcModule;

struct BatchOptions {
  std::optional<int> frames;  // default: the root's frame count
  std::string saveTo;
  std::string outDirectory;  // TIFF dumps of the root's outputs after every frame
  std::string verilogTo;     // the root's Verilog text after the frames
  bool describe = false;
  std::string file;
};

inline constexpr const char* kBatchUsage =
    "usage: kandrel --batch [--frames N] [--out DIR] [--save OUT.knd] [--verilog OUT.sv] "
    "[--describe] FILE.knd";

enum BatchExit { kBatchOk = 0, kBatchFrameFailed = 1, kBatchBadInput = 2 };

// Parses the arguments that follow "--batch"; nothing (and error set) when they are wrong.
std::optional<BatchOptions> ParseBatchArguments(const std::vector<std::string>& args,
                                                std::string& error);
// One line per process, two spaces per module level: "name [id] in=c1,c2", and after a
// module's children "out=c1,c2" at the children's indentation.
std::string DescribeTree(const ProcModule& root);
// The dump of root output k (1-based) after frame f: DIR/out<k>_<ffff>.tif.
std::string OutputDumpPath(const std::string& directory, int output, int frame);
// Runs the batch; messages go through host, the description to out. Returns a BatchExit code.
int RunBatch(const BatchOptions& options, HeadlessHost& host, std::ostream& out);

}  // namespace kandrel
