// The still-image saver: the three formats, the extension that always follows the format,
// numbered names, the BMP of what the window shows, failed writes, and its record.
#include "io/save_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "image/hdr_image.h"
#include "image/picture.h"
#include "image/tiff_dump.h"
#include "io/read_file.h"
#include "process/process_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

namespace fs = std::filesystem;

class SaveFileTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    saver = std::make_unique<ProcSaveFile>(kSaveFileProcessId);
  }
  void TearDown() override {
    saver.reset();
    KandrelTest::TearDown();
  }

  ProcSaveFile& Saver(const std::string& name, std::int32_t format, bool numbered = false,
                      int firstNumber = 0) {
    saver->params.fileName = dir.File(name);
    saver->params.format = format;
    saver->params.numbered = numbered;
    saver->params.firstNumber = firstNumber;
    return *saver;
  }

  TempDir dir;
  HeldImages held;
  std::unique_ptr<ProcSaveFile> saver;
};

TEST_F(SaveFileTest, TheFormatChoosesTheExtensionAndTheWriter) {
  std::mt19937 rng(5);
  auto& image = held.Hold(0, RandomImage<Float3Image>(rng, 5, 4, 0, false));

  Saver("shot.png", ProcSaveFile::kHdr);
  ASSERT_EQ(RunFrame(*saver, held), 0);
  EXPECT_TRUE(fs::exists(dir.File("shot.hdr")));
  EXPECT_FALSE(fs::exists(dir.File("shot.png")));

  // Any format value but BMP and HDR is the full-precision dump.
  Saver("dump.hdr", 7);
  ASSERT_EQ(RunFrame(*saver, held), 0);
  Float3Image loaded;
  ASSERT_EQ(LoadImageTIFF(loaded, dir.File("dump.tif")), 0);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(SamplesOf(loaded.channels[c]), SamplesOf(image.channels[c]));

  // A name without an extension gets one.
  Saver("plain", ProcSaveFile::kTiff);
  ASSERT_EQ(RunFrame(*saver, held), 0);
  EXPECT_TRUE(fs::exists(dir.File("plain.tif")));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SaveFileTest, NumberedNamesCountFromTheFirstNumberAgainAfterAReset) {
  std::mt19937 rng(6);
  held.Hold(0, RandomImage<Int1Image>(rng, 3, 3));
  Saver("A000.tif", ProcSaveFile::kTiff, true, 5);
  for (int f = 0; f < 3; ++f) ASSERT_EQ(RunFrame(*saver, held), 0);
  for (const char* name : {"A005.tif", "A006.tif", "A007.tif"})
    EXPECT_TRUE(fs::exists(dir.File(name))) << name;
  EXPECT_FALSE(fs::exists(dir.File("A008.tif")));
  for (const char* name : {"A005.tif", "A006.tif", "A007.tif"}) fs::remove(dir.File(name));

  EXPECT_EQ(saver->Reset(), 0);
  ASSERT_EQ(RunFrame(*saver, held), 0);
  EXPECT_TRUE(fs::exists(dir.File("A005.tif")));
  EXPECT_FALSE(fs::exists(dir.File("A006.tif")));
  // A number longer than the base replaces all of it.
  Saver("ab.tif", ProcSaveFile::kTiff, true, 1234);
  EXPECT_EQ(saver->FrameFileName(0), dir.File("1234.tif"));
}

TEST_F(SaveFileTest, ComplexImagesHaveNoHdrFormButADumpThatReadsBack) {
  std::mt19937 rng(7);
  auto& image = held.Hold(0, RandomImage<Complex1Image>(rng, 4, 2));
  Saver("c.tif", ProcSaveFile::kHdr);
  EXPECT_EQ(RunFrame(*saver, held), 0);
  EXPECT_FALSE(fs::exists(dir.File("c.hdr")));
  EXPECT_TRUE(Messages().empty());

  Saver("c.bmp", ProcSaveFile::kTiff);
  ASSERT_EQ(RunFrame(*saver, held), 0);
  ProcReadFile reader(kReadFileProcessId);
  reader.SetFileName(dir.File("c.tif"));
  ASSERT_EQ(reader.Reset(), 0);
  const auto* loaded = As<Complex1Image>(reader.GetOutput(0));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(SamplesOf(loaded->channels[0]), SamplesOf(image.channels[0]));
}

