// Resamplers shared by the resizing processes, the image window and super-resolution:
// separable resampling with precomputed normalised weights (bilinear, bicubic, area average),
// nearest neighbour by index tables, and a fixed 2× bicubic upscaler.
#pragma once

#include <vector>

#include "image/array2d.h"

namespace kandrel {

// Interpolation methods of CResize_1D and CResize2D.
enum ResizeMethod : int {
  kResizeNearest = 0,
  kResizeBilinear = 1,
  kResizeBicubic = 2,
  kResizeAreaAverage = 3,
};

// The weights that take a line of n samples to m samples: T taps per destination sample,
// starting at start[i] and going down. Taps outside the source have weight 0 and the others are
// renormalised to sum 1, so borders are neither mirrored nor extended. A method outside 0..3
// means nearest.
class CResize_1D {
 public:
  void Setup(int n, int m, int method);
  // src holds n samples, dst receives m.
  void Apply(const float* src, float* dst) const;
  void Apply(const int* src, float* dst) const;
  // Destination line i from n source lines of lineLength floats (lines[k] is line k; only
  // those under the taps of i are read): every sample weighted as Apply would weight it, taps in
  // the same order, but a whole line per tap.
  void ApplyAcrossLines(int i, const float* const* lines, int lineLength, float* dst) const;

  int Taps() const { return taps_; }
  int Start(int i) const { return start_[i]; }
  float Weight(int i, int tap) const { return weights_[static_cast<std::size_t>(i) * taps_ + tap]; }

 private:
  // The taps [first, end) of destination sample i whose source index lies inside the line.
  int FirstTap(int i) const;
  int EndTap(int i) const;
  template <class T>
  void ApplyLine(const T* src, float* dst) const;
  // kTaps > 0: that many taps, unrolled where all lie inside the source.
  template <int kTaps, class T>
  void ApplyLine(const T* src, float* dst) const;

  int n_ = 0;
  int m_ = 0;
  int method_ = kResizeNearest;
  int taps_ = 1;
  std::vector<float> weights_;  // m × taps
  std::vector<int> start_;      // m
};

// Separable resampling: rows first, then columns. The source may be the destination itself.
class CResize2D {
 public:
  CResize2D(int method, int dstWidth, int dstHeight);
  void ResizeInt(const IntArray& src, IntArray& dst);
  void ResizeFloat(const FloatArray& src, FloatArray& dst);

  // The same a band of rows at a time, for callers that fuse it with other work on those rows:
  // Prepare sizes dst and the tables for src (src must not be dst) and returns false when dst is
  // finished already (empty, or zeros for an empty src); ResizeRows then fills dst's rows
  // rowBegin … rowEnd − 1, from any number of threads at once.
  template <class T>
  bool Prepare(const Array2D<T>& src, Array2D<T>& dst);
  template <class T>
  void ResizeRows(const Array2D<T>& src, Array2D<T>& dst, int rowBegin, int rowEnd) const;

 private:
  template <class T>
  void Resize(const Array2D<T>& src, Array2D<T>& dst);

  int method_;
  int dstWidth_;
  int dstHeight_;
  std::vector<float> widened_;             // a ring of source rows resampled to dstWidth
  std::vector<const float*> widenedRows_;  // source row k → its place in the ring
  std::vector<float> rowSum_;              // one destination row of Int results before rounding
};

class CResizeBiCubic : public CResize2D {
 public:
  CResizeBiCubic(int dstWidth, int dstHeight) : CResize2D(kResizeBicubic, dstWidth, dstHeight) {}
};

// Nearest-neighbour resampling by two index tables sized to the destination. An empty source
// gives a destination of zeros; the source may be the destination itself.
class NearestNeighbor {
 public:
  NearestNeighbor(int dstWidth, int dstHeight);
  void ResizeInt(const IntArray& src, IntArray& dst);
  void ResizeFloat(const FloatArray& src, FloatArray& dst);

  // The same a row at a time, for callers that fuse it with other work on that row: PrepareFor
  // fills the tables for a source of that size (not empty); ResizeRow then writes destination
  // row y (dstWidth samples) to out, from any number of threads at once.
  void PrepareFor(int srcWidth, int srcHeight);
  template <class T>
  void ResizeRow(const Array2D<T>& src, int y, T* out) const;

 private:
  template <class T>
  void Resize(const Array2D<T>& src, Array2D<T>& dst);

  int dstWidth_;
  int dstHeight_;
  std::vector<int> xIndex_;
  std::vector<int> yIndex_;
};

// dst becomes 2W × 2H; lines shorter than 3 samples are refused (dst left empty, false).
bool BiCubic2x2(const FloatArray& src, FloatArray& dst);

}  // namespace kandrel
