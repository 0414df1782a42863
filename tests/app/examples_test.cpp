// The bundled example graphs that need no outside files: each file holds the graph built here
// (KANDREL_WRITE_DEMO=1 rewrites them after a deliberate change), and each runs headless through
// the real executable with the results it is meant to teach.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "blocks/analysis/psnr.h"
#include "blocks/analysis/stereo_matching.h"
#include "blocks/filter/convolution.h"
#include "blocks/filter/gabor.h"
#include "blocks/filter/nlmeans.h"
#include "blocks/filter/total_variation.h"
#include "blocks/geometry/xy_transform.h"
#include "blocks/motion/motion_search.h"
#include "blocks/motion/movable_tiling.h"
#include "blocks/pixel/arithmetic.h"
#include "blocks/pixel/frame_control.h"
#include "blocks/pixel/pattern.h"
#include "blocks/pixel/tone.h"
#include "blocks/pixel/type_conversion.h"
#include "blocks/transform/dct8x8.h"
#include "blocks/transform/fft.h"
#include "blocks/transform/subband.h"
#include "image/tiff_dump.h"
#include "io/save_video.h"
#include "io/video_file.h"
#include "io/video_sampler.h"
#include "process/catalogue.h"
#include "process/proc_module.h"
#include "process/process_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

namespace fs = std::filesystem;

std::string ExampleFile(const std::string& name) {
  return std::string(KANDREL_SOURCE_DIR) + "/examples/" + name;
}

// The saved graph is the bundled file, byte for byte.
void ExpectBundled(ProcModule& root, const std::string& name) {
  MemoryStream expected;
  root.Save(expected);
  if (std::getenv("KANDREL_WRITE_DEMO") != nullptr)
    WriteFileBytes(ExampleFile(name), expected.Bytes());
  EXPECT_EQ(ReadFileBytes(ExampleFile(name)), expected.Bytes()) << name;
}

ProcSineWave* AddPattern(ProcModule& root, const char* name, int x, int y) {
  auto* pattern = AddChild<ProcSineWave>(root, kSineWaveProcessId);
  pattern->SetName(name);
  pattern->SetIconPosition(x, y);
  return pattern;
}

// A counter made of a feedback loop: the adder adds a flat field of ones to what the frame buffer
// kept from the previous frame, so the buffer shows 0, 1, 2, … frame by frame.
std::unique_ptr<ProcModule> FeedbackGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Feedback");
  ProcSineWave* one = AddPattern(*root, "One", 40, 20);
  one->params.width = 64;
  one->params.height = 48;
  one->params.intOutput = 1;
  one->params.patternKind = ProcSineWave::kFlat;
  one->params.flatValue = 1.0;
  auto* count = AddChild<ProcFrameBuffer>(*root, kFrameBufferProcessId);
  count->SetName("Count");
  count->params = {kTypeInt1, 64, 48, 0.0};
  count->SetIconPosition(200, 120);
  ProcVirtual* adder = AddChild(*root, kAdderProcessId);
  adder->SetIconPosition(200, 20);
  adder->Connect(0, count, 0);
  adder->Connect(1, one, 0);
  count->Connect(0, adder, 0);
  root->OutputPort()->Connect(0, count, 0);
  root->OutputPort()->Connect(1, adder, 0);
  return root;
}