TEST_F(SaveFileTest, ABmpHoldsWhatTheWindowShows) {
  auto& image = held.Hold(0, std::make_unique<Float3Image>());
  image.Resize(4, 3);
  for (int c = 0; c < 3; ++c)
    std::fill(image.channels[c].begin(), image.channels[c].end(), 0.25f * c);
  image.channels[0][0][0] = 1.0f;
  image.whiteLevel = 1;
  image.view = ViewRect{0, 0, 2, 3};  // columns 2 and 3 are dimmed

  // Without a window there is nothing to convert.
  Saver("w.bmp", ProcSaveFile::kBmp);
  EXPECT_EQ(RunFrame(*saver, held), 1);
  EXPECT_EQ(host.LastMessage(), "入力1をBMPに変換できませんでした。");
  EXPECT_FALSE(fs::exists(dir.File("w.bmp")));

  // With a (hidden) window the display is recomputed and written as it would be shown.
  image.CreateWindow();
  ASSERT_NE(image.Window(), nullptr);
  ASSERT_FALSE(image.IsWindowVisible());
  ASSERT_EQ(RunFrame(*saver, held), 0);
  Picture written;
  ASSERT_TRUE(written.Load(dir.File("w.bmp")));
  const Picture& shown = image.Window()->Display().GetPicture();
  ASSERT_EQ(written.Width(), 4);
  ASSERT_EQ(written.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      for (int b = 0; b < 3; ++b)
        EXPECT_EQ(written.ScanLine(y)[4 * x + b], shown.ScanLine(y)[4 * x + b]);
  EXPECT_EQ(written.ScanLine(0)[2], 255);  // 1.0 at white level 1, red
  // The surroundings of the view are at half brightness.
  EXPECT_EQ(written.ScanLine(1)[4 * 1], 128);  // blue 0.5
  EXPECT_NEAR(written.ScanLine(1)[4 * 3], 64, 1);
}

TEST_F(SaveFileTest, AFailedWriteNamesTheFileAndFailsTheFrame) {
  std::mt19937 rng(8);
  held.Hold(0, RandomImage<Float3Image>(rng, 2, 2, 0, false));
  for (std::int32_t format : {ProcSaveFile::kTiff, ProcSaveFile::kHdr}) {
    host.ClearMessages();
    Saver("missing/out", format);
    EXPECT_EQ(RunFrame(*saver, held), 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(host.LastMessage(),
              "SaveFileがファイル" + saver->FrameFileName(0) + "を書き込めません。");
  }
  held.GetOutput(0)->CreateWindow();
  Saver("missing/out", ProcSaveFile::kBmp);
  EXPECT_EQ(RunFrame(*saver, held), 1);
  EXPECT_EQ(host.LastMessage(),
            "SaveFileがファイル" + dir.File("missing/out.bmp") + "を書き込めません。");

  // Without a linked input nothing runs.
  host.ClearMessages();
  saver->Disconnect(0);
  EXPECT_NE(saver->Step(), 0);
}

TEST_F(SaveFileTest, ASaveOntoAFullDiskKeepsTheEarlierFileAndNamesTheNewOne) {
  OnSmallFileSystem(dir.Path(), 256 * 1024, [&] {
    std::mt19937 rng(9);
    const struct {
      std::int32_t format;
      const char* name;
    } formats[] = {{ProcSaveFile::kBmp, "a.bmp"},
                   {ProcSaveFile::kHdr, "a.hdr"},
                   {ProcSaveFile::kTiff, "a.tif"}};
    held.Hold(0, RandomImage<Float3Image>(rng, 4, 4, 0, false)).CreateWindow();
    for (const auto& f : formats) ASSERT_EQ(RunFrame(Saver(f.name, f.format), held), 0) << f.name;
    ProcModule graph;
    const std::string graphFile = dir.File("g.knd");
    ASSERT_EQ(SaveProcessFile(&graph, graphFile), graphFile);

    std::vector<std::vector<std::uint8_t>> earlier;
    for (const auto& f : formats) earlier.push_back(ReadFileBytes(dir.File(f.name)));
    const std::vector<std::uint8_t> earlierGraph = ReadFileBytes(graphFile);
    held.Hold(0, RandomImage<Float3Image>(rng, 64, 64, 0, false)).CreateWindow();
    FillFileSystem(dir.Path());
    for (std::size_t i = 0; i < std::size(formats); ++i) {
      host.ClearMessages();
      EXPECT_EQ(RunFrame(Saver(formats[i].name, formats[i].format), held), 1) << formats[i].name;
      EXPECT_EQ(host.LastMessage(),
                "SaveFileがファイル" + dir.File(formats[i].name) + "を書き込めません。");
      EXPECT_EQ(ReadFileBytes(dir.File(formats[i].name)), earlier[i]) << formats[i].name;
    }
    graph.SetName("Bigger than the free space");
    EXPECT_EQ(SaveProcessFile(&graph, graphFile), "");
    EXPECT_EQ(ReadFileBytes(graphFile), earlierGraph);
    // Nothing half-written stays beside the targets.
    for (const auto& entry : fs::directory_iterator(dir.Path()))
      EXPECT_NE(entry.path().extension(), ".saving") << entry.path();
  });
}

TEST_F(SaveFileTest, TheRecordStoresThePathRelativeToTheProcessFile) {
  const std::string previous = LastUsedDirectory();
  SetLastUsedDirectory(dir.Path());
  ProcSaveFile fresh(kSaveFileProcessId);
  EXPECT_EQ(fresh.params.fileName, dir.File("NoName"));
  EXPECT_EQ(fresh.params.format, ProcSaveFile::kBmp);
  EXPECT_FALSE(fresh.params.numbered);

  Saver("sub/A000.bmp", ProcSaveFile::kHdr, true, 12);
  MemoryStream stream;
  ASSERT_EQ(saver->SaveParams(stream), 0);
  const std::vector<std::uint8_t> bytes = stream.Bytes();
  ASSERT_GE(bytes.size(), 276u);
  const std::size_t record = bytes.size() - 276;
  EXPECT_EQ(LoadI32(&bytes[record]), 272);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[record + 4])), "sub\\A000.bmp");
  EXPECT_EQ(LoadI32(&bytes[record + 4 + 260]), 1);
  EXPECT_EQ(LoadI32(&bytes[record + 4 + 264]), ProcSaveFile::kHdr);
  EXPECT_EQ(LoadI32(&bytes[record + 4 + 268]), 12);

  stream.Seek(0);
  ProcSaveFile loaded(kSaveFileProcessId);
  ASSERT_EQ(loaded.LoadParams(stream), 0);
  EXPECT_EQ(loaded.params.fileName, dir.File("sub/A000.bmp"));
  EXPECT_TRUE(loaded.params.numbered);
  EXPECT_EQ(loaded.params.format, ProcSaveFile::kHdr);
  EXPECT_EQ(loaded.params.firstNumber, 12);

  // Any nonzero numbered value counts, and is written back as it was stored.
  for (const std::int32_t numbered : {256, 2, -1}) {
    std::vector<std::uint8_t> stored = bytes;
    StoreI32(&stored[record + 4 + 260], numbered);
    MemoryStream in(stored);
    ProcSaveFile kept(kSaveFileProcessId);
    ASSERT_EQ(kept.LoadParams(in), 0);
    EXPECT_EQ(kept.FrameFileName(1), dir.File("sub/A013.hdr")) << numbered;
    MemoryStream out;
    kept.SaveParams(out);
    EXPECT_EQ(out.Bytes(), stored) << numbered;
  }
  SetLastUsedDirectory(previous);
}

}  // namespace
}  // namespace kandrel::testing
