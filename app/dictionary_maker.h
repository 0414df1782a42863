// "kandrel --make-dictionary": learns a super-resolution dictionary from example pictures, read
// as grey, and writes it in the layout the SuperReso process reads.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kandrel {

class Host;

struct DictionaryOptions {
  std::string output;
  int levels = 12;
  std::vector<std::string> pictures;
};

inline constexpr const char* kDictionaryUsage =
    "usage: kandrel --make-dictionary OUT.dic [--levels N] PICTURE...";

// Parses the arguments that follow "--make-dictionary"; nothing (and error set) when they are
// wrong.
std::optional<DictionaryOptions> ParseDictionaryArguments(const std::vector<std::string>& args,
                                                          std::string& error);
// Learns and writes the dictionary; messages go through host, a summary line to out. Returns a
// BatchExit code: 0 written, 1 nothing to learn in the pictures, 2 a file could not be read or
// written.
int RunMakeDictionary(const DictionaryOptions& options, Host& host, std::ostream& out);

}  // namespace kandrel
