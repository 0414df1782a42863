#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "blocks/all_kinds.h"
#include "tests/support/kandrel_test.h"
#include "tests/support/test_kinds.h"

namespace kandrel::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kandrel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

constexpr int kNoMount = 77;

bool WriteText(const char* path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  return static_cast<bool>(out.flush());
}

// A mount namespace of this process's own: directly as root, else inside a user namespace.
bool EnterPrivateMountNamespace() {
  if (unshare(CLONE_NEWNS) != 0) {
    const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    if (!WriteText("/proc/self/setgroups", "deny") ||
        !WriteText("/proc/self/uid_map", "0 " + uid + " 1") ||
        !WriteText("/proc/self/gid_map", "0 " + gid + " 1"))
      return false;
  }
  return mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace

void OnSmallFileSystem(const std::string& directory, std::size_t bytes,
                       const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::string options = "size=" + std::to_string(bytes);
    if (!EnterPrivateMountNamespace() ||
        mount("tmpfs", directory.c_str(), "tmpfs", 0, options.c_str()) != 0)
      _exit(kNoMount);
    body();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == kNoMount) GTEST_SKIP() << "no small file system can be mounted here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failures in the child, above";
}

void FillFileSystem(const std::string& directory) {
  const int filler = open((directory + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(filler, 0);
  const std::vector<char> block(4096, 'x');
  for (std::size_t size = block.size(); size > 0; size /= 2)
    while (write(filler, block.data(), size) == static_cast<ssize_t>(size)) {
    }
  close(filler);
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kandrel::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  kandrel::RegisterAllKinds();
  kandrel::testing::RegisterTestKinds();
  return RUN_ALL_TESTS();
}
