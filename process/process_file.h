// Process files (".knd"): one process record of the top process with everything below it, and
// the rule for file paths inside parameters: stored relative to the directory of the process
// file being written or read (the last-used directory), with "\" as separator.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "process/param_record.h"
#include "process/proc_virtual.h"

namespace kandrel {

// The extension of the file name part from its last "." (".knd"), or empty.
std::string ExtensionOf(const std::string& path);
// The absolute directory that holds path.
std::string DirectoryOf(const std::string& path);

// The directory of the running program (normalised).
std::string ProgramDirectory();

const std::string& LastUsedDirectory();
void SetLastUsedDirectory(const std::string& directory);

// An absolute path as it is stored in a parameter record: relative to the last-used directory,
// "\"-separated. Empty stays empty.
std::string StoredPath(const std::string& absolutePath);
// A stored path made absolute against the last-used directory ("\" and "/" both separate).
std::string ResolvePath(const std::string& storedPath);

// Parameter records whose path field (fileName unless named) is absolute in memory and stored
// relative.
template <class Params>
void WriteRecordWithPath(ByteStream& stream, const Params& params,
                         std::string Params::*path = &Params::fileName) {
  Params stored = params;
  stored.*path = StoredPath(params.*path);
  WriteRecord(stream, stored);
}
template <class Params>
int ReadRecordWithPath(ByteStream& stream, Params& params, std::string Params::*path = &Params::fileName) {
  Params stored = params;
  stored.*path = StoredPath(params.*path);
  const int result = ReadRecord(stream, stored);
  params = stored;
  params.*path = ResolvePath(stored.*path);
  return result;
}

// The file a reading process is given: name made absolute, or, when name is empty, the one the
// user picks in an open box (in the last-used directory) with filter; nothing when cancelled.
std::optional<std::string> ChosenOpenPath(const std::string& name, const std::string& filter);

// Asks for a file to save to, in the last-used directory, proposing name there and confirming an
// overwrite; nothing when the user cancelled.
std::optional<std::string> AskSavePath(const std::string& filter, const std::string& extension,
                                       const std::string& name);

// Reads the process in path (asks for a file when path is empty). Null when cancelled, when the
// file cannot be opened, or when it is truncated or corrupt (with a message naming the file).
std::unique_ptr<ProcVirtual> LoadProcessFile(const std::string& path);
// Writes p to path (asks when path is empty); returns the path written, or empty when cancelled
// or when writing failed (with a message). An existing file is replaced only by a complete one.
std::string SaveProcessFile(ProcVirtual* p, const std::string& path);
// Writes p to path as SaveProcessFile does, but silently and as a copy: the last-used directory
// and every modified flag in p stay as they were, since the user has saved nothing. False, with
// the system's reason in error, when writing failed.
bool WriteProcessCopy(ProcVirtual& p, const std::string& path, std::string& error);

}  // namespace kandrel
