// Moving pictures: the sampler's frame numbering, reading, seeking and stepping on files made
// here with a frame counter in their pixels; the video-file process frame by frame after a
// reset; files that are missing, not video, or cut short; a camera process without devices; and
// the video saver's files, codecs, failures and the earlier file they must not destroy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>

#include "image/picture.h"
#include "io/avi_writer.h"
#include "io/motion_jpeg.h"
#include "io/save_video.h"
#include "io/video_file.h"
#include "io/video_sampler.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

namespace fs = std::filesystem;

// Frame k of the uncompressed test files: red k, green from the row, blue from the column.
int RedOf(int k) { return k % 256; }
int GreenOf(int y) { return (y * 5) % 256; }
int BlueOf(int x) { return (x * 3) % 256; }

void WriteCounterAvi(const std::string& path, int frames, int w, int h) {
  AviWriter writer;
  ASSERT_TRUE(writer.Open(path, w, h, 25));
  Picture picture;
  picture.Create(w, h);
  for (int k = 0; k < frames; ++k) {
    for (int y = 0; y < h; ++y) {
      std::uint8_t* pixel = picture.ScanLine(y);
      for (int x = 0; x < w; ++x, pixel += 4) {
        pixel[0] = static_cast<std::uint8_t>(BlueOf(x));
        pixel[1] = static_cast<std::uint8_t>(GreenOf(y));
        pixel[2] = static_cast<std::uint8_t>(RedOf(k));
        pixel[3] = 255;
      }
    }
    ASSERT_TRUE(writer.WriteFrame(picture));
  }
  ASSERT_TRUE(writer.Close());
}

// A flat grey of 20 + 2k survives JPEG coding well enough to read k back.
int GreyOf(int k) { return 20 + 2 * k; }
int CounterOfGrey(const IntArray& red) {
  double sum = 0;
  for (int s : red) sum += s;
  return static_cast<int>(std::lround((sum / static_cast<double>(red.SampleCount()) - 20) / 2));
}

class VideoTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    saver = std::make_unique<ProcSaveVideo>(kSaveVideoProcessId);
  }
  void TearDown() override {
    saver.reset();
    KandrelTest::TearDown();
  }

  // Records frames flat grey pictures of w × h through the saver, finished by a reset.
  int Record(const std::string& name, std::int32_t fourcc, int frames, int w = 40, int h = 30,
             double fps = 25) {
    saver->params.fileName = dir.File(name);
    saver->params.fourcc = fourcc;
    saver->params.fps = fps;
    HeldImages held;
    auto& image = held.Hold(0, std::make_unique<Int3Image>());
    image.Resize(w, h);
    image.whiteLevel = 255;
    image.gamma = 2.2;  // shown as it is
    image.colorSpace = kRgb;
    image.CreateWindow();  // the frames are what its window shows
    int failures = 0;
    for (int k = 0; k < frames; ++k) {
      image.Fill(GreyOf(k));
      if (RunFrame(*saver, held) != 0) ++failures, lastFailure = host.LastMessage();
    }
    saver->Reset();
    saver->DisconnectAll();
    return failures;
  }

  TempDir dir;
  std::unique_ptr<ProcSaveVideo> saver;
  std::string lastFailure;
};

TEST(MotionJpegTest, AFrameWithoutTablesDecodesWithTheStandardOnes) {
  cv::Mat picture(12, 20, CV_8UC3);
  cv::randu(picture, 0, 256);
  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));  // libjpeg codes with the standard tables
  const cv::Mat expected = cv::imdecode(jpeg, cv::IMREAD_COLOR);
  EXPECT_EQ(WithHuffmanTables(jpeg.data(), jpeg.size()), jpeg);  // has its own: unchanged
  // Without its DHT segments, as a camera writes it.
  std::vector<std::uint8_t> bare(jpeg.begin(), jpeg.begin() + 2);
  for (std::size_t at = 2; jpeg[at + 1] != 0xDA;) {
    const std::size_t length = 2 + (std::size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    if (jpeg[at + 1] != 0xC4) bare.insert(bare.end(), jpeg.begin() + at, jpeg.begin() + at + length);
    at += length;
    if (jpeg[at + 1] == 0xDA) bare.insert(bare.end(), jpeg.begin() + at, jpeg.end());
  }
  ASSERT_LT(bare.size(), jpeg.size());
  const cv::Mat decoded = cv::imdecode(WithHuffmanTables(bare.data(), bare.size()), cv::IMREAD_COLOR);
  ASSERT_EQ(decoded.size(), expected.size());
  EXPECT_EQ(cv::norm(decoded, expected, cv::NORM_INF), 0);
  // Markers that cannot be followed leave the bytes alone.
  const std::vector<std::uint8_t> garbage = {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF, 0xFF, 0xDA};
  EXPECT_EQ(WithHuffmanTables(garbage.data(), garbage.size()), garbage);
}

