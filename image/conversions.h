// Conversions between channel arrays and their display forms: the complex helpers, the tone
// mapping of int and float samples to 8-bit display levels (white level, gamma, half brightness
// outside the view rectangle), and the region histogram behind the histogram window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "image/array2d.h"

namespace kandrel {

// All four resize the destination to the source's size first.
void ComplexMagnitude(const ComplexArray& src, FloatArray& dst);
void SplitComplex(const ComplexArray& src, FloatArray& re, FloatArray& im);
// Leaves dst untouched when re and im differ in size.
void MergeComplex(const FloatArray& re, const FloatArray& im, ComplexArray& dst);
void IntToFloat(const IntArray& src, FloatArray& dst);

// Display levels 0..255 for white level `white` and `gamma`; negative samples are mirrored when
// `absolute` is set and black otherwise; samples outside [left, right) × [top, bottom) are shown
// at half brightness. With white 0 (or, for int samples, gamma ≤ 0) dst is resized but keeps its
// previous samples.
void MapToDisplayLevels(const IntArray& src, int white, bool absolute, int left, int top, int right,
                        int bottom, ByteArray& dst, double gamma);
void MapToDisplayLevels(const FloatArray& src, double white, bool absolute, int left, int top,
                        int right, int bottom, ByteArray& dst, double gamma);

struct PreparedDisplayLevels;

// The same mapping prepared once for a picture of sampleCount samples (its thresholds and lookup
// tables) and applied a band of rows at a time, from any number of threads at once, by callers
// that fuse it with other work on those rows. Sample is int or float; an int white level is
// passed as its double.
template <class Sample>
class DisplayLevels {
 public:
  DisplayLevels(double white, bool absolute, double gamma, std::size_t sampleCount);
  ~DisplayLevels();
  DisplayLevels(const DisplayLevels&) = delete;
  DisplayLevels& operator=(const DisplayLevels&) = delete;

  // Rows rowBegin … rowEnd − 1 of src into dst, which has src's size; with white 0 (or, for int
  // samples, gamma ≤ 0) dst keeps its samples.
  void MapRows(const Array2D<Sample>& src, int left, int top, int right, int bottom, ByteArray& dst,
               int rowBegin, int rowEnd) const;

 private:
  using RowMapper = void (*)(const PreparedDisplayLevels&, const Array2D<Sample>&, int, int, int,
                             int, ByteArray&, int, int);
  std::unique_ptr<const PreparedDisplayLevels> prepared_;
  RowMapper mapRows_ = nullptr;
};

struct HistogramData {
  double lo = -0.5;   // lower edge of bin 0, set by the owner
  double hi = 255.5;  // upper edge of bin 255, set by the owner
  double min = 0;
  double max = 0;
  // Bins 0..255, then the counts below lo (256) and at or above hi (257).
  std::int32_t counts[258] = {};
  // The running sum while accumulating, the mean afterwards.
  double mean = 0;
  // (hi − lo)/2, (hi − lo)/4, … (hi − lo)/256: the bin is found by subtracting these.
  double steps[8] = {};
};

// Zeroes min, max, counts and mean; lo, hi and steps are kept.
void ClearHistogram(HistogramData& h);
// The histogram of the samples in [left, right) × [top, bottom), clipped to the channel (a view
// rectangle may be stale). Complex samples contribute their real and imaginary parts.
void AccumulateHistogram(HistogramData& h, const IntArray& channel, int left, int top, int right,
                         int bottom);
void AccumulateHistogram(HistogramData& h, const FloatArray& channel, int left, int top, int right,
                         int bottom);
void AccumulateHistogram(HistogramData& h, const ComplexArray& channel, int left, int top,
                         int right, int bottom);

}  // namespace kandrel