// Test patterns and what tone and frame control do to them: a zone plate gamma-encoded and with
// its contrast raised, its two interlaced fields, and a switch that shows the zone plate for two
// frames and the contrast chart for three.
std::unique_ptr<ProcModule> PatternsGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Patterns");
  ProcSineWave* plate = AddPattern(*root, "ZonePlate", 40, 20);
  plate->params.width = 256;
  plate->params.height = 192;
  plate->params.patternKind = ProcSineWave::kZonePlate;
  ProcSineWave* chart = AddPattern(*root, "Chart", 40, 120);
  chart->params.width = 256;
  chart->params.height = 192;
  chart->params.patternKind = ProcSineWave::kChart;
  auto* gamma = AddChild<ProcGammaDbl>(*root, kGammaProcessId);
  gamma->params.direction = ProcGammaDbl::kGamma;
  gamma->Connect(0, plate, 0);
  gamma->SetIconPosition(200, 20);
  auto* contrast = AddChild<ProcContrast>(*root, kContrastProcessId);
  contrast->params = {2.0, -0.5};
  contrast->Connect(0, plate, 0);
  contrast->SetIconPosition(200, 74);
  ProcVirtual* fields = AddChild(*root, kInterlaceProcessId);
  fields->Connect(0, plate, 0);
  fields->SetIconPosition(200, 128);
  auto* toggle = AddChild<ProcPeriodSwitch>(*root, kPeriodSwitchProcessId);
  toggle->params = {2, 3};
  toggle->Connect(0, plate, 0);
  toggle->Connect(1, chart, 0);
  toggle->SetIconPosition(200, 182);
  root->OutputPort()->Connect(0, gamma, 0);
  root->OutputPort()->Connect(1, contrast, 0);
  root->OutputPort()->Connect(2, toggle, 0);
  return root;
}

// A small image pipeline sketched for hardware: a pattern source, a module that mixes the
// input with its contrast-raised copy, and an interlace splitter; its Verilog text wires cells
// Contrast_INT, Adder_INT and Interlace_INT.
std::unique_ptr<ProcModule> HardwareGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Hardware");
  ProcSineWave* source = AddPattern(*root, "Source", 40, 20);
  source->params.width = 64;
  source->params.height = 48;
  source->params.intOutput = 1;
  auto* stage = AddChild<ProcModule>(*root, kModuleProcessId);
  stage->SetName("Boost");
  stage->SetIconPosition(200, 20);
  stage->SetInputCount(1);
  stage->SetOutputCount(1);
  stage->Connect(0, source, 0);
  auto* contrast = AddChild<ProcContrast>(*stage, kContrastProcessId);
  contrast->params = {2.0, -64.0};
  contrast->Connect(0, stage->InputPort(), 0);
  contrast->SetIconPosition(90, 20);
  ProcVirtual* adder = AddChild(*stage, kAdderProcessId);
  adder->Connect(0, stage->InputPort(), 0);
  adder->Connect(1, contrast, 0);
  adder->SetIconPosition(220, 20);
  stage->OutputPort()->Connect(0, adder, 0);
  ProcVirtual* fields = AddChild(*root, kInterlaceProcessId);
  fields->Connect(0, stage, 0);
  fields->SetIconPosition(360, 20);
  root->OutputPort()->Connect(0, fields, 0);
  root->OutputPort()->Connect(1, fields, 1);
  return root;
}

