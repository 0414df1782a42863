#include "process/replace_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kandrel {

bool ReplaceFile(const std::string& path, const std::function<bool(ByteStream&)>& write,
                 std::string& error) {
  namespace fs = std::filesystem;
  const std::string temporary = path + ".saving";
  FileStream file;
  const bool opened = file.Open(temporary, FileStream::Mode::kWrite);
  int reason = errno;
  bool written = opened;
  if (opened) {
    written = write(file);
    written = file.Close() && written;
    reason = errno;
  }
  std::error_code renameError;
  if (written) fs::rename(temporary, path, renameError);
  if (written && !renameError) return true;
  // Only what this call made goes: a file or folder of that name that was there stays.
  std::error_code ignored;
  if (opened) fs::remove(temporary, ignored);
  error = renameError ? renameError.message() : std::strerror(reason);
  return false;
}

}  // namespace kandrel
