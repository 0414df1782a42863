// Images to and from Radiance RGBE (".hdr") files: the image-level side of the RGBE codec, which
// turns typed images into float RGB scanlines and decoded files back into three float planes.
#pragma once

#include <string>

#include "image/image.h"

namespace kandrel {

// Writes Int 1ch, Float 1ch, Int 3ch and Float 3ch images (int samples divided by the white
// level) with run-length encoding and the image's gamma; −1 on any failure, and without creating
// a file for complex images, for channels of unequal sizes (a YUV10 frame) and for an int image
// whose white level is 0 or not finite.
int SaveImageHDR(const Image& image, const std::string& fileName);
// Reads an RGBE file into three planes; gammaOut is the header's gamma (1.0 without one, or when
// it is not a positive finite number). 0 on success, −1 on failure (the planes and gammaOut are
// then untouched). A header promising more pixels than the rest of the file can hold is refused
// before anything is allocated; an image without pixels reads as 0 × 0.
int ReadHDRPlanes(const std::string& fileName, FloatArray& r, FloatArray& g, FloatArray& b,
                  double& gammaOut);

}  // namespace kandrel
