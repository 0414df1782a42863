// The still-image reader: extensions and output types, numbered sequences, the reset that shows
// the first frame, the relative path in its record, and files that are missing or broken.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <sstream>

#include "app/batch_runner.h"
#include "image/hdr_image.h"
#include "image/tiff_dump.h"
#include "io/read_file.h"
#include "process/process_file.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

namespace fs = std::filesystem;

class ReadFileTest : public KandrelTest {
 protected:
  // A width × 1 PNG whose red channel holds the value, green the column, blue 7.
  std::string Png(const std::string& name, int value, int width = 3) {
    QImage image(width, 1, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) image.setPixel(x, 0, qRgb(value, x, 7));
    const std::string path = dir.File(name);
    EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
    return path;
  }

  static int Red(const ProcReadFile& reader, int x = 0) {
    const auto* rgb = As<Int3Image>(reader.GetOutput(0));
    return rgb != nullptr && rgb->Width() > x ? rgb->channels[0][0][x] : -1;
  }

  TempDir dir;
};

TEST_F(ReadFileTest, AFileIsReadAtResetAndOnEveryStep) {
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(Png("plain.png", 40));
  EXPECT_EQ(reader.Reset(), 0);
  // The reset already shows the first frame.
  const auto* rgb = As<Int3Image>(reader.GetOutput(0));
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb->Width(), 3);
  EXPECT_EQ(rgb->channels[0][0][0], 40);
  EXPECT_EQ(rgb->channels[1][0][2], 2);
  EXPECT_EQ(rgb->channels[2][0][1], 7);
  EXPECT_EQ(rgb->name, "plain.png");
  EXPECT_EQ(rgb->view, (ViewRect{0, 0, 3, 1}));
  EXPECT_EQ(reader.Status(), "Rst");
  EXPECT_EQ(reader.FrameCounter(), 0);
  EXPECT_EQ(reader.FrameCount(), 1);
  // Without numbering every frame re-reads the same file.
  Png("plain.png", 41);
  EXPECT_EQ(reader.Step(), 0);
  EXPECT_EQ(Red(reader), 41);
  EXPECT_EQ(reader.Step(), 0);
  EXPECT_EQ(reader.FrameCounter(), 2);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ReadFileTest, NumberedNamesCountUpAndLowerTheExtension) {
  ProcReadFile reader(kReadFileProcessId);
  reader.params.fileName = "/pics/A000.BMP";
  reader.params.numbered = true;
  EXPECT_EQ(reader.FrameFileName(0), "/pics/A000.bmp");
  EXPECT_EQ(reader.FrameFileName(1), "/pics/A001.bmp");
  EXPECT_EQ(reader.FrameFileName(999), "/pics/A999.bmp");
  EXPECT_EQ(reader.FrameFileName(1000), "/pics/1000.bmp");
  EXPECT_EQ(reader.FrameFileName(10000), "/pics/10000.bmp");
  reader.params.firstNumber = 7;
  EXPECT_EQ(reader.FrameFileName(5), "/pics/A012.bmp");
  reader.params.numbered = false;
  EXPECT_EQ(reader.FrameFileName(5), "/pics/A000.BMP");
}

TEST_F(ReadFileTest, ASequenceReadsOneFilePerFrameAndStopsAtAMissingOne) {
  for (int n = 0; n < 3; ++n) Png("F00" + std::to_string(n) + ".png", 10 * n);
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(dir.File("F000.png"));
  reader.params.numbered = true;
  reader.params.lastNumber = 2;
  reader.Reset();
  EXPECT_EQ(reader.FrameCount(), 3);
  for (int n = 0; n < 3; ++n) {
    ASSERT_EQ(reader.Step(), 0);
    EXPECT_EQ(Red(reader), 10 * n);
    EXPECT_EQ(reader.GetOutput(0)->name, "F00" + std::to_string(n) + ".png");
  }
  EXPECT_EQ(reader.Step(), 1);
  EXPECT_EQ(host.LastMessage(), "ReadFileがファイル" + dir.File("F003.png") + "を見つけられません。");
  EXPECT_EQ(reader.FrameCounter(), 3);
  // A last number below the first still leaves one frame.
  reader.params.lastNumber = -5;
  reader.Reset();
  EXPECT_EQ(reader.FrameCount(), 1);
}

