// The executable's own options and its start without a display: each runs as a user would start
// it, with the display variables removed, and is judged by its exit status and what it printed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

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
  for (const char* option : {"--help", "-h", "--batch --help"}) {
    const Outcome help = RunProgram("", option, dir);
    EXPECT_EQ(help.status, 0) << option;
    EXPECT_TRUE(help.err.empty()) << help.err;
    EXPECT_EQ(help.out.rfind("usage: kandrel [--screenshot PNG] [FILE...]\n", 0), 0u) << help.out;
    EXPECT_NE(
        help.out.find("kandrel --batch [--frames N] [--out DIR] [--save OUT.knd] "
                      "[--verilog OUT.sv] [--describe] FILE.knd\n"),
        std::string::npos);
    for (const char* each : {"--frames N", "--out DIR", "--save OUT.knd", "--verilog OUT.sv",
                             "--describe", "--screenshot"})
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

}  // namespace
}  // namespace kandrel::testing
