#include "process/text_codec.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace kandrel {

namespace {

constexpr char32_t kEscapeBase = 0xF700;  // private-use block outside cp932's own user area

// One iconv descriptor per direction, shared and guarded: names are converted rarely and may be
// converted from channel threads that report messages.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  // Converts one complete unit; false when iconv refuses it.
  bool Convert(std::string_view in, std::string& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char buffer[16];
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0)
      return false;
    out.assign(buffer, dst);
    return true;
  }

 private:
  iconv_t cd_;
  std::mutex mutex_;
};

Converter& ToUtf8() {
  static Converter c("UTF-8", "CP932");
  return c;
}
Converter& FromUtf8() {
  static Converter c("CP932", "UTF-8");
  return c;
}

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Length of the UTF-8 sequence starting at text[i] (1 for an invalid byte) and its code point.
std::size_t NextCodePoint(std::string_view text, std::size_t i, char32_t& c) {
  const auto b = static_cast<unsigned char>(text[i]);
  std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (n == 0 || i + n > text.size()) {
    c = 0xFFFD;
    return 1;
  }
  c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
  for (std::size_t k = 1; k < n; ++k) {
    const auto t = static_cast<unsigned char>(text[i + k]);
    if ((t >> 6) != 2) {
      c = 0xFFFD;
      return 1;
    }
    c = (c << 6) | (t & 0x3F);
  }
  return n;
}

}  // namespace

std::string DecodeCp932(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    const std::size_t n = IsLeadByte(b) && i + 1 < bytes.size() ? 2 : 1;
    const std::string_view unit = bytes.substr(i, n);
    std::string decoded, back;
    // Only characters that map back to the very same bytes are decoded; the rest are escaped so
    // that saving reproduces the file.
    if (ToUtf8().Convert(unit, decoded) &&
        FromUtf8().Convert(decoded, back) && back == unit) {
      out += decoded;
      i += n;
    } else {
      AppendUtf8(out, kEscapeBase + b);
      ++i;
    }
  }
  return out;
}

std::string EncodeCp932(std::string_view utf8, bool* lossless) {
  std::string out;
  bool exact = true;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c;
    const std::size_t n = NextCodePoint(utf8, i, c);
    std::string encoded;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
      out += static_cast<char>(c - kEscapeBase);
    } else if (c != 0xFFFD && FromUtf8().Convert(utf8.substr(i, n), encoded)) {
      out += encoded;
    } else {
      out += '?';
      exact = false;
    }
    i += n;
  }
  if (lossless != nullptr) *lossless = exact;
  return out;
}

void StoreFixedText(std::string_view utf8, char* field, std::size_t width) {
  const std::string bytes = EncodeCp932(utf8);
  const std::size_t n = std::min(bytes.size(), width);
  std::memcpy(field, bytes.data(), n);
  std::memset(field + n, 0, width - n);
}

std::string LoadFixedText(const char* field, std::size_t width) {
  const char* end = static_cast<const char*>(std::memchr(field, 0, width));
  return DecodeCp932(std::string_view(field, end != nullptr ? end - field : width));
}

}  // namespace kandrel
