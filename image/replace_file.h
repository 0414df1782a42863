// Saving a file without risking the one that is there: the bytes go to a file beside the target,
// which is renamed over the target only once it is complete, so that a failed write (a full disk,
// say) leaves the earlier file as it was.
#pragma once

#include <functional>
#include <string>

#include "image/byte_stream.h"

namespace kandrel {

// writeTo creates and fills the file it is given (beside path); false when it could not. False
// (and the system's reason in error) when writing or the rename failed. The temporary file never
// stays behind.
bool ReplaceFileWith(const std::string& path,
                     const std::function<bool(const std::string& temporary)>& writeTo,
                     std::string& error);

// The same for a writer of bytes: write fills the stream.
bool ReplaceFile(const std::string& path, const std::function<bool(ByteStream&)>& write,
                 std::string& error);

}  // namespace kandrel
