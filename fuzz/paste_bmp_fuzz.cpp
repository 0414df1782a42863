// The BMP a paste source keeps inside the process file: the input is the embedded picture,
// framed by a valid record, then shown as the first frame would and saved back.
#include "blocks/pixel/frame_control.h"
#include "fuzz/fuzz_support.h"
#include "image/byte_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kandrel;
  fuzz::SetUpOnce();
  fuzz::QuietHost host;
  MemoryStream record;
  ProcPaste(kPasteProcessId).SaveParams(record);
  // The record of an empty paste ends in its "holds a picture" flag: set it and append.
  std::vector<std::uint8_t> bytes = record.Bytes();
  StoreI32(&bytes[bytes.size() - 4], 1);
  bytes.insert(bytes.end(), data, data + size);
  MemoryStream in(bytes);
  ProcPaste paste(kPasteProcessId);
  if (paste.LoadParams(in) == 0) {
    paste.Reset();
    MemoryStream out;
    paste.SaveParams(out);
  }
  return 0;
}
