// Saving a file without risking the one that is there: the bytes go to a file beside the target,
// which is renamed over the target only once it is complete, so that a failed write (a full disk,
// say) leaves the earlier file as it was.
#pragma once

#include <functional>
#include <string>

#include "image/byte_stream.h"

namespace kandrel {

// write fills the stream; false (and the system's reason in error) when the file could not be
// created, written or renamed, or write returned false. The temporary file never stays behind.
bool ReplaceFile(const std::string& path, const std::function<bool(ByteStream&)>& write,
                 std::string& error);

}  // namespace kandrel