TEST_F(ReadFileTest, CapitalExtensionsAreFoundOnACaseSensitiveDisk) {
  Png("UP000.PNG", 90);
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(dir.File("UP000.PNG"));
  reader.params.numbered = true;
  reader.Reset();
  EXPECT_EQ(Red(reader), 90);
  EXPECT_EQ(reader.GetOutput(0)->name, "UP000.png");
}

TEST_F(ReadFileTest, ABrokenFileFailsTheFrameInsteadOfPassingSilently) {
  WriteFileBytes(dir.File("broken.png"), {0x89, 'P', 'N', 'G', 0, 0});
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(dir.File("broken.png"));
  reader.Reset();
  EXPECT_EQ(host.LastMessage(), "ReadFileがファイル" + dir.File("broken.png") + "を読み込めません。");
  EXPECT_EQ(reader.Step(), 1);
}

TEST_F(ReadFileTest, ExtensionsDecideTheOutputType) {
  ProcReadFile reader(kReadFileProcessId);
  auto type = [&](const std::string& name) {
    reader.params.fileName = name;
    TypeList in{}, out{};
    return reader.InferOutputTypes(in, out) ? out[0] : 0;
  };
  EXPECT_EQ(type("a.BMP"), kTypeInt3);
  EXPECT_EQ(type("a.jpg"), kTypeInt3);
  EXPECT_EQ(type("a.gif"), kTypeInt3);
  EXPECT_EQ(type("a.yuv10"), kTypeInt3);
  EXPECT_EQ(type("a.hdr"), kTypeFloat3);
  EXPECT_EQ(type("a.jpeg"), 0);
  EXPECT_EQ(type("a.tiff"), 0);
  EXPECT_EQ(type("noextension"), 0);
  EXPECT_EQ(type(dir.File("missing.tif")), 0);

  Complex1Image complex;
  complex.Resize(2, 2);
  complex.Fill(0.5);
  ASSERT_EQ(SaveImageTIFF(complex, dir.File("c.tif")), 0);
  EXPECT_EQ(type(dir.File("c.tif")), kTypeComplex1);
  reader.SetFileName(dir.File("c.tif"));
  reader.Reset();
  const auto* read = As<Complex1Image>(reader.GetOutput(0));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->channels[0][1][1], std::complex<float>(0.5f, 0));
}

TEST_F(ReadFileTest, HdrGammaAndYuv10AttributesComeFromTheFile) {
  Float3Image hdr;
  hdr.Resize(9, 2);
  hdr.Fill(0.5);
  hdr.gamma = 1.8;
  ASSERT_EQ(SaveImageHDR(hdr, dir.File("h.hdr")), 0);
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(dir.File("h.hdr"));
  reader.Reset();
  const Image* out = reader.GetOutput(0);
  ASSERT_NE(As<Float3Image>(out), nullptr);
  EXPECT_NEAR(out->gamma, 1.8, 1e-6);
  EXPECT_EQ(As<Float3Image>(out)->channels[1][1][8], 0.5f);

  // A frame of zero bytes: luma 0, chroma −512, and YCrCb at white level 1023.
  WriteFileBytes(dir.File("f.yuv10"), std::vector<std::uint8_t>(5120 * 1080, 0));
  reader.SetFileName(dir.File("f.yuv10"));
  reader.Reset();
  const auto* yuv = As<Int3Image>(reader.GetOutput(0));
  ASSERT_NE(yuv, nullptr);
  EXPECT_EQ(yuv->colorSpace, kYCrCb);
  EXPECT_EQ(yuv->whiteLevel, 1023);
  EXPECT_EQ(yuv->channels[0].Width(), 1920);
  EXPECT_EQ(yuv->channels[1].Width(), 960);
  EXPECT_EQ(yuv->channels[2][1079][959], -512);
  // A picture read afterwards into the same output keeps what the YUV10 frame set.
  reader.SetFileName(Png("after.png", 5));
  reader.Reset();
  EXPECT_EQ(reader.GetOutput(0), yuv);
  EXPECT_EQ(yuv->colorSpace, kYCrCb);
  EXPECT_EQ(yuv->whiteLevel, 1023);
}

