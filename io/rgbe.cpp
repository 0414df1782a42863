#include "io/rgbe.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace kandrel {
namespace {

constexpr int kMinRunLength = 4;
constexpr int kMaxRun = 127;
constexpr int kMaxLiteral = 128;
constexpr int kMinEncodedWidth = 8;
constexpr int kMaxEncodedWidth = 0x7fff;
// Pixels converted per fread/fwrite of the flat form.
constexpr std::size_t kFlatChunkPixels = 4096;

int ReadError() {
  std::perror("RGBE read error");
  return -1;
}

int WriteError() {
  std::perror("RGBE write error");
  return -1;
}

int FormatError(const char* message) {
  std::fprintf(stderr, "RGBE bad file format: %s\n", message);
  return -1;
}

int MemoryError() {
  std::fprintf(stderr, "RGBE error: %s\n", "unable to allocate buffer space");
  return -1;
}

int SizeError() { return FormatError("missing image size specifier"); }

bool IsEncodedWidth(int width) { return width >= kMinEncodedWidth && width <= kMaxEncodedWidth; }

std::uint8_t Mantissa(float component, float scale) {
  const float scaled = component * scale;
  if (!(scaled > 0)) return 0;  // RGBE holds no negative values; NaN ends here too
  if (scaled > 255) return 255;
  return static_cast<std::uint8_t>(static_cast<double>(scaled) + 0.5);
}

// 2^(E − 136) for every exponent byte E (subnormal below E = 10), and 0 for E = 0.
constexpr std::array<float, 256> kExponentFactors = [] {
  std::array<float, 256> f{};
  for (std::uint32_t e = 1; e < 256; ++e)
    f[e] = std::bit_cast<float>(e >= 10 ? (e - 9) << 23 : 1u << (e + 13));
  return f;
}();

int WriteFlat(std::FILE* stream, const float* pixels, std::size_t count) {
  std::uint8_t bytes[4 * kFlatChunkPixels];
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(kFlatChunkPixels, count - done);
    for (std::size_t i = 0; i < n; ++i, pixels += 3)
      FloatToRGBE(&bytes[4 * i], pixels[0], pixels[1], pixels[2]);
    if (std::fwrite(bytes, 4, n, stream) != n) return WriteError();
    done += n;
  }
  return 0;
}

int ReadFlat(std::FILE* stream, float* pixels, std::size_t count) {
  std::uint8_t bytes[4 * kFlatChunkPixels];
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(kFlatChunkPixels, count - done);
    if (std::fread(bytes, 4, n, stream) != n) return ReadError();
    for (std::size_t i = 0; i < n; ++i, pixels += 3)
      RGBEToFloat(&bytes[4 * i], pixels[0], pixels[1], pixels[2]);
    done += n;
  }
  return 0;
}

// Run-length encodes one plane of n bytes at out; returns the end of the packets written.
// Runs shorter than kMinRunLength go into literals unless they are all that precedes a long run.
std::uint8_t* EncodePlane(const std::uint8_t* data, int n, std::uint8_t* out) {
  int cur = 0;
  while (cur < n) {
    int begin = cur;
    int count = 0;
    int previous = 0;
    while (count < kMinRunLength && begin < n) {
      begin += count;
      previous = count;
      count = 1;
      while (begin + count < n && count < kMaxRun && data[begin + count] == data[begin]) ++count;
    }
    if (previous > 1 && previous == begin - cur) {
      *out++ = static_cast<std::uint8_t>(128 + previous);
      *out++ = data[cur];
      cur = begin;
    }
    while (cur < begin) {
      const int literal = std::min(begin - cur, kMaxLiteral);
      *out++ = static_cast<std::uint8_t>(literal);
      out = std::copy(data + cur, data + cur + literal, out);
      cur += literal;
    }
    if (count >= kMinRunLength) {
      *out++ = static_cast<std::uint8_t>(128 + count);
      *out++ = data[begin];
      cur += count;
    }
  }
  return out;
}

