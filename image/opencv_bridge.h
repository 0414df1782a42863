// Bridges from typed images and channel arrays to the image structures of OpenCV's C API, as
// stereo matching, object detection and video saving hand them to OpenCV, and back from the
// 16-bit disparity matrix. Samples are converted to the requested depth without clamping.
#pragma once

#include <memory>
#include <opencv2/core/core_c.h>

#include "image/image.h"

namespace kandrel {

// Owns an image the bridges made.
struct IplImageRelease {
  void operator()(IplImage* image) const { cvReleaseImage(&image); }
};
using IplImagePtr = std::unique_ptr<IplImage, IplImageRelease>;

// Each returns a new image of the source's size (release it with cvReleaseImage), or null when
// it cannot be created, the depth is no IplImage depth, or the planes differ in size. Depth 0
// asks for the default depth; IPL_DEPTH_8S, which has no conversion, gives an image of zeros.
IplImage* IntArrayToIpl(const IntArray& array, int depth = 0);      // default IPL_DEPTH_32S
IplImage* FloatArrayToIpl(const FloatArray& array, int depth = 0);  // default IPL_DEPTH_64F
IplImage* Planes8ToIpl(const ByteArray& p0, const ByteArray& p1, const ByteArray& p2,
                       int depth = 0);  // default IPL_DEPTH_8U
IplImage* IntPlanesToIpl(const IntArray& a0, const IntArray& a1, const IntArray& a2,
                         int depth = 0);  // default IPL_DEPTH_32S
IplImage* FloatPlanesToIpl(const FloatArray& a0, const FloatArray& a1, const FloatArray& a2,
                           int depth = 0);  // default IPL_DEPTH_64F
// Int and float images by their channels; null for complex images.
IplImage* ImageToIpl(const Image& image, int depth = 0);

// Resizes image to the matrix and, for Int 1ch and Float 1ch images, copies its signed 16-bit
// elements; other image types are only resized. −1, with the image untouched, when mat is null
// or not a single-channel 16-bit signed matrix; 0 otherwise.
int MatToImage(const CvMat* mat, Image& image);

}  // namespace kandrel
