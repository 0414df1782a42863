#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <opencv2/core/utils/logger.hpp>

#include "blocks/all_kinds.h"
#include "process/host.h"

namespace kandrel::fuzz {
namespace {

std::filesystem::path& Folder() {
  static std::filesystem::path folder;
  return folder;
}

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

}  // namespace

void SetUpOnce() {
  static const bool done = [] {
    RegisterAllKinds();
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    // FFmpeg's own complaints about a damaged file would drown the fuzzer's report.
    setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 1);
    Folder() =
        std::filesystem::temp_directory_path() / ("kandrel-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder());
    std::atexit(RemoveFolder);
    return true;
  }();
  (void)done;
}

QuietHost::QuietHost() { SetHost(&host_); }
QuietHost::~QuietHost() { SetHost(nullptr); }

std::string InputFile(const std::uint8_t* data, std::size_t size, const std::string& extension) {
  const std::string path = ScratchFile("input" + extension);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();  // the fuzzer's own folder must be writable
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path;
}

std::string ScratchFile(const std::string& name) { return (Folder() / name).string(); }

}  // namespace kandrel::fuzz