// Fills one plane of n bytes from its packets.
int DecodePlane(std::FILE* stream, std::uint8_t* plane, int n) {
  std::uint8_t* const end = plane + n;
  while (plane < end) {
    std::uint8_t packet[2];
    if (std::fread(packet, 1, 2, stream) != 2) return ReadError();
    int count = packet[0];
    const bool run = count > 128;
    if (run) count -= 128;
    if (count == 0 || count > end - plane) return FormatError("bad scanline data");
    if (run) {
      std::memset(plane, packet[1], static_cast<std::size_t>(count));
      plane += count;
    } else {
      *plane++ = packet[1];
      const std::size_t rest = static_cast<std::size_t>(count - 1);
      if (std::fread(plane, 1, rest, stream) != rest) return ReadError();
      plane += rest;
    }
  }
  return 0;
}

// One scanline into pixels, run-length encoded unless flat. A scanline without its marker starts
// flat data, which then runs to the end of the image: flat becomes true.
int ReadScanline(std::FILE* stream, std::uint8_t* planes, int width, float* pixels, bool& flat) {
  const std::size_t n = static_cast<std::size_t>(width);
  if (flat) return ReadFlat(stream, pixels, n);
  std::uint8_t marker[4];
  if (std::fread(marker, 1, 4, stream) != 4) return ReadError();
  if (marker[0] != 2 || marker[1] != 2 || (marker[2] & 0x80) != 0) {
    flat = true;
    RGBEToFloat(marker, pixels[0], pixels[1], pixels[2]);
    return ReadFlat(stream, pixels + 3, n - 1);
  }
  if ((marker[2] << 8 | marker[3]) != width) return FormatError("wrong scanline width");
  for (std::size_t c = 0; c < 4; ++c)
    if (DecodePlane(stream, planes + c * n, width) != 0) return -1;
  for (std::size_t x = 0; x < n; ++x, pixels += 3) {
    const std::uint8_t rgbe[4] = {planes[x], planes[n + x], planes[2 * n + x], planes[3 * n + x]};
    RGBEToFloat(rgbe, pixels[0], pixels[1], pixels[2]);
  }
  return 0;
}

// One header line as fgets reads it into 128 bytes. The rest of a longer line (Radiance headers
// carry long command lines) is skipped, so that its tail is not taken for a line of its own.
bool ReadLine(std::FILE* stream, char (&line)[128]) {
  if (std::fgets(line, sizeof line, stream) == nullptr) return false;
  const std::size_t length = std::strlen(line);
  if (length == sizeof line - 1 && line[length - 1] != '\n') {
    int c = 0;
    while (c != EOF && c != '\n') c = std::getc(stream);
  }
  return true;
}

// "GAMMA=%g"-style line: the float after the key.
bool ParseFloatField(const char* line, const char* key, float& value) {
  const std::size_t keyLength = std::strlen(key);
  if (std::strncmp(line, key, keyLength) != 0) return false;
  char* end = nullptr;
  const float parsed = std::strtof(line + keyLength, &end);
  if (end == line + keyLength) return false;
  value = parsed;
  return true;
}

// "NAME=value": the header's variable lines, of which GAMMA and EXPOSURE are read.
bool IsVariableAssignment(const char* line) {
  const char* p = line;
  while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_') ++p;
  return p != line && *p == '=';
}

void ParseVariable(const char* line, RGBEHeaderInfo* info) {
  float value = 0;
  if (ParseFloatField(line, "GAMMA=", value)) {
    if (info != nullptr) {
      info->gamma = value;
      info->valid |= RGBE_VALID_GAMMA;
    }
  } else if (ParseFloatField(line, "EXPOSURE=", value)) {
    if (info != nullptr) {
      info->exposure = value;
      info->valid |= RGBE_VALID_EXPOSURE;
    }
  }
}

// One "%d" of the size line; a negative size or one beyond int is refused instead of
// overflowing.
bool ParseSize(const char*& p, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE || parsed < 0 || parsed > std::numeric_limits<int>::max())
    return false;
  p = end;
  value = static_cast<int>(parsed);
  return true;
}

