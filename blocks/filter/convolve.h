// The small convolution engine that the neighbourhood filters share: edge replication and the
// two-dimensional correlation or convolution of an image with a kernel, one set of functions per
// element type. Each type keeps its own arithmetic: int sums wrap around as two's-complement
// int32, float products are exact in double and summed in double, complex products and sums stay
// in float. Every output sample sums its terms in kernel order, row by row.
#pragma once

#include <complex>

#include "image/array2d.h"

namespace kandrel {

// dst = src widened by left, top, right and bottom samples (all ≥ 0), each new sample a copy of
// the nearest edge sample, corners included. An empty src has nothing to copy: dst is 0 there.
void PadEdges(const IntArray& src, int left, int top, int right, int bottom, IntArray& dst);
void PadEdges(const FloatArray& src, int left, int top, int right, int bottom, FloatArray& dst);
void PadEdges(const ComplexArray& src, int left, int top, int right, int bottom, ComplexArray& dst);

// out (W − kw + 1) × (H − kh + 1): flip true applies the kernel as stored,
// out[y][x] = Σ image[y+v][x+u]·kernel[v][u]; false applies it rotated by 180°,
// Σ image[y+v][x+u]·kernel[kh−1−v][kw−1−u]. 1, out untouched, when the kernel is empty or wider
// or higher than the image. out may be either argument.
int ConvolveValid(const IntArray& image, const IntArray& kernel, bool flip, IntArray& out);
int ConvolveValid(const FloatArray& image, const FloatArray& kernel, bool flip, FloatArray& out);
int ConvolveValid(const ComplexArray& image, const ComplexArray& kernel, bool flip,
                  ComplexArray& out);

// out of the image's size: the image with replicated edges, then ConvolveValid. The borders put
// the kernel's origin at its centre (⌊kw/2⌋, ⌊kh/2⌋) when centered, else at (0, 0) for flip and
// at (kw − 1, kh − 1) without, which makes the latter the textbook Σ A(x−u, y−v)·B(u, v).
// An empty image gives an empty out; an empty kernel fails with 1. out may be the image.
int ConvolveSame(const IntArray& image, const IntArray& kernel, bool flip, bool centered,
                 IntArray& out);
int ConvolveSame(const FloatArray& image, const FloatArray& kernel, bool flip, bool centered,
                 FloatArray& out);
int ConvolveSame(const ComplexArray& image, const ComplexArray& kernel, bool flip, bool centered,
                 ComplexArray& out);

}  // namespace kandrel