// Three transforms of generated patterns, each with what it teaches: the spectrum of a cosine
// grating (two peaks either side of the centred DC term), a zone plate coded and decoded by
// the 8 × 8 DCT with the MPEG table at twice its scale (block artefacts, about 25 dB), and its
// three-level wavelet pyramid undone again.
std::unique_ptr<ProcModule> TransformsGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Transforms");
  root->SetOutputCount(6);
  ProcSineWave* grating = AddPattern(*root, "Grating", 40, 20);
  grating->params.width = 128;
  grating->params.height = 96;
  grating->params.cyclesPerWidth = 8;
  grating->params.cyclesPerHeight = 4;
  ProcVirtual* toComplex = AddChild(*root, kToComplexProcessId);
  toComplex->Connect(0, grating, 0);
  toComplex->SetIconPosition(160, 20);
  auto* fft = AddChild<ProcFFT>(*root, kFftProcessId);
  fft->params.centerOrigin = 1;
  fft->Connect(0, toComplex, 0);
  fft->SetIconPosition(280, 20);
  ProcVirtual* magnitude = AddChild(*root, kExtractAbsProcessId);
  magnitude->Connect(0, fft, 0);
  magnitude->SetIconPosition(400, 20);

  ProcSineWave* plate = AddPattern(*root, "ZonePlate", 40, 120);
  plate->params.width = 128;
  plate->params.height = 96;
  plate->params.intOutput = 1;
  plate->params.patternKind = ProcSineWave::kZonePlate;
  auto* code = AddChild<ProcDCT8x8>(*root, kDct8x8ProcessId);
  code->params.quantTable = kMpegIntraQuantTable;
  code->params.qScale = 2;
  code->Connect(0, plate, 0);
  code->SetIconPosition(160, 120);
  auto* decode = AddChild<ProcDCT8x8>(*root, kDct8x8ProcessId);
  decode->params = code->params;
  decode->params.inverse = 1;
  decode->Connect(0, code, 0);
  decode->SetIconPosition(280, 120);

  auto* pyramid = AddChild<ProcWavelet>(*root, kWaveletProcessId);
  pyramid->params.levels = 3;
  pyramid->Connect(0, plate, 0);
  pyramid->SetIconPosition(160, 220);
  auto* rebuilt = AddChild<ProcWavelet>(*root, kWaveletProcessId);
  rebuilt->params = pyramid->params;
  rebuilt->params.inverse = 1;
  rebuilt->Connect(0, pyramid, 0);
  rebuilt->SetIconPosition(280, 220);

  root->OutputPort()->Connect(0, magnitude, 0);
  root->OutputPort()->Connect(1, code, 0);
  root->OutputPort()->Connect(2, decode, 0);
  root->OutputPort()->Connect(3, pyramid, 0);
  root->OutputPort()->Connect(4, rebuilt, 0);
  root->OutputPort()->Connect(5, plate, 0);
  return root;
}

// The filters on a zone plate, whose local frequency grows from its centre outward: a Gabor kernel
// of period 4 picks out the columns where the rings run at that frequency, the 3 × 3 mean and
// the median smooth it, non-local means averages it where blocks look alike, and total
// variation splits it into structure (u) and texture (f − u).
std::unique_ptr<ProcModule> FiltersGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Filters");
  root->SetOutputCount(8);
  ProcSineWave* plate = AddPattern(*root, "ZonePlate", 40, 20);
  plate->params.width = 128;
  plate->params.height = 96;
  plate->params.patternKind = ProcSineWave::kZonePlate;
  ProcSineWave* platePixels = AddPattern(*root, "ZonePlateInt", 40, 220);
  platePixels->params = plate->params;
  platePixels->params.intOutput = 1;

  auto* gabor = AddChild<ProcGaborFilter>(*root, kGaborFilterProcessId);
  gabor->params = {15, 15, 0.0, 3.0, 4.0, 1.0, ProcGaborFilter::kRealPart, 0};
  gabor->SetIconPosition(40, 120);
  auto* tuned = AddChild<ProcConvolution>(*root, kConvolutionProcessId);
  tuned->params.centered = 1;
  tuned->Connect(0, plate, 0);
  tuned->Connect(1, gabor, 0);
  tuned->SetIconPosition(200, 20);
  auto* mean = AddChild<ProcCustomFilter5x5>(*root, kCustomFilter5x5ProcessId);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x)
      mean->params.coef[y][x] = x >= 1 && x <= 3 && y >= 1 && y <= 3 ? 1 : 0;
  mean->params.scale = 9;
  mean->Connect(0, platePixels, 0);
  mean->SetIconPosition(200, 220);
  ProcVirtual* median = AddChild(*root, kMedianProcessId);
  median->Connect(0, platePixels, 0);
  median->SetIconPosition(200, 280);
  auto* nlm = AddChild<ProcNLMeans>(*root, kNLMeansProcessId);
  nlm->Connect(0, platePixels, 0);
  nlm->SetIconPosition(200, 340);
  auto* tv = AddChild<ProcTotalVariation>(*root, kTotalVariationProcessId);
  tv->params.lambda = 0.05;
  tv->Connect(0, plate, 0);
  tv->SetIconPosition(200, 120);

  root->OutputPort()->Connect(0, tuned, 0);
  root->OutputPort()->Connect(1, mean, 0);
  root->OutputPort()->Connect(2, median, 0);
  root->OutputPort()->Connect(3, nlm, 0);
  root->OutputPort()->Connect(4, tv, 0);
  root->OutputPort()->Connect(5, tv, 1);
  root->OutputPort()->Connect(6, platePixels, 0);
  root->OutputPort()->Connect(7, plate, 0);
  return root;
}

