// A whole process file: header, tree, every kind's parameter block and the links, then saved
// back, which walks everything the load kept.
#include "fuzz/fuzz_support.h"
#include "process/process_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  fuzz::QuietHost host;
  std::unique_ptr<ProcVirtual> root = LoadProcessFile(fuzz::InputFile(data, size, ".knd"));
  if (root != nullptr) SaveProcessFile(root.get(), fuzz::ScratchFile("saved.knd"));
  return 0;
}
