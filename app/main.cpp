// kandrel: the desktop program, or with --batch the headless runner.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch_runner.h"
#include "blocks/all_kinds.h"
#include "process/headless_host.h"
#include "ui/desktop.h"

int main(int argc, char** argv) {
  using namespace kandrel;
  std::vector<std::string> args(argv + 1, argv + argc);
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
  SetHost(&host);
  const int result = RunBatch(*options, host, std::cout);
  SetHost(nullptr);
  return result;
}
