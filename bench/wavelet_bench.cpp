// ProcWavelet, 10 levels (eight possible) on a 1920 × 1080 Float 1ch image, one frame per
// iteration through Step(), against two cv::filter2D passes with a 16-tap kernel (1 × 16, then
// 16 × 1, CV_32F) over the same samples. A Float 1ch frame runs on one thread, so OpenCV is held
// to one thread as well.
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/bench_support.h"
#include "blocks/transform/subband.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

void BM_WaveletFloat1AgainstTwoFilter2D(benchmark::State& state) {
  HeadlessHost host;
  SetHost(&host);
  const int threads = cv::getNumThreads();
  cv::setNumThreads(1);
  {
    bench::HeldImage source(bench::PseudoRandomImage<Float1Image>(
        1920, 1080, 1, [](std::uint32_t r) { return static_cast<float>(r >> 24); }));
    ProcWavelet wavelet(kWaveletProcessId);
    wavelet.params.levels = 10;
    wavelet.Connect(0, &source, 0);
    if (wavelet.Step() != 0) state.SkipWithError("frame failed");  // output allocated once
    const FloatArray& samples = source.Held().channels[0];
    const cv::Mat in(samples.Height(), samples.Width(), CV_32F, const_cast<float*>(samples.Data()));
    const cv::Mat rowKernel(1, 16, CV_32F, cv::Scalar(1.0 / 16)), columnKernel = rowKernel.t();
    cv::Mat across, down;
    bench::TimeAgainst(
        state, [&] { return wavelet.Step(); },
        [&] {
          cv::filter2D(in, across, CV_32F, rowKernel);
          cv::filter2D(across, down, CV_32F, columnKernel);
        });
  }
  cv::setNumThreads(threads);
  SetHost(nullptr);
}
BENCHMARK(BM_WaveletFloat1AgainstTwoFilter2D)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kandrel