// "-Y %d +X %d": height first.
bool ParseSizeLine(const char* line, int& height, int& width) {
  if (std::strncmp(line, "-Y", 2) != 0) return false;
  const char* p = line + 2;
  if (!ParseSize(p, height)) return false;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (std::strncmp(p, "+X", 2) != 0) return false;
  p += 2;
  return ParseSize(p, width);
}

}  // namespace

void FloatToRGBE(std::uint8_t rgbe[4], float red, float green, float blue) {
  float v = red;
  if (green > v) v = green;
  if (blue > v) v = blue;
  if (!(v >= 1e-32f)) {
    std::fill(rgbe, rgbe + 4, std::uint8_t{0});
    return;
  }
  // v = m · 2^e with 0.5 ≤ m < 1, read off the (normal, positive) float; the exponent byte
  // e + 128 cannot exceed 255, so larger magnitudes (infinity included) saturate.
  const int e = std::min(static_cast<int>(std::bit_cast<std::uint32_t>(v) >> 23) - 126, 127);
  const float scale = std::bit_cast<float>(static_cast<std::uint32_t>(127 + 8 - e) << 23);
  rgbe[0] = Mantissa(red, scale);
  rgbe[1] = Mantissa(green, scale);
  rgbe[2] = Mantissa(blue, scale);
  rgbe[3] = static_cast<std::uint8_t>(e + 128);
}

void RGBEToFloat(const std::uint8_t rgbe[4], float& red, float& green, float& blue) {
  const float f = kExponentFactors[rgbe[3]];
  red = rgbe[0] * f;
  green = rgbe[1] * f;
  blue = rgbe[2] * f;
}

int WriteHeader(std::FILE* stream, int width, int height, const RGBEHeaderInfo* info) {
  if (width < 0 || height < 0) return SizeError();
  const bool hasProgramType = info != nullptr && (info->valid & RGBE_VALID_PROGRAMTYPE) != 0;
  if (std::fprintf(stream, "#?%.15s\n", hasProgramType ? info->programType : "RGBE") < 0)
    return WriteError();
  if (info != nullptr && (info->valid & RGBE_VALID_GAMMA) != 0 &&
      std::fprintf(stream, "GAMMA=%g\n", info->gamma) < 0)
    return WriteError();
  if (info != nullptr && (info->valid & RGBE_VALID_EXPOSURE) != 0 &&
      std::fprintf(stream, "EXPOSURE=%g\n", info->exposure) < 0)
    return WriteError();
  if (std::fprintf(stream, "FORMAT=32-bit_rle_rgbe\n\n-Y %d +X %d\n", height, width) < 0)
    return WriteError();
  return 0;
}

int ReadHeader(std::FILE* stream, int* width, int* height, RGBEHeaderInfo* info) {
  char line[128];
  if (info != nullptr) *info = RGBEHeaderInfo{};
  if (!ReadLine(stream, line)) return ReadError();
  if (line[0] == '#' && line[1] == '?') {
    if (info != nullptr) {
      info->valid |= RGBE_VALID_PROGRAMTYPE;
      int i = 0;
      for (; i < 15; ++i) {
        const char c = line[2 + i];
        if (c == '\0' || c == ' ' || c == '\n') break;
        info->programType[i] = c;
      }
      info->programType[i] = '\0';
    }
    if (!ReadLine(stream, line)) return ReadError();
  }
  for (;;) {
    if (line[0] == '\0' || line[0] == '\n') return FormatError("no FORMAT specifier found");
    if (std::strcmp(line, "FORMAT=32-bit_rle_rgbe\n") == 0) break;
    ParseVariable(line, info);
    if (!ReadLine(stream, line)) return ReadError();
  }
  // Writers such as stb_image_write put further header lines after FORMAT; the header still
  // has to end in its blank line before the size line.
  for (;;) {
    if (!ReadLine(stream, line)) return ReadError();
    if (std::strcmp(line, "\n") == 0) break;
    if (line[0] != '#' && !IsVariableAssignment(line))
      return FormatError("missing blank line after FORMAT specifier");
    ParseVariable(line, info);
  }
  if (!ReadLine(stream, line)) return ReadError();
  if (!ParseSizeLine(line, *height, *width)) return SizeError();
  return 0;
}

