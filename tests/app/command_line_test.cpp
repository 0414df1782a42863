// The executable's own options and its start without a display: each runs as a user would start
// it, with the display variables removed, and is judged by its exit status and what it printed.
// A dictionary learned by --make-dictionary is judged by what it gains over bicubic enlargement.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "blocks/analysis/sr_dictionary.h"
#include "image/picture.h"
#include "image/resample.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the program with arguments and environment settings (NAME=value, or -u NAME to remove)
// before it, capturing both streams.
Outcome RunProgram(const std::string& environment, const std::string& arguments,
                   const TempDir& dir) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                              environment + " " + KANDREL_BINARY + " " + arguments + " >" +
                              dir.File("out") + " 2>" + dir.File("err");
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  for (auto [name, text] : {std::pair{"out", &outcome.out}, std::pair{"err", &outcome.err}}) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(dir.File(name));
    text->assign(bytes.begin(), bytes.end());
  }
  return outcome;
}

TEST(CommandLineTest, HelpAndVersionNeedNoDisplay) {
  TempDir dir;
  for (const char* option : {"--help", "-h", "--batch --help", "--make-dictionary --help"}) {
    const Outcome help = RunProgram("", option, dir);
    EXPECT_EQ(help.status, 0) << option;
    EXPECT_TRUE(help.err.empty()) << help.err;
    EXPECT_EQ(help.out.rfind("usage: kandrel [--screenshot PNG] [--run] [FILE...]\n", 0), 0u)
        << help.out;
    EXPECT_NE(
        help.out.find("kandrel --batch [--frames N] [--out DIR] [--save OUT.knd] "
                      "[--verilog OUT.sv] [--describe] FILE.knd\n"),
        std::string::npos);
    EXPECT_NE(help.out.find("\n       kandrel --make-dictionary OUT.dic [--levels N] PICTURE...\n"),
              std::string::npos);
    for (const char* each : {"--frames N", "--out DIR", "--save OUT.knd", "--verilog OUT.sv",
                             "--describe", "--screenshot", "--run", "--levels N"})
      EXPECT_NE(help.out.find(std::string("\n  ") + each), std::string::npos) << each;
  }
  const Outcome version = RunProgram("", "--version", dir);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kandrel ", 0), 0u);
  EXPECT_EQ(version.out.back(), '\n');
}

TEST(CommandLineTest, TheDesktopWithoutADisplaySaysSoInOneLine) {
  TempDir dir;
  // No display at all, and a display that is named but does not answer.
  for (const char* environment : {"", "DISPLAY=:97 QT_QPA_PLATFORM=xcb"}) {
    const Outcome outcome = RunProgram(environment, "", dir);
    EXPECT_EQ(outcome.status, 2) << environment;
    EXPECT_TRUE(outcome.out.empty());
    ASSERT_FALSE(outcome.err.empty());
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    EXPECT_NE(outcome.err.find("kandrel --batch"), std::string::npos) << outcome.err;
  }
}

// Grey discs of random levels on grey 128, their edges smoothed by 4 × 4 supersampling as a
// camera would.
FloatArray Discs(int size, unsigned seed, int count = 14) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> at(0, size), level(20, 235);
  std::vector<std::array<double, 4>> discs(count);  // centre, radius, level
  for (auto& d : discs) d = {at(rng), at(rng), 3 + at(rng) / 4, level(rng)};
  FloatArray picture(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double sum = 0;
      for (int k = 0; k < 16; ++k) {
        double value = 128;
        for (const auto& [cx, cy, r, v] : discs)
          if (std::hypot(x + (k % 4 + 0.5) / 4 - cx, y + (k / 4 + 0.5) / 4 - cy) < r) value = v;
        sum += value;
      }
      picture[y][x] = static_cast<float>(std::round(sum / 16));
    }
  return picture;
}

void SaveGrey(const FloatArray& grey, const std::string& path) {
  ByteArray bytes(grey.Width(), grey.Height());
  std::transform(grey.begin(), grey.end(), bytes.begin(),
                 [](float v) { return static_cast<unsigned char>(v); });
  Picture picture;
  PlanesToPicture(bytes, bytes, bytes, picture);
  ASSERT_TRUE(picture.SaveBmp(path));
}

double Psnr(const FloatArray& a, const FloatArray& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.SampleCount(); ++i) sum += std::pow(a.Data()[i] - b.Data()[i], 2);
  return 10 * std::log10(255.0 * 255.0 * a.SampleCount() / sum);
}

TEST(CommandLineTest, MakeDictionaryLearnsDetailThatBeatsBicubic) {
  TempDir dir;
  std::string pictures;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const std::string path = dir.File("train" + std::to_string(seed) + ".bmp");
    SaveGrey(Discs(128, seed), path);
    pictures += " " + path;
  }
  const std::string learn = "--make-dictionary " + dir.File("SR.dic") + " --levels 8" + pictures;
  const Outcome made = RunProgram("", learn, dir);
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find(" leaves from "), std::string::npos) << made.out;
  CSuperResolution engine;
  ASSERT_TRUE(engine.LoadDictionary(dir.File("SR.dic")));
  EXPECT_EQ(engine.Header().scaleX * engine.Header().patchWidth, 8);
  // A picture the dictionary has not seen, halved and enlarged again.
  const FloatArray truth = Discs(96, 9), half = HalfSize(truth);
  FloatArray bicubic, resolved;
  BiCubic2x2(half, bicubic);
  engine.Upscale(half, resolved);
  const double gain = Psnr(resolved, truth) - Psnr(bicubic, truth);
  EXPECT_GT(gain, 1.0) << Psnr(bicubic, truth);

  SaveGrey(Discs(32, 1, 0), dir.File("flat.bmp"));
  const std::string out = " " + dir.File("out.dic") + " ";
  const std::pair<std::string, int> refusals[] = {{"", 2},
                                                  {out, 2},
                                                  {out + "--levels 0" + pictures, 2},
                                                  {out + "--levels x" + pictures, 2},
                                                  {out + "--frames 3" + pictures, 2},
                                                  {out + dir.File("missing.bmp"), 2},
                                                  {" " + dir.File("no/such/out.dic") + pictures, 2},
                                                  {out + dir.File("flat.bmp"), 1}};
  for (const auto& [arguments, status] : refusals) {
    const Outcome refused = RunProgram("", "--make-dictionary" + arguments, dir);
    EXPECT_EQ(refused.status, status) << arguments;
    EXPECT_FALSE(refused.err.empty()) << arguments;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.dic"))) << arguments;
  }
}

}  // namespace
}  // namespace kandrel::testing
