// Framework overhead: a root of 20 processes that each copy a 1920 × 1080 Int 3ch image through
// the standard typed output (channel threads included), against one plain copy of that image.
// Both are timed in the same iterations; "ratio" is (frame time / 20) / plain copy time.
#include <benchmark/benchmark.h>

#include <chrono>

#include "process/headless_host.h"
#include "process/proc_module.h"
#include "process/proc_standard_out.h"

namespace kandrel {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kCopies = 20;

// Publishes a prepared image without work per frame.
class HeldImage : public ProcVirtual {
 public:
  HeldImage() : ProcVirtual(0) {
    SetPortCounts(0, 1);
    auto image = std::make_unique<Int3Image>();
    image->Resize(kWidth, kHeight);
    int v = 0;
    for (auto& channel : image->channels)
      for (int& s : channel) s = v++ & 255;
    Outputs()[0] = std::move(image);
  }
};

class CopyChannels : public ProcStandardOut {
 public:
  CopyChannels() : ProcStandardOut(0) { SetPortCounts(1, 1); }
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override {
    outTypes[0] = inTypes[0];
    return inTypes[0] != 0;
  }
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override {
    *out[0] = *in[0];
    return 0;
  }
};

using Clock = std::chrono::steady_clock;

void BM_FrameworkOverhead(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  HeldImage source;
  {
    ProcModule root;
    root.Connect(0, &source, 0);
    for (int i = 0; i < kCopies; ++i) {
      auto copy = std::make_unique<CopyChannels>();
      copy->Connect(0, root.InputPort(), 0);
      root.AddProcess(std::move(copy));
    }
    root.Reset();
    root.Step();  // outputs allocated once, as in a running graph

    const auto& original = static_cast<const Int3Image&>(*source.GetOutput(0));
    Int3Image plain;
    plain.Resize(kWidth, kHeight);
    Clock::duration frameTime{}, copyTime{};
    for (auto _ : state) {
      const auto t0 = Clock::now();
      for (int c = 0; c < 3; ++c) plain.channels[c] = original.channels[c];
      benchmark::ClobberMemory();
      const auto t1 = Clock::now();
      if (root.Step() != 0) state.SkipWithError("frame failed");
      const auto t2 = Clock::now();
      copyTime += t1 - t0;
      frameTime += t2 - t1;
    }
    state.counters["ratio"] = std::chrono::duration<double>(frameTime).count() / kCopies /
                              std::chrono::duration<double>(copyTime).count();
    root.Disconnect(0);
  }
  SetHost(nullptr);
}
BENCHMARK(BM_FrameworkOverhead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
