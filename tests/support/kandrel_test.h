// Shared test fixture: every test runs against a fresh headless host, so that the messages a
// test asserts on are its own.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "image/byte_stream.h"
#include "process/catalogue.h"
#include "process/headless_host.h"
#include "process/proc_module.h"

namespace kandrel::testing {

class KandrelTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host); }
  void TearDown() override { SetHost(nullptr); }

  std::vector<std::string> Messages() const { return host.Messages(); }

  HeadlessHost host;
};

// Creates a process of the kind and appends it to module; the new child, as T.
template <class T = ProcVirtual>
T* AddChild(ProcModule& module, int processId) {
  std::unique_ptr<ProcVirtual> p = CreateById(processId);
  T* raw = dynamic_cast<T*>(p.get());
  EXPECT_NE(raw, nullptr);
  EXPECT_EQ(module.AddProcess(std::move(p)), 0);
  return raw;
}

// A fresh temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Runs body in a child process that sees a file system of `bytes` bytes mounted on directory (a
// tmpfs in a mount namespace of its own, so nothing outside sees it); the test fails with the
// child's failures, or is skipped where the machine allows no such mount.
void OnSmallFileSystem(const std::string& directory, std::size_t bytes,
                       const std::function<void()>& body);
// Fills the file system of directory until it refuses another byte.
void FillFileSystem(const std::string& directory);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace kandrel::testing
