// Radiance RGBE (".hdr") codec: header writing and parsing, float <-> RGBE pixels, and the flat
// and run-length-encoded pixel streams. Works on an open C stream; every routine returns 0 for
// success or -1 for failure (after printing its message on standard error).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

namespace kandrel {

constexpr std::int32_t RGBE_VALID_PROGRAMTYPE = 1;
constexpr std::int32_t RGBE_VALID_GAMMA = 2;
constexpr std::int32_t RGBE_VALID_EXPOSURE = 4;

struct RGBEHeaderInfo {
  std::int32_t valid = 0;
  char programType[16] = {};
  float gamma = 1.0f;
  float exposure = 1.0f;
};

// Pixels are float triples (red, green, blue), row after row, top row first. RGBE holds no
// negative values: negative (and NaN) components encode as 0, and magnitudes of 2^127 and above
// saturate at the largest RGBE value instead of wrapping the exponent byte to 0.
void FloatToRGBE(std::uint8_t rgbe[4], float red, float green, float blue);
void RGBEToFloat(const std::uint8_t rgbe[4], float& red, float& green, float& blue);

// Negative sizes are refused as "missing image size specifier" by every routine below.
int WriteHeader(std::FILE* stream, int width, int height, const RGBEHeaderInfo* info);
int ReadHeader(std::FILE* stream, int* width, int* height, RGBEHeaderInfo* info);
int WritePixels(std::FILE* stream, const float* pixels, int count);
int ReadPixels(std::FILE* stream, float* pixels, int count);
int WritePixelsRLE(std::FILE* stream, const float* pixels, int width, int height);
int ReadPixelsRLE(std::FILE* stream, float* pixels, int width, int height);

// Receives scanline y (width float triples) once it is decoded.
using ScanlineSink = std::function<void(int y, const float* pixels)>;
// ReadPixelsRLE handing over one scanline at a time, so that a caller can store the pixels in its
// own layout without an interleaved copy of the whole image. Stops at the first failure.
int ReadScanlinesRLE(std::FILE* stream, int width, int height, const ScanlineSink& sink);

// The fewest bytes the pixels of a width × height image can take in a form ReadPixelsRLE
// accepts: runs of 127 in every plane where the width allows run-length encoding, four bytes a
// pixel otherwise.
std::uint64_t MinimumPixelBytes(int width, int height);
// Read error when the rest of a seekable stream is shorter than MinimumPixelBytes, so that a
// reader can refuse a hostile header before allocating for it; 0 otherwise.
int CheckPixelDataFits(std::FILE* stream, int width, int height);

}  // namespace kandrel
