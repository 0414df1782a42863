// kandrel: the desktop program, or with --batch the headless runner.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "blocks/all_kinds.h"
#include "process/headless_host.h"
#include "ui/desktop.h"

namespace {

constexpr const char* kDesktopUsage = "usage: kandrel [--screenshot PNG] [FILE...]";
constexpr const char* kHelp =
    "       kandrel --help | --version\n"
    "\n"
    "Without --batch, starts the desktop program and opens each FILE (a .knd process file, a\n"
    "picture or a video) as the open command does.\n"
    "  --screenshot PNG  steps one frame once the windows are up, writes a picture of the\n"
    "                    screen to PNG and quits\n"
    "\n"
    "With --batch, runs FILE.knd without a display: loads it, resets it and steps frames.\n"
    "  --frames N        steps N frames (default: the graph's frame count)\n"
    "  --out DIR         after each frame f, writes every image output k of the top module as\n"
    "                    the TIFF dump DIR/out<k>_<ffff>.tif\n"
    "  --save OUT.knd    writes the graph after the frames ran\n"
    "  --verilog OUT.sv  writes the top module's SystemVerilog skeleton after the frames ran\n"
    "  --describe        prints the process tree before running\n"
    "Exit status: 0 when every frame ran, 1 when a frame failed, 2 when a file could not be\n"
    "read or written or the arguments are wrong.\n";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

}  // namespace

int main(int argc, char** argv) {
  using namespace kandrel;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() &&
      (IsHelp(args[0]) || (args[0] == "--batch" && args.size() == 2 && IsHelp(args[1])))) {
    // The batch line is the one its errors print, without its "usage: ".
    std::printf("%s\n       %s\n%s", kDesktopUsage, kBatchUsage + std::strlen("usage: "), kHelp);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("kandrel %s\n", KANDREL_VERSION);
    return 0;
  }
  if (args.empty() || args[0] != "--batch") return RunDesktop(argc, argv, args);
  std::string error;
  const std::optional<BatchOptions> options =
      ParseBatchArguments(std::vector<std::string>(args.begin() + 1, args.end()), error);
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