TEST_F(VideoTest, TheSamplerReadsSeeksAndStepsFrameAccurately) {
  WriteCounterAvi(dir.File("raw.avi"), 100, 63, 47);  // rows padded to four bytes
  ASSERT_EQ(Record("mjpeg.avi", FourCC("MJPG"), 100), 0);
  struct Case {
    const char* file;
    bool exact;
  };
  for (const Case& c : {Case{"raw.avi", true}, Case{"mjpeg.avi", false}}) {
    SCOPED_TRACE(c.file);
    ZelVideoSampler sampler;
    ASSERT_TRUE(sampler.OpenFile(dir.File(c.file)));
    EXPECT_EQ(sampler.FirstFrame(), 0);
    ASSERT_EQ(sampler.EndFrame(), 100);
    IntArray r, g, b;
    const auto expectHeld = [&](int k) {
      EXPECT_EQ(sampler.CurrentFrame(), k);
      ASSERT_TRUE(sampler.GetFrame(r, g, b)) << k;
      if (!c.exact) {
        EXPECT_EQ(CounterOfGrey(r), k);
        return;
      }
      ASSERT_EQ(SizeOf(r), (std::pair{63, 47}));
      EXPECT_EQ(r[46][62], RedOf(k));
      EXPECT_EQ(g[46][0], GreenOf(46));  // top-down
      EXPECT_EQ(b[0][62], BlueOf(62));
    };
    sampler.SeekToFrame(0);
    expectHeld(0);
    for (int k = 1; k < 100; ++k) {
      sampler.StepFrames(1);
      expectHeld(k);
    }
    for (int k : {37, 10, 99, 0}) {
      sampler.SeekToFrame(k);
      expectHeld(k);
    }
    sampler.SeekToFrame(10);
    sampler.StepFrames(-1);
    expectHeld(9);
    sampler.SeekToFrame(99);
    sampler.StepFrames(1);
    EXPECT_EQ(sampler.CurrentFrame(), 100);
    EXPECT_FALSE(sampler.GetFrame(r, g, b));
  }
}

TEST_F(VideoTest, TheVideoFileGivesFileFramesFromTheStartAfterEachReset) {
  WriteCounterAvi(dir.File("ten.avi"), 10, 16, 8);
  ProcVideoFile video(kVideoFileProcessId);
  video.SetFileName(dir.File("ten.avi"));
  ASSERT_EQ(video.Reset(), 0);
  EXPECT_EQ(video.FrameCount(), 10);
  const auto redAfterStep = [&] {
    EXPECT_EQ(video.Step(), 0);
    const auto* out = As<Int3Image>(video.GetOutput(0));
    return out != nullptr ? out->channels[0][0][0] : -1;
  };
  for (int k = 0; k < 3; ++k) EXPECT_EQ(redAfterStep(), RedOf(k));
  EXPECT_EQ(video.Sampler().CurrentFrame(), 3);
  const auto* out = As<Int3Image>(video.GetOutput(0));
  EXPECT_EQ(out->name, "ten.avi");
  EXPECT_EQ(out->whiteLevel, 255);
  for (int k = 3; k < 10; ++k) EXPECT_EQ(redAfterStep(), RedOf(k));
  EXPECT_NE(video.Step(), 0);  // the eleventh
  EXPECT_EQ(host.LastMessage(), "映像の終わりです。開始位置まで戻して下さい。");
  ASSERT_EQ(video.Reset(), 0);
  EXPECT_EQ(redAfterStep(), RedOf(0));
}

