// The Verilog text of a module tree of 20 modules of 20 processes each, types known through
// inference, against writing the same lines with a plain concatenation loop.
#include <sstream>

#include "bench/bench_support.h"
#include "blocks/pixel/pattern.h"
#include "blocks/pixel/tone.h"
#include "hdl/verilog.h"
#include "process/headless_host.h"
#include "process/proc_module.h"

namespace kandrel {
namespace {

std::unique_ptr<ProcModule> TreeOf20By20() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Tree");
  for (int m = 0; m < 20; ++m) {
    auto module = std::make_unique<ProcModule>();
    module->SetName("Stage " + std::to_string(m));
    ProcVirtual* previous = nullptr;
    for (int k = 0; k < 20; ++k) {
      std::unique_ptr<ProcVirtual> p;
      if (k == 0)
        p = std::make_unique<ProcSineWave>(kSineWaveProcessId);
      else
        p = std::make_unique<ProcContrast>(kContrastProcessId);
      p->SetName("P" + std::to_string(k));
      if (previous != nullptr) p->Connect(0, previous, 0);
      previous = p.get();
      module->AddProcess(std::move(p));
    }
    module->OutputPort()->Connect(0, previous, 0);
    root->AddProcess(std::move(module));
  }
  return root;
}

void BM_VerilogTextAgainstConcatenation(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    std::unique_ptr<ProcModule> root = TreeOf20By20();
    // The reference joins the very lines of the text.
    std::vector<std::string> lines;
    std::istringstream text(VerilogText(*root));
    for (std::string line; std::getline(text, line, '\n');) lines.push_back(line + '\n');
    std::size_t bytes = 0;
    bench::TimeAgainst(
        state,
        [&] {
          bytes += VerilogText(*root).size();
          return 0;
        },
        [&] {
          std::string joined;
          for (const std::string& line : lines) joined += line;
          bytes += joined.size();
        });
    benchmark::DoNotOptimize(bytes);
  }
  SetHost(nullptr);
}
BENCHMARK(BM_VerilogTextAgainstConcatenation)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
