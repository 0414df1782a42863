#include "image/replace_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kandrel {

bool ReplaceFileWith(const std::string& path,
                     const std::function<bool(const std::string& temporary)>& writeTo,
                     std::string& error) {
  namespace fs = std::filesystem;
  const std::string temporary = path + ".saving";
  std::error_code status;
  // Only what this call makes may go: a folder or link of that name that was there stays.
  const fs::file_type before = fs::symlink_status(temporary, status).type();
  const bool mayRemove = before == fs::file_type::not_found || before == fs::file_type::regular;
  errno = 0;
  const bool written = writeTo(temporary);
  const int reason = errno;
  std::error_code renameError;
  if (written) fs::rename(temporary, path, renameError);
  if (written && !renameError) return true;
  std::error_code ignored;
  if (mayRemove && fs::is_regular_file(fs::symlink_status(temporary, ignored))) {
    fs::remove(temporary, ignored);
  }
  error = renameError ? renameError.message() : std::strerror(reason != 0 ? reason : EIO);
  return false;
}

bool ReplaceFile(const std::string& path, const std::function<bool(ByteStream&)>& write,
                 std::string& error) {
  return ReplaceFileWith(
      path,
      [&write](const std::string& temporary) {
        FileStream file;
        if (!file.Open(temporary, FileStream::Mode::kWrite)) return false;
        const bool written = write(file);
        return file.Close() && written;
      },
      error);
}

}  // namespace kandrel
