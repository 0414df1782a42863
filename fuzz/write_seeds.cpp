// Writes the seed corpus of every fuzz target: small files of each format, made with the
// program's own writers (and OpenCV's for the compressed pictures and video), into one folder
// per target. Run again when a format grows: `kandrel_fuzz_seeds fuzz/corpus`.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "blocks/all_kinds.h"
#include "blocks/analysis/sr_dictionary.h"
#include "blocks/pixel/frame_control.h"
#include "image/byte_stream.h"
#include "image/hdr_image.h"
#include "image/image.h"
#include "image/picture.h"
#include "image/tiff_dump.h"
#include "io/avi_writer.h"
#include "process/headless_host.h"
#include "process/host.h"
#include "process/process_file.h"

namespace kandrel {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A smooth picture with some detail: something for every codec and the learner to work on.
int Sample(int x, int y, int c) { return (x * 29 + y * 13 + c * 80 + (x * y) % 7 * 9) % 256; }

Picture TestPicture(int width, int height) {
  Picture picture;
  picture.Create(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c)
        picture.ScanLine(y)[4 * x + c] = static_cast<std::uint8_t>(c == 3 ? 0 : Sample(x, y, c));
  return picture;
}

cv::Mat TestMat(int width, int height) {
  cv::Mat mat(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        mat.at<cv::Vec3b>(y, x)[c] = static_cast<std::uint8_t>(Sample(x, y, c));
  return mat;
}

template <class I>
void FillImage(I& image, int width, int height) {
  image.Resize(width, height);
  for (std::size_t c = 0; c < image.channels.size(); ++c)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        using Sample_ = std::remove_reference_t<decltype(image.channels[c][y][x])>;
        image.channels[c][y][x] = Sample_(Sample(x, y, static_cast<int>(c)) / 64.0);
      }
  image.whiteLevel = 4;
}

void ProcessFiles(const fs::path& folder) {
  ProcModule empty;
  SaveProcessFile(&empty, (folder / "empty.knd").string());
}

void HdrFiles(const fs::path& folder) {
  Float3Image flat, runs;
  FillImage(flat, 5, 3);  // too narrow for run-length scanlines
  FillImage(runs, 20, 2);
  SaveImageHDR(flat, (folder / "flat.hdr").string());
  SaveImageHDR(runs, (folder / "runs.hdr").string());
}

void Yuv10Files(const fs::path& folder) {
  // Two rows of a frame; the rest reads as zeros.
  std::vector<std::uint8_t> bytes(2 * 5120);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 % 256);
  WriteBytes(folder / "rows.yuv10", bytes);
}

void TiffFiles(const fs::path& folder) {
  Int1Image i1;
  Float3Image f3;
  Complex1Image c1;
  FillImage(i1, 3, 2);
  FillImage(f3, 4, 3);
  c1.Resize(2, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) c1.channels[0][y][x] = {float(x), float(-y)};
  SaveImageTIFF(i1, (folder / "int1.tif").string());
  SaveImageTIFF(f3, (folder / "float3.tif").string());
  SaveImageTIFF(c1, (folder / "complex1.tif").string());
}

void PictureFiles(const fs::path& folder) {
  WriteBytes(folder / "picture.bmp", TestPicture(5, 3).EncodeBmp());
  std::vector<std::uint8_t> encoded;
  cv::imencode(".png", TestMat(6, 4), encoded);
  WriteBytes(folder / "picture.png", encoded);
  cv::imencode(".jpg", TestMat(9, 8), encoded);
  WriteBytes(folder / "picture.jpg", encoded);
  // A 2 × 1 GIF of two colours, by hand: OpenCV writes no GIF.
  WriteBytes(folder / "picture.gif",
             {'G',  'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0xFF, 0,    0, 0,  0,
              0xFF, ',', 0,   0,   0,   0,   2, 0, 1, 0, 0,    2, 2, 0x44, 0x0A, 0, ';'});
}

void PasteFiles(const fs::path& folder) {
  WriteBytes(folder / "small.bmp", TestPicture(3, 2).EncodeBmp());
}

void VideoFiles(const fs::path& folder) {
  AviWriter avi;
  const Picture frame = TestPicture(8, 6);
  if (avi.Open((folder / "dib.avi").string(), 8, 6, 10)) {
    avi.WriteFrame(frame);
    avi.WriteFrame(frame);
    avi.Close();
  }
  cv::VideoWriter mjpeg((folder / "mjpeg.avi").string(),
                        cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 10, cv::Size(16, 8));
  for (int f = 0; f < 2; ++f) mjpeg.write(TestMat(16, 8));
}

void DictionaryFiles(const fs::path& folder) {
  FloatArray grey(16, 12);
  for (int y = 0; y < grey.Height(); ++y)
    for (int x = 0; x < grey.Width(); ++x) grey[y][x] = static_cast<float>(Sample(x, y, 0));
  const LearnedDictionary learned = LearnDictionary({grey}, 3);
  FileStream file;
  if (!file.Open((folder / "small.dic").string(), FileStream::Mode::kWrite)) return;
  WriteDictionary(learned.header, learned.tree, file);
  file.Close();
}

// One stage of one two-rectangle feature over an 8 × 8 window, in OpenCV's cascade format.
constexpr const char* kCascade = R"(<?xml version="1.0"?>
<opencv_storage>
<cascade>
  <stageType>BOOST</stageType>
  <featureType>HAAR</featureType>
  <height>8</height>
  <width>8</width>
  <stageParams>
    <maxWeakCount>1</maxWeakCount></stageParams>
  <featureParams>
    <maxCatCount>0</maxCatCount></featureParams>
  <stageNum>1</stageNum>
  <stages>
    <_>
      <maxWeakCount>1</maxWeakCount>
      <stageThreshold>-1.</stageThreshold>
      <weakClassifiers>
        <_>
          <internalNodes>
            0 -1 0 1.0e-02</internalNodes>
          <leafValues>
            -5.0e-01 5.0e-01</leafValues></_></weakClassifiers></_></stages>
  <features>
    <_>
      <rects>
        <_>
          0 0 8 4 -1.</_>
        <_>
          0 4 8 4 1.</_></rects></_></features></cascade>
</opencv_storage>
)";

void CascadeFiles(const fs::path& folder) { std::ofstream(folder / "one_stage.xml") << kCascade; }

}  // namespace
}  // namespace kandrel

int main(int argc, char** argv) {
  using namespace kandrel;
  if (argc != 2) {
    std::fprintf(stderr, "usage: kandrel_fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  RegisterAllKinds();
  HeadlessHost host;
  SetHost(&host);
  const fs::path root = argv[1];
  const std::pair<const char*, void (*)(const fs::path&)> targets[] = {
      {"process_file", ProcessFiles}, {"rgbe", HdrFiles},
      {"yuv10", Yuv10Files},          {"tiff_dump", TiffFiles},
      {"picture", PictureFiles},      {"paste_bmp", PasteFiles},
      {"video_file", VideoFiles},     {"sr_dictionary", DictionaryFiles},
      {"cascade", CascadeFiles}};
  for (const auto& [name, write] : targets) {
    fs::create_directories(root / name);
    write(root / name);
  }
  SetHost(nullptr);
  return 0;
}
