#include "io/frame_names.h"

#include <algorithm>
#include <cctype>

#include "process/process_file.h"

namespace kandrel {

NameParts SplitFileName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string extension = ExtensionOf(path);
  return {path.substr(0, nameStart),
          path.substr(nameStart, path.size() - nameStart - extension.size()), extension};
}

std::string NumberedBase(std::string base, long long number) {
  const std::string digits = std::to_string(number);
  if (base.size() < digits.size()) return digits;
  base.replace(base.size() - digits.size(), digits.size(), digits);
  return base;
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace kandrel
