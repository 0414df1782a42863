// What every fuzz target shares: the catalogue filled once, a host that keeps the messages of one
// input to itself, and the input as a file for the readers that take a file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "process/headless_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kandrel::fuzz {

// Fills the catalogue and quietens the libraries' own logging; cheap after the first call.
void SetUpOnce();

// The host of one input: its messages go with it.
class QuietHost {
 public:
  QuietHost();
  ~QuietHost();
  QuietHost(const QuietHost&) = delete;
  QuietHost& operator=(const QuietHost&) = delete;

 private:
  HeadlessHost host_;
};

// Writes the input to this process's own file ending in extension; its path.
std::string InputFile(const std::uint8_t* data, std::size_t size, const std::string& extension);
// Another file of this process, for what a target writes.
std::string ScratchFile(const std::string& name);

}  // namespace kandrel::fuzz