int WritePixels(std::FILE* stream, const float* pixels, int count) {
  if (count < 0) return SizeError();
  return WriteFlat(stream, pixels, static_cast<std::size_t>(count));
}

int ReadPixels(std::FILE* stream, float* pixels, int count) {
  if (count < 0) return SizeError();
  return ReadFlat(stream, pixels, static_cast<std::size_t>(count));
}

int WritePixelsRLE(std::FILE* stream, const float* pixels, int width, int height) {
  if (width < 0 || height < 0) return SizeError();
  const std::size_t n = static_cast<std::size_t>(width);
  // Four planes, then room for the encoded scanline: a packet never takes more than twice the
  // bytes it covers.
  std::unique_ptr<std::uint8_t[]> buffer(
      IsEncodedWidth(width) ? new (std::nothrow) std::uint8_t[4 * n + 4 + 8 * n] : nullptr);
  if (buffer == nullptr) return WriteFlat(stream, pixels, n * static_cast<std::size_t>(height));
  std::uint8_t* const planes = buffer.get();
  std::uint8_t* const encoded = planes + 4 * n;
  for (int y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < n; ++x, pixels += 3) {
      std::uint8_t rgbe[4];
      FloatToRGBE(rgbe, pixels[0], pixels[1], pixels[2]);
      for (std::size_t c = 0; c < 4; ++c) planes[c * n + x] = rgbe[c];
    }
    std::uint8_t* out = encoded;
    *out++ = 2;
    *out++ = 2;
    *out++ = static_cast<std::uint8_t>(width >> 8);
    *out++ = static_cast<std::uint8_t>(width & 255);
    for (std::size_t c = 0; c < 4; ++c) out = EncodePlane(planes + c * n, width, out);
    const std::size_t size = static_cast<std::size_t>(out - encoded);
    if (std::fwrite(encoded, 1, size, stream) != size) return WriteError();
  }
  return 0;
}

int ReadScanlinesRLE(std::FILE* stream, int width, int height, const ScanlineSink& sink) {
  if (width < 0 || height < 0) return SizeError();
  if (width == 0) return 0;
  const std::size_t n = static_cast<std::size_t>(width);
  std::unique_ptr<float[]> row(new (std::nothrow) float[3 * n]);
  std::unique_ptr<std::uint8_t[]> planes(
      IsEncodedWidth(width) ? new (std::nothrow) std::uint8_t[4 * n] : nullptr);
  if (row == nullptr || (IsEncodedWidth(width) && planes == nullptr)) return MemoryError();
  bool flat = !IsEncodedWidth(width);
  for (int y = 0; y < height; ++y) {
    if (ReadScanline(stream, planes.get(), width, row.get(), flat) != 0) return -1;
    sink(y, row.get());
  }
  return 0;
}

int ReadPixelsRLE(std::FILE* stream, float* pixels, int width, int height) {
  const std::size_t rowFloats = 3 * static_cast<std::size_t>(std::max(width, 0));
  return ReadScanlinesRLE(stream, width, height, [&](int y, const float* row) {
    std::copy(row, row + rowFloats, pixels + static_cast<std::size_t>(y) * rowFloats);
  });
}

std::uint64_t MinimumPixelBytes(int width, int height) {
  const std::uint64_t w = static_cast<std::uint64_t>(std::max(width, 0));
  const std::uint64_t h = static_cast<std::uint64_t>(std::max(height, 0));
  if (!IsEncodedWidth(width)) return 4 * w * h;
  const std::uint64_t runsPerPlane = (w + kMaxRun - 1) / kMaxRun;
  return h * (4 + 4 * 2 * runsPerPlane);
}

int CheckPixelDataFits(std::FILE* stream, int width, int height) {
  if (width < 0 || height < 0) return SizeError();
  const long position = std::ftell(stream);
  if (position < 0 || std::fseek(stream, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(stream);
  if (std::fseek(stream, position, SEEK_SET) != 0) return ReadError();
  if (size >= position &&
      static_cast<std::uint64_t>(size - position) < MinimumPixelBytes(width, height))
    return ReadError();
  return 0;
}

}  // namespace kandrel