// The Julia map iterated one step per frame: a switch feeds the zone plate in on the first frame
// and the frame buffer's copy of the last output on every later one, so frame n shows the plate
// carried n + 1 times through z → z² + A.
std::unique_ptr<ProcModule> JuliaGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Julia");
  ProcSineWave* plate = AddPattern(*root, "ZonePlate", 40, 20);
  plate->params.width = 128;
  plate->params.height = 128;
  plate->params.patternKind = ProcSineWave::kZonePlate;
  auto* last = AddChild<ProcFrameBuffer>(*root, kFrameBufferProcessId);
  last->SetName("Last");
  last->params = {kTypeFloat1, 128, 128, 0.0};
  last->SetIconPosition(40, 120);
  auto* start = AddChild<ProcPeriodSwitch>(*root, kPeriodSwitchProcessId);
  start->params = {1, 1000000};
  start->Connect(0, plate, 0);
  start->Connect(1, last, 0);
  start->SetIconPosition(200, 20);
  auto* julia = AddChild<ProcJulia>(*root, kJuliaProcessId);
  julia->params = {-0.8, 0.156};
  julia->Connect(0, start, 0);
  julia->SetIconPosition(360, 20);
  last->Connect(0, julia, 0);
  root->OutputPort()->Connect(0, julia, 0);
  return root;
}

// The moving plate with its motion found block by block against the frame before and the frame
// rebuilt from those vectors: the residual is zero wherever the picture moved inside the frame. A
// zone plate that a feedback loop moves by (2, 1) every frame: the switch feeds the plate in on the
// first frame and the frame buffer's copy of the last moved picture afterwards. The Move.
ProcMove* AddMovingPlate(ProcModule& root, ProcFrameBuffer*& previous) {
  ProcSineWave* plate = AddPattern(root, "ZonePlate", 40, 20);
  plate->params.width = 128;
  plate->params.height = 96;
  plate->params.intOutput = 1;
  plate->params.patternKind = ProcSineWave::kZonePlate;
  previous = AddChild<ProcFrameBuffer>(root, kFrameBufferProcessId);
  previous->SetName("Previous");
  previous->params = {kTypeInt1, 128, 96, 0.0};
  previous->SetIconPosition(40, 120);
  auto* start = AddChild<ProcPeriodSwitch>(root, kPeriodSwitchProcessId);
  start->params = {1, 1000000};
  start->Connect(0, plate, 0);
  start->Connect(1, previous, 0);
  start->SetIconPosition(200, 20);
  auto* move = AddChild<ProcMove>(root, kMoveProcessId);
  move->params = {2, 1, 0, 0, 0};
  move->Connect(0, start, 0);
  move->SetIconPosition(360, 20);
  previous->Connect(0, move, 0);
  return move;
}

std::unique_ptr<ProcModule> MotionGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Motion");
  root->SetOutputCount(4);
  ProcFrameBuffer* last = nullptr;
  ProcMove* move = AddMovingPlate(*root, last);
  auto* search = AddChild<ProcMotionSearch>(*root, kMotionSearchProcessId);
  search->Connect(0, move, 0);
  search->Connect(1, last, 0);
  search->SetIconPosition(360, 120);
  auto* tiling = AddChild<ProcMovableTiling>(*root, kMovableTilingProcessId);
  tiling->Connect(0, search, 0);
  tiling->Connect(1, last, 0);
  tiling->SetIconPosition(520, 120);
  auto* residual = AddChild<ProcDifference>(*root, kDifferenceProcessId);
  residual->SetName("Residual");
  residual->Connect(0, move, 0);
  residual->Connect(1, tiling, 0);
  residual->SetIconPosition(520, 20);
  root->OutputPort()->Connect(0, move, 0);
  root->OutputPort()->Connect(1, search, 0);
  root->OutputPort()->Connect(2, tiling, 0);
  root->OutputPort()->Connect(3, residual, 0);
  return root;
}

