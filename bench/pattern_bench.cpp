// ProcSineWave drawing a 2048 × 2048 Float zone plate, one frame per iteration through Step(),
// against the same formula in a plain loop over tables computed once per row and per column.
#include <cmath>
#include <numbers>
#include <vector>

#include "bench/bench_support.h"
#include "blocks/pixel/pattern.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_SineWaveZonePlateAgainstPlainLoop(benchmark::State& state) {
  constexpr int kSize = 2048;
  constexpr double kPi = std::numbers::pi;
  HeadlessHost host;
  SetHost(&host);
  {
    ProcSineWave generator(kSineWaveProcessId);
    generator.params.width = generator.params.height = kSize;
    generator.params.patternKind = ProcSineWave::kZonePlate;
    if (generator.Step() != 0) state.SkipWithError("frame failed");  // output allocated once
    std::vector<float> plain(static_cast<std::size_t>(kSize) * kSize);
    benchmark::DoNotOptimize(plain.data());
    std::vector<double> columns(kSize), rows(kSize);
    const auto reference = [&] {
      for (int n = 0; n < kSize; ++n) {  // square: the column and row tables are alike
        const double t = n - kSize / 2;
        columns[n] = rows[n] = kPi * (t * t) / kSize;
      }
      for (int i = 0; i < kSize; ++i)
        for (int j = 0; j < kSize; ++j)
          plain[static_cast<std::size_t>(i) * kSize + j] =
              static_cast<float>((std::cos(columns[j] + rows[i]) + 1) * 0.5);
    };
    bench::TimeAgainst(
        state, [&] { return generator.Step(); }, reference);
  }
  SetHost(nullptr);
}
BENCHMARK(BM_SineWaveZonePlateAgainstPlainLoop)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
