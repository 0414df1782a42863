// The video processes on 640 × 480 Motion JPEG: ProcVideoFile reading 300 frames (a reset, then
// one Step per frame, each decoding and converting to Int 3ch) against cv::VideoCapture::read of
// the same file from its start; ProcSaveVideo recording 30 frames of an Int 3ch picture (the
// window's display rendition, then encoding) against cv::VideoWriter writing the same picture as
// a BGR mat. "ratio" is our time over OpenCV's; the targets are frame rates of at least 0.8 of
// OpenCV's, a ratio of at most 1.25.
#include <filesystem>
#include <opencv2/videoio.hpp>

#include "bench/bench_support.h"
#include "io/save_video.h"
#include "io/video_file.h"
#include "process/headless_host.h"

namespace kandrel {
namespace {

constexpr int kWidth = 640, kHeight = 480;

std::string BenchFile(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

// A moving pattern, frame k.
cv::Mat PatternFrame(int k) {
  cv::Mat frame(kHeight, kWidth, CV_8UC3);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      frame.at<cv::Vec3b>(y, x) = {static_cast<std::uint8_t>((x + 3 * k) & 255),
                                   static_cast<std::uint8_t>((y + k) & 255),
                                   static_cast<std::uint8_t>(((x ^ y) + k) & 255)};
  return frame;
}

void BM_VideoFileMjpegAgainstVideoCapture(benchmark::State& state) {
  constexpr int kFrames = 300;
  const std::string path = BenchFile("kandrel-bench-read.avi");
  {
    cv::VideoWriter writer(path, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 30,
                           cv::Size(kWidth, kHeight));
    for (int k = 0; k < kFrames; ++k) writer.write(PatternFrame(k));
  }
  HeadlessHost host;
  SetHost(&host);
  {
    ProcVideoFile video(kVideoFileProcessId);
    video.SetFileName(path);
    cv::VideoCapture capture(path, cv::CAP_FFMPEG);
    cv::Mat frame;
    bench::TimeAgainst(
        state,
        [&] {
          int failures = video.Reset();
          for (int k = 0; k < kFrames; ++k) failures += video.Step();
          return failures;
        },
        [&] {
          capture.set(cv::CAP_PROP_POS_FRAMES, 0);
          for (int k = 0; k < kFrames; ++k) capture.read(frame);
        });
  }
  SetHost(nullptr);
  std::filesystem::remove(path);
}
BENCHMARK(BM_VideoFileMjpegAgainstVideoCapture)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_SaveVideoMjpegAgainstVideoWriter(benchmark::State& state) {
  constexpr int kFrames = 30;
  const std::string ours = BenchFile("kandrel-bench-ours.avi"),
                    theirs = BenchFile("kandrel-bench-cv.avi");
  const cv::Mat picture = PatternFrame(0);
  auto image = std::make_unique<Int3Image>();
  image->Resize(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) image->channels[c][y][x] = picture.at<cv::Vec3b>(y, x)[2 - c];
  image->colorSpace = kRgb;
  image->whiteLevel = 255;
  image->gamma = 2.2;
  HeadlessHost host;
  SetHost(&host);
  {
    bench::HeldImage source(std::move(image));
    source.GetOutput(0)->CreateWindow();
    ProcSaveVideo saver(kSaveVideoProcessId);
    saver.params.fileName = ours;
    saver.params.fourcc = FourCC("MJPG");
    saver.params.fps = 30;
    saver.Connect(0, &source, 0);
    bench::TimeAgainst(
        state,
        [&] {
          int failures = 0;
          for (int k = 0; k < kFrames; ++k) failures += saver.Step();
          return failures + saver.Reset();
        },
        [&] {
          cv::VideoWriter writer(theirs, cv::CAP_FFMPEG,
                                 cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 30,
                                 cv::Size(kWidth, kHeight));
          for (int k = 0; k < kFrames; ++k) writer.write(picture);
        });
    saver.DisconnectAll();
  }
  SetHost(nullptr);
  std::filesystem::remove(ours);
  std::filesystem::remove(theirs);
}
BENCHMARK(BM_SaveVideoMjpegAgainstVideoWriter)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
}  // namespace kandrel