// The moving plate recorded as an uncompressed AVI beside the process file.
std::unique_ptr<ProcModule> VideoGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Video");
  ProcFrameBuffer* previous = nullptr;
  ProcMove* move = AddMovingPlate(*root, previous);
  auto* recorder = AddChild<ProcSaveVideo>(*root, kSaveVideoProcessId);
  recorder->params.fileName = (fs::path(LastUsedDirectory()) / "moving.avi").string();
  recorder->params.fps = 15;
  recorder->Connect(0, move, 0);
  recorder->SetIconPosition(520, 20);
  root->OutputPort()->Connect(0, move, 0);
  return root;
}

// A zone plate and its copy moved 6 pixels to the left, as the left and right views of a stereo
// pair: the block matcher finds the disparity 6 wherever the rings give it texture, and PSNR
// measures how far the two views differ, one line per frame.
std::unique_ptr<ProcModule> AnalysisGraph() {
  auto root = std::make_unique<ProcModule>();
  root->SetName("Analysis");
  ProcSineWave* plate = AddPattern(*root, "ZonePlate", 40, 20);
  plate->params.width = 256;
  plate->params.height = 128;
  plate->params.intOutput = 1;
  plate->params.patternKind = ProcSineWave::kZonePlate;
  auto* right = AddChild<ProcMove>(*root, kMoveProcessId);
  right->SetName("RightView");
  right->params = {-6, 0, 0, 0, 0};
  right->Connect(0, plate, 0);
  right->SetIconPosition(200, 20);
  auto* stereo = AddChild<ProcStereoMatching>(*root, kStereoMatchingProcessId);
  stereo->params.numberOfDisparities = 16;
  stereo->Connect(0, plate, 0);
  stereo->Connect(1, right, 0);
  stereo->SetIconPosition(360, 20);
  auto* psnr = AddChild<ProcPSNR>(*root, kPsnrProcessId);
  psnr->Connect(0, plate, 0);
  psnr->Connect(1, right, 0);
  psnr->SetIconPosition(360, 120);
  root->OutputPort()->Connect(0, stereo, 0);
  root->OutputPort()->Connect(1, right, 0);
  return root;
}

// Runs the executable on the file with the arguments; its exit status.
int RunExecutable(const std::string& arguments) {
  const std::string command = std::string(KANDREL_BINARY) + " --batch " + arguments + " 2>&1";
  return std::system(command.c_str());
}

class ExamplesTest : public KandrelTest {
 protected:
  TempDir dir;
};

TEST_F(ExamplesTest, TheFeedbackLoopCountsFrameByFrame) {
  std::unique_ptr<ProcModule> root = FeedbackGraph();
  ExpectBundled(*root, "feedback.knd");
  ASSERT_EQ(
      RunExecutable("--frames 5 --out " + dir.File("out") + " " + ExampleFile("feedback.knd")), 0);
  for (int frame = 0; frame < 5; ++frame) {
    Int1Image count;
    char name[32];
    std::snprintf(name, sizeof name, "out/out1_%04d.tif", frame);
    ASSERT_EQ(LoadImageTIFF(count, dir.File(name)), 0) << name;
    ASSERT_EQ(count.Width(), 64);
    for (int s : count.channels[0]) ASSERT_EQ(s, frame) << name;
  }
}

