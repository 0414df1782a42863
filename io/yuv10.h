// Raw 10-bit Y'CbCr 4:2:2 frames (".yuv10"): 1920 × 1080, rows of 320 blocks of 16 bytes, each
// block six pixels in four big-endian words of three 10-bit samples.
#pragma once

#include <string>

#include "image/array2d.h"

namespace kandrel {

// Reads a frame into y (1920 × 1080) and cr, cb (960 × 1080, offset by −512); 0 after reading,
// −1 when the file cannot be opened. Blocks missing from a short file read as zero bytes.
int ReadYUV10(IntArray& y, IntArray& cr, IntArray& cb, const std::string& fileName);

}  // namespace kandrel