TEST_F(ReadFileTest, TheRecordHoldsTheRelativePathAndFollowsAMove) {
  fs::create_directories(dir.File("project/img"));
  Png("project/img/pic.png", 66);
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(dir.File("project/img/pic.png"));
  reader.params.numbered = true;
  reader.params.firstNumber = -3;
  reader.params.lastNumber = 0x01020304;
  SetLastUsedDirectory(dir.File("project"));
  MemoryStream stream;
  reader.Save(stream);
  const std::vector<std::uint8_t>& bytes = stream.Bytes();
  const std::size_t record = 4 + 4 + 148;
  ASSERT_EQ(bytes.size(), record + 4 + 272);
  EXPECT_EQ(LoadI32(&bytes[record]), 272);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[record + 4])), "img\\pic.png");
  EXPECT_EQ(bytes[record + 4 + 260], 1);
  EXPECT_EQ(bytes[record + 4 + 261] | bytes[record + 4 + 262] | bytes[record + 4 + 263], 0);
  EXPECT_EQ(LoadI32(&bytes[record + 4 + 264]), -3);
  EXPECT_EQ(LoadI32(&bytes[record + 4 + 268]), 0x01020304);
  EXPECT_EQ(reader.params.fileName, dir.File("project/img/pic.png"));  // memory keeps it absolute

  // The block comes back byte for byte: a numbered byte of 2 and whatever follows it.
  std::vector<std::uint8_t> stored = bytes;
  stored[record + 4 + 260] = 2;
  stored[record + 4 + 262] = 0xA5;
  MemoryStream storedStream(stored);
  std::unique_ptr<ProcVirtual> kept = CreateFromStream(storedStream);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(dynamic_cast<ProcReadFile&>(*kept).FrameFileName(5), dir.File("project/img/pi2.png"));
  MemoryStream again;
  kept->Save(again);
  EXPECT_EQ(again.Bytes(), stored);

  fs::rename(dir.File("project"), dir.File("moved"));
  SetLastUsedDirectory(dir.File("moved"));
  stream.Seek(0);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream);
  ASSERT_NE(loaded, nullptr);
  auto& moved = dynamic_cast<ProcReadFile&>(*loaded);
  EXPECT_EQ(moved.params.fileName, dir.File("moved/img/pic.png"));
  moved.params.numbered = false;
  moved.Reset();
  EXPECT_EQ(Red(moved), 66);
}

TEST_F(ReadFileTest, AnEmptyNameAsksForAFile) {
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName("");
  ASSERT_EQ(host.FileBoxesAsked().size(), 1u);
  EXPECT_EQ(host.FileBoxesAsked()[0].filter, "画像|*.bmp;*.jpg;*.png;*.gif;*.hdr;*.tif;*.yuv10;|全て|*.*");
  EXPECT_EQ(reader.params.fileName, "");
  host.QueueFileAnswer(dir.File("chosen.png"));
  reader.SetFileName("");
  EXPECT_EQ(reader.params.fileName, dir.File("chosen.png"));
}

TEST_F(ReadFileTest, TheWorkedExampleFileLoadsDescribesAndSavesBack) {
  const std::string picture = Png("one.png", 1);
  std::string path;
  {
    ProcModule root;
    ASSERT_EQ(root.InsertImageFile(picture), 0);
    root.OutputPort()->Connect(0, root.Child(0), 0);
    path = SaveProcessFile(&root, dir.File("example.knd"));
  }
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.size(), 908u);
  EXPECT_EQ(LoadI32(&bytes[308]), 1);
  EXPECT_EQ(LoadI32(&bytes[312]), 10001);
  EXPECT_EQ(LoadI32(&bytes[468]), 272);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[472])), "one.png");
  EXPECT_EQ(LoadI32(&bytes[744]), 148);
  EXPECT_EQ(LoadI32(&bytes[896]), 0);
  EXPECT_EQ(LoadI32(&bytes[900]), -999);
  EXPECT_EQ(LoadI32(&bytes[904]), -999);

  std::string error;
  auto options = ParseBatchArguments({"--describe", "--frames", "0", "--save", dir.File("again.knd"), path}, error);
  ASSERT_TRUE(options);
  std::ostringstream description;
  EXPECT_EQ(RunBatch(*options, host, description), kBatchOk);
  EXPECT_EQ(description.str(), "Module 0 [10003]\n  ReadFile [10001] in=\n  out=0,-999,-999\n");
  EXPECT_EQ(ReadFileBytes(dir.File("again.knd")), bytes);
}

}  // namespace
}  // namespace kandrel::testing