TEST_F(ExamplesTest, ThePatternsRunWithoutAPicture) {
  std::unique_ptr<ProcModule> root = PatternsGraph();
  ExpectBundled(*root, "patterns.knd");
  ASSERT_EQ(
      RunExecutable("--frames 6 --out " + dir.File("out") + " " + ExampleFile("patterns.knd")), 0);
  // The switch's output: the zone plate (its centre 1) at frames 0, 1 and 5, the chart else.
  for (int frame = 0; frame < 6; ++frame) {
    Float1Image shown;
    char name[32];
    std::snprintf(name, sizeof name, "out/out3_%04d.tif", frame);
    ASSERT_EQ(LoadImageTIFF(shown, dir.File(name)), 0) << name;
    const bool plate = frame % 5 < 2;
    EXPECT_EQ(shown.channels[0][96][128] == 1.0f, plate) << frame;
  }
}

TEST_F(ExamplesTest, TheHardwareSketchGivesItsVerilog) {
  std::unique_ptr<ProcModule> root = HardwareGraph();
  ExpectBundled(*root, "hardware.knd");
  const std::string sv = dir.File("hardware.sv");
  ASSERT_EQ(RunExecutable("--frames 1 --verilog " + sv + " " + ExampleFile("hardware.knd")), 0);
  const std::vector<std::uint8_t> bytes = ReadFileBytes(sv);
  const std::string text(bytes.begin(), bytes.end());
  for (const char* cell : {"\tContrast_INT\tProc1( iPixClk, ", "\tAdder_INT\tProc1( iPixClk, ",
                           "\tInterlace_INT\tProc1( iPixClk, "})
    EXPECT_NE(text.find(cell), std::string::npos) << cell;
  EXPECT_NE(text.find("\t\t\t\tExt_In1_INT,\r\n\t\t\t\tExt_In1_Sync,\r\n\t\t\t\tProc1_O1_INT,"),
            std::string::npos);  // the adder reads the module input and the contrast
}

TEST_F(ExamplesTest, TheTransformsShowASpectrumBlocksAndAPyramid) {
  std::unique_ptr<ProcModule> root = TransformsGraph();
  ExpectBundled(*root, "transforms.knd");
  ASSERT_EQ(
      RunExecutable("--frames 1 --out " + dir.File("out") + " " + ExampleFile("transforms.knd")),
      0);
  const auto load = [&](auto& image, int k) {
    ASSERT_EQ(LoadImageTIFF(image, dir.File("out/out" + std::to_string(k) + "_0000.tif")), 0) << k;
  };
  // The grating 0.5 + 0.5 cos(2π(8x/128 + 4y/96)): DC √(128·96)/2 at the centre (64, 48) and
  // √(128·96)/4 at (64 ± 8, 48 ± 4), nothing else.
  Float1Image spectrum;
  load(spectrum, 1);
  const double dc = std::sqrt(128.0 * 96.0) / 2;
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 128; ++x) {
      const bool peak = (x == 72 && y == 52) || (x == 56 && y == 44);
      const double expected = x == 64 && y == 48 ? dc : peak ? dc / 2 : 0.0;
      ASSERT_NEAR(spectrum.channels[0][y][x], expected, 1e-3) << x << ", " << y;
    }
  }
  // Decoded blocks stay near the zone plate. The Int pyramid holds rounded coefficients, so the
  // rebuilt plate is off by a few levels at most.
  Int1Image plate, decoded, rebuilt;
  load(plate, 6);
  load(decoded, 3);
  load(rebuilt, 5);
  double squared = 0;
  int largest = 0;
  for (std::size_t i = 0; i < plate.channels[0].SampleCount(); ++i) {
    const int error = decoded.channels[0].begin()[i] - plate.channels[0].begin()[i];
    squared += error * error;
    largest =
        std::max(largest, std::abs(rebuilt.channels[0].begin()[i] - plate.channels[0].begin()[i]));
  }
  const double psnr = 10 * std::log10(255.0 * 255.0 * 128 * 96 / squared);
  EXPECT_GT(psnr, 22.0);
  EXPECT_LT(psnr, 40.0);  // coarse enough to see
  EXPECT_LE(largest, 4);
}

