// Conversion between the UTF-8 texts Kandrel keeps in memory and the cp932 bytes stored in
// process files. Decoding is lossless: bytes that do not form a cp932 character, or that would
// not come back as the same bytes, are carried as private-use characters U+F700 + byte, which
// encode back to exactly that byte. A name read from any file therefore saves back unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kandrel {

std::string DecodeCp932(std::string_view bytes);
// Characters cp932 cannot hold become "?"; lossless (when given) tells whether any did.
std::string EncodeCp932(std::string_view utf8, bool* lossless = nullptr);

// Bounded copy of a text into a fixed field: at most width bytes of its cp932 form, zero-padded.
void StoreFixedText(std::string_view utf8, char* field, std::size_t width);
// The text of a fixed field: the bytes up to the first zero (or the whole field), decoded.
std::string LoadFixedText(const char* field, std::size_t width);

}  // namespace kandrel