TEST_F(VideoTest, FilesThatCannotBeReadFailTheFrameNamingTheFile) {
  std::ofstream(dir.File("text.avi")) << "not a video at all";
  WriteCounterAvi(dir.File("whole.avi"), 20, 32, 24);
  std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("whole.avi"));
  bytes.resize(bytes.size() / 2);
  WriteFileBytes(dir.File("cut.avi"), bytes);
  for (const char* name : {"missing.avi", "text.avi"}) {
    ProcVideoFile video(kVideoFileProcessId);
    video.SetFileName(dir.File(name));
    video.Reset();
    EXPECT_EQ(video.FrameCount(), 0) << name;
    EXPECT_NE(video.Step(), 0) << name;
    EXPECT_NE(host.LastMessage().find(dir.File(name)), std::string::npos) << host.LastMessage();
  }
  // The frames that are there come through; the first one missing fails with the file's name.
  ProcVideoFile video(kVideoFileProcessId);
  video.SetFileName(dir.File("cut.avi"));
  video.Reset();
  int k = 0;
  for (; k < 20 && video.Step() == 0; ++k)
    EXPECT_EQ(As<Int3Image>(video.GetOutput(0))->channels[0][0][0], RedOf(k));
  EXPECT_GT(k, 0);
  EXPECT_LT(k, 20);
  EXPECT_NE(host.LastMessage().find(dir.File("cut.avi")), std::string::npos) << host.LastMessage();
}

TEST_F(VideoTest, ACameraWithoutDevicesFailsEveryFrame) {
  ZelVideoSampler::SetDeviceFolder(dir.Path());
  ProcCapture camera(kCaptureProcessId);
  std::vector<std::string> devices{"stale"};
  EXPECT_TRUE(camera.Sampler().ListDevices(devices));
  EXPECT_TRUE(devices.empty());
  for (int frame = 0; frame < 3; ++frame) {
    EXPECT_NE(camera.Step(), 0);
    EXPECT_EQ(host.LastMessage(), "ビデオデバイスを選択して下さい。");
  }
  std::string caption;
  EXPECT_FALSE(camera.Sampler().HasPropertyPage(4, caption));
  ZelVideoSampler::SetDeviceFolder("/dev");
}

TEST_F(VideoTest, TheSaverWritesEveryFrameAtItsRateAndSize) {
  ASSERT_EQ(Record("clip.mp4", FourCC("DIB "), 30, 41, 30, 15), 0) << lastFailure;
  ASSERT_TRUE(fs::exists(dir.File("clip.avi")));  // the extension is always .avi
  EXPECT_FALSE(fs::exists(dir.File("clip.mp4")));
  // The headers read independently: frame count, size and rate in thousandths.
  const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File("clip.avi"));
  ASSERT_GT(bytes.size(), 224u);
  EXPECT_EQ(LoadI32(&bytes[48]), 30);
  EXPECT_EQ(LoadI32(&bytes[64]), 41);
  EXPECT_EQ(LoadI32(&bytes[68]), 30);
  EXPECT_EQ(std::string(bytes.begin() + 108, bytes.begin() + 116), "vidsDIB ");
  EXPECT_EQ(LoadI32(&bytes[132]) / static_cast<double>(LoadI32(&bytes[128])), 15.0);
  ZelVideoSampler sampler;
  ASSERT_TRUE(sampler.OpenFile(dir.File("clip.avi")));
  ASSERT_EQ(sampler.EndFrame(), 30);
  IntArray r, g, b;
  for (int k = 0; k < 30; ++k, sampler.StepFrames(1)) {
    ASSERT_TRUE(sampler.GetFrame(r, g, b));
    ASSERT_EQ(SizeOf(r), (std::pair{41, 30}));
    EXPECT_EQ(r[29][40], GreyOf(k));
    EXPECT_EQ(b[0][0], GreyOf(k));
  }
  if (std::system("command -v ffprobe >/dev/null 2>&1") == 0) {
    const std::string command =
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames,width,height,r_frame_rate -of csv=p=0 " +
        dir.File("clip.avi") + " > " + dir.File("probe.txt");
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string line;
    std::getline(std::ifstream(dir.File("probe.txt")), line);
    EXPECT_EQ(line, "41,30,15/1,30");
  }
  for (const auto& entry : fs::directory_iterator(dir.Path()))  // no temporary file left
    EXPECT_EQ(entry.path().filename().string().find(".~"), std::string::npos) << entry.path();
}

