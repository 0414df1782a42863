#include <benchmark/benchmark.h>

#include "blocks/all_kinds.h"

int main(int argc, char** argv) {
  kandrel::RegisterAllKinds();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
