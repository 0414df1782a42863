// kandrel: the desktop program, with --batch the headless runner, or with --make-dictionary the
// learner of super-resolution dictionaries.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "app/dictionary_maker.h"
#include "blocks/all_kinds.h"
#include "process/headless_host.h"
#include "ui/desktop.h"

namespace {

constexpr const char* kDesktopUsage = "usage: kandrel [--screenshot PNG] [--run] [FILE...]";
constexpr const char* kHelp =
    "       kandrel --help | --version\n"
    "\n"
    "Without --batch, starts the desktop program and opens each FILE (a .knd process file, a\n"
    "picture or a video) as the open command does.\n"
    "  --screenshot PNG  steps one frame once the windows are up, writes a picture of the\n"
    "                    screen to PNG and quits\n"
    "  --run             starts the continuous run once the windows are up, as F9 does\n"
    "\n"
    "With --batch, runs FILE.knd without a display: loads it, resets it and steps frames.\n"
    "  --frames N        steps N frames (default: the graph's frame count)\n"
    "  --out DIR         after each frame f, writes every image output k of the top module as\n"
    "                    the TIFF dump DIR/out<k>_<ffff>.tif\n"
    "  --save OUT.knd    writes the graph after the frames ran\n"
    "  --verilog OUT.sv  writes the top module's SystemVerilog skeleton after the frames ran\n"
    "  --describe        prints the process tree before running\n"
    "Exit status: 0 when every frame ran, 1 when a frame failed, 2 when a file could not be\n"
    "read or written or the arguments are wrong.\n"
    "\n"
    "With --make-dictionary, learns a super-resolution dictionary (the SR.dic that SuperReso\n"
    "reads: 2 x 2 enlargement, 4 x 4 patches) from the detail that halving each PICTURE (BMP,\n"
    "JPEG, PNG or GIF, taken as grey) loses, and writes it to OUT.dic.\n"
    "  --levels N        splits the examples N times down every branch of the tree, for at\n"
    "                    most 2^N leaves (1 to 24, default 12)\n"
    "Exit status: 0 when the dictionary was written, 1 when no picture had detail to learn, 2\n"
    "when a file could not be read or written or the arguments are wrong.\n";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

bool IsCommand(const std::string& arg) { return arg == "--batch" || arg == "--make-dictionary"; }

// The usage lines as the errors of each command print them, without their "usage: ".
const char* UsageLine(const char* usage) { return usage + std::strlen("usage: "); }

}  // namespace

int main(int argc, char** argv) {
  using namespace kandrel;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() &&
      (IsHelp(args[0]) || (IsCommand(args[0]) && args.size() == 2 && IsHelp(args[1])))) {
    std::printf("%s\n       %s\n       %s\n%s", kDesktopUsage, UsageLine(kBatchUsage),
                UsageLine(kDictionaryUsage), kHelp);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("kandrel %s\n", KANDREL_VERSION);
    return 0;
  }
  if (args.empty() || !IsCommand(args[0])) return RunDesktop(argc, argv, args);
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  std::string error;
  if (args[0] == "--make-dictionary") {
    const std::optional<DictionaryOptions> options = ParseDictionaryArguments(rest, error);
    if (!options) {
      std::fprintf(stderr, "kandrel: %s\n%s\n", error.c_str(), kDictionaryUsage);
      return kBatchBadInput;
    }
    HeadlessHost host;
    host.EchoMessagesTo(stderr);
    SetHost(&host);
    const int result = RunMakeDictionary(*options, host, std::cout);
    SetHost(nullptr);
    return result;
  }
  const std::optional<BatchOptions> options = ParseBatchArguments(rest, error);
  if (!options) {
    std::fprintf(stderr, "kandrel: %s\n%s\n", error.c_str(), kBatchUsage);
    return kBatchBadInput;
  }
  RegisterAllKinds();
  HeadlessHost host;
  host.EchoMessagesTo(stderr);
  host.EchoMeasurementsTo(stdout);
  SetHost(&host);
  const int result = RunBatch(*options, host, std::cout);
  SetHost(nullptr);
  return result;
}