TEST_F(ExamplesTest, TheFiltersTuneSmoothAndSplitAZonePlate) {
  std::unique_ptr<ProcModule> root = FiltersGraph();
  ExpectBundled(*root, "filters.knd");
  ASSERT_EQ(RunExecutable("--frames 1 --out " + dir.File("out") + " " + ExampleFile("filters.knd")),
            0);
  const auto load = [&](auto& image, int k) {
    ASSERT_EQ(LoadImageTIFF(image, dir.File("out/out" + std::to_string(k) + "_0000.tif")), 0) << k;
  };
  Float1Image tuned, u, v, plate;
  Int1Image mean, median, nlm, pixels;
  load(tuned, 1), load(mean, 2), load(median, 3), load(nlm, 4), load(u, 5), load(v, 6);
  load(pixels, 7), load(plate, 8);
  // Along the middle row the rings run at 1/4 cycle per pixel 32 samples either side of the
  // centre: that is where the kernel of period 4 answers most.
  int strongest = 0;
  for (int x = 0; x < 128; ++x)
    if (std::fabs(tuned.channels[0][48][x]) > std::fabs(tuned.channels[0][48][strongest]))
      strongest = x;
  EXPECT_LE(std::abs(std::abs(strongest - 64) - 32), 6) << strongest;
  // The mean is the truncated average of each 3 × 3 neighbourhood.
  const IntArray& p = pixels.channels[0];
  for (const auto& [x, y] : {std::pair{10, 10}, {64, 48}, {100, 80}}) {
    int sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) sum += p[y + dy][x + dx];
    EXPECT_EQ(mean.channels[0][y][x], sum / 9) << x << ", " << y;
  }
  for (const Int1Image* out : {&median, &nlm}) EXPECT_TRUE(out->channels[0].SameSize(p));
  // Structure and texture add up to the picture.
  const FloatArray& f = plate.channels[0];
  for (std::size_t i = 0; i < f.SampleCount(); ++i)
    ASSERT_NEAR(u.channels[0].begin()[i] + v.channels[0].begin()[i], f.begin()[i], 1e-6);
}

TEST_F(ExamplesTest, TheJuliaLoopTakesOneStepPerFrame) {
  std::unique_ptr<ProcModule> root = JuliaGraph();
  ExpectBundled(*root, "julia.knd");
  ASSERT_EQ(RunExecutable("--frames 20 --out " + dir.File("out") + " " + ExampleFile("julia.knd")),
            0);
  const auto frame = [&](int f) {
    auto image = std::make_unique<Float1Image>();
    char name[32];
    std::snprintf(name, sizeof name, "out/out1_%04d.tif", f);
    EXPECT_EQ(LoadImageTIFF(*image, dir.File(name)), 0) << name;
    return image;
  };
  // Each frame is the previous one carried once more through the map.
  for (int f : {1, 10, 19}) {
    HeldImages held;
    held.Hold(0, frame(f - 1));
    ProcJulia step(kJuliaProcessId);
    step.params = {-0.8, 0.156};
    ASSERT_EQ(RunFrame(step, held), 0);
    step.DisconnectAll();
    EXPECT_EQ(SamplesOf(As<Float1Image>(step.GetOutput(0))->channels[0]),
              SamplesOf(frame(f)->channels[0]))
        << f;
  }
}

TEST_F(ExamplesTest, TheMotionExampleFindsTheShiftAndRebuildsTheFrame) {
  std::unique_ptr<ProcModule> root = MotionGraph();
  ExpectBundled(*root, "motion.knd");
  ASSERT_EQ(RunExecutable("--frames 4 --out " + dir.File("out") + " " + ExampleFile("motion.knd")),
            0);
  const auto file = [&](int output, int f) {
    char name[32];
    std::snprintf(name, sizeof name, "out/out%d_%04d.tif", output, f);
    return dir.File(name);
  };
  Complex1Image field;
  ASSERT_EQ(LoadImageTIFF(field, file(2, 3)), 0);
  ASSERT_EQ(SizeOf(field.channels[0]), (std::pair{16, 12}));
  // Blocks whose content has already come in from the picture moved.
  for (int y = 2; y < 11; ++y)
    for (int x = 2; x < 15; ++x)
      EXPECT_EQ(field.channels[0][y][x], std::complex<float>(2, 1)) << x << ", " << y;
  Int1Image residual;
  ASSERT_EQ(LoadImageTIFF(residual, file(4, 3)), 0);
  for (int y = 16; y < 88; ++y)
    for (int x = 16; x < 120; ++x) ASSERT_EQ(residual.channels[0][y][x], 0) << x << ", " << y;
}

