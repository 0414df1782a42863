// ProcMove rotating a 1920 × 1080 Float 3ch image about its centre, one frame per iteration
// through Step() (its map built every frame), against cv::remap INTER_NEAREST of the same samples
// as a CV_32FC3 mat with a map computed once beforehand (OpenCV at its default thread count).
#include <cmath>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "blocks/geometry/xy_transform.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_MoveRotationFloat3AgainstRemap(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(bench::PseudoRandomImage<Float3Image>(
        1920, 1080, 1, [](std::uint32_t r) { return static_cast<float>(r >> 24); }));
    ProcMove move(kMoveProcessId);
    move.params = {0, 0, 30, 1, 0};
    move.Connect(0, &source, 0);
    if (move.Step() != 0) state.SkipWithError("frame failed");  // outputs allocated once
    const cv::Mat in = bench::Interleaved(source.Held());
    cv::Mat mapX(1080, 1920, CV_32F), mapY(1080, 1920, CV_32F), out;
    const ComplexArray& map = move.CoordinateMap();
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) {
        // remap samples at the position itself; ours truncates, so hand it the truncated one
        mapX.at<float>(y, x) = std::floor(map[y][x].real());
        mapY.at<float>(y, x) = std::floor(map[y][x].imag());
      }
    bench::TimeAgainst(state, [&] { return move.Step(); }, [&] {
      cv::remap(in, out, mapX, mapY, cv::INTER_NEAREST, cv::BORDER_CONSTANT);
    });
    move.DisconnectAll();
  }
  SetHost(nullptr);
}
BENCHMARK(BM_MoveRotationFloat3AgainstRemap)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
