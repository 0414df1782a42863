// Full-precision TIFF dumps: every sample of every image type, bit for bit, through libtiff.
// Results are 0 for success and −1 for failure; nothing is shown to the user.
#pragma once

#include <string>

#include "image/image.h"

namespace kandrel {

int SaveImageTIFF(const Image& image, const std::string& fileName);
// The image type id (1..6) a TIFF file maps to, or 0 (also for ordinary unsigned files).
int TIFFImageType(const std::string& fileName);
// Reads into an image whose type was chosen with TIFFImageType; resets its view either way. A
// file refused while its samples are read leaves the image empty, never half overwritten.
int LoadImageTIFF(Image& image, const std::string& fileName);

}  // namespace kandrel