// The recording example run by the batch runner, then read back frame by frame by a graph of
// one video-file process, like any other graph.
TEST_F(ExamplesTest, TheVideoExampleRecordsAndAVideoGraphReadsItBack) {
  std::unique_ptr<ProcModule> root = VideoGraph();
  ExpectBundled(*root, "video.knd");
  fs::copy_file(ExampleFile("video.knd"), dir.File("video.knd"));
  ASSERT_EQ(RunExecutable("--frames 30 --out " + dir.File("moved") + " " + dir.File("video.knd")),
            0);
  ZelVideoSampler sampler;
  ASSERT_TRUE(sampler.OpenFile(dir.File("moving.avi")));
  ASSERT_EQ(sampler.EndFrame(), 30);

  ProcModule reader;
  reader.SetName("Reader");
  auto* video = AddChild<ProcVideoFile>(reader, kVideoFileProcessId);
  video->SetFileName(dir.File("moving.avi"));
  reader.OutputPort()->Connect(0, video, 0);
  ASSERT_EQ(SaveProcessFile(&reader, dir.File("reader.knd")), dir.File("reader.knd"));
  ASSERT_EQ(RunExecutable("--frames 5 --out " + dir.File("read") + " " + dir.File("reader.knd")),
            0);
  IntArray r, g, b;
  for (int k = 0; k < 5; ++k, sampler.StepFrames(1)) {
    Int3Image frame;
    char name[32];
    std::snprintf(name, sizeof name, "read/out1_%04d.tif", k);
    ASSERT_EQ(LoadImageTIFF(frame, dir.File(name)), 0) << name;
    ASSERT_TRUE(sampler.GetFrame(r, g, b));
    EXPECT_EQ(SamplesOf(frame.channels[0]), SamplesOf(r)) << k;
    // The grey picture moved on is what was recorded.
    Int1Image moved;
    std::snprintf(name, sizeof name, "moved/out1_%04d.tif", k);
    ASSERT_EQ(LoadImageTIFF(moved, dir.File(name)), 0) << name;
    EXPECT_EQ(SamplesOf(moved.channels[0]), SamplesOf(g)) << k;
  }
}

TEST_F(ExamplesTest, TheAnalysisExampleFindsTheDisparityAndPrintsPsnrLines) {
  std::unique_ptr<ProcModule> root = AnalysisGraph();
  ExpectBundled(*root, "analysis.knd");
  const std::string command = std::string(KANDREL_BINARY) + " --batch --frames 2 --out " +
                              dir.File("out") + " " + ExampleFile("analysis.knd") + " > " +
                              dir.File("stdout.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream printed(dir.File("stdout.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(printed, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u);
  for (int f = 0; f < 2; ++f) {
    char start[16];
    std::snprintf(start, sizeof start, "%04d, ", f);
    EXPECT_EQ(lines[f].rfind(start, 0), 0u) << lines[f];
  }
  Float1Image disparity;
  ASSERT_EQ(LoadImageTIFF(disparity, dir.File("out/out1_0000.tif")), 0);
  int six = 0, counted = 0;
  for (int y = 16; y < 112; ++y)
    for (int x = 32; x < 240; ++x, ++counted) six += disparity.channels[0][y][x] == 6.0f;
  EXPECT_GT(six, counted / 2);
}

}  // namespace
}  // namespace kandrel::testing
