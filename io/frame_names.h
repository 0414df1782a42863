// File names of frame sequences, shared by the reading and saving processes: a name split into
// directory, base and extension, and the rule that puts a frame number at the end of the base.
#pragma once

#include <string>

namespace kandrel {

struct NameParts {
  std::string directory;  // with its trailing separator
  std::string base;
  std::string extension;  // as written, from the last "."
};

NameParts SplitFileName(const std::string& path);
// The last digits of base replaced by number ("A000", 12 → "A012"); the whole base when it is
// shorter than the number.
std::string NumberedBase(std::string base, long long number);
std::string LowerCase(std::string text);

}  // namespace kandrel