TEST_F(VideoTest, AFailedRecordingLeavesTheEarlierFile) {
  std::ofstream(dir.File("keep.avi")) << "earlier recording";
  const std::vector<std::uint8_t> earlier = ReadFileBytes(dir.File("keep.avi"));
  // Codecs the encoder here cannot open, and a saver that is not enabled, create nothing.
  for (std::int32_t codec : {FourCC("MSVC"), FourCC("ABCD")}) {
    EXPECT_EQ(Record("keep.avi", codec, 3), 3) << codec;
    EXPECT_EQ(host.LastMessage(), "映像ファイルの作成に失敗しました。");
  }
  saver->params.enabled = 0;
  EXPECT_EQ(Record("keep.avi", FourCC("DIB "), 2), 2);
  EXPECT_EQ(ReadFileBytes(dir.File("keep.avi")), earlier);
  saver->params.enabled = 1;
  // A finished recording replaces it; a picture of another size starts the file again.
  ASSERT_EQ(Record("keep.avi", FourCC("MJPG"), 4), 0);
  ZelVideoSampler sampler;
  ASSERT_TRUE(sampler.OpenFile(dir.File("keep.avi")));
  EXPECT_EQ(sampler.EndFrame(), 4);
  HeldImages held;
  auto& image = held.Hold(0, std::make_unique<Int3Image>());
  image.CreateWindow();
  for (int w : {20, 20, 24}) {
    image.Resize(w, 10);
    image.Fill(100);
    ASSERT_EQ(RunFrame(*saver, held), 0);
  }
  saver->Reset();
  saver->DisconnectAll();
  ASSERT_TRUE(sampler.OpenFile(dir.File("keep.avi")));
  EXPECT_EQ(sampler.EndFrame(), 1);
  int w = 0, h = 0;
  EXPECT_TRUE(sampler.FrameSize(w, h));
  EXPECT_EQ(w, 24);
  // A picture without a size is refused.
  image.Resize(0, 0);
  EXPECT_NE(RunFrame(*saver, held), 0);
  EXPECT_EQ(host.LastMessage(), "保存する映像のサイズがわかりません。");
  saver->DisconnectAll();
}

TEST_F(VideoTest, CatalogueRowsAndRecords) {
  ExpectKind<ProcVideoFile>({kVideoFileProcessId, "ProcVideoFile", "「映像」を開く...", "VideoFile", "",
                             0, 1, true, 260},
                            [&](ProcVideoFile& p) { p.params.fileName = dir.File("a.avi"); });
  ExpectKind<ProcCapture>(
      {kCaptureProcessId, "ProcCapture", "カメラに接続...", "Capture", "", 0, 1, true, 4},
      [](ProcCapture& p) { p.params.deviceIndex = 3; });
  const std::vector<std::uint8_t> bytes =
      ExpectKind<ProcSaveVideo>({kSaveVideoProcessId, "ProcSaveVideo", "「映像」を保存...",
                                 "SaveVideo", "", 1, 0, true, 280},
                                [](ProcSaveVideo& p) {
                                  p.params.fourcc = FourCC("MJPG");
                                  p.params.fps = 15;
                                });
  EXPECT_EQ(LoadI32(&bytes[kParamsOffset + 4 + 264]), FourCC("MJPG"));
  EXPECT_EQ(LoadF64(&bytes[kParamsOffset + 4 + 272]), 15.0);
}

}  // namespace
}  // namespace kandrel::testing
