#include "image/conversions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <type_traits>
#include <vector>

#include "image/parallel.h"

namespace kandrel {

void ComplexMagnitude(const ComplexArray& src, FloatArray& dst) {
  dst.Resize(src.Width(), src.Height());
  std::transform(src.begin(), src.end(), dst.begin(),
                 [](const std::complex<float>& c) { return std::abs(c); });
}

void SplitComplex(const ComplexArray& src, FloatArray& re, FloatArray& im) {
  re.Resize(src.Width(), src.Height());
  im.Resize(src.Width(), src.Height());
  std::transform(src.begin(), src.end(), re.begin(),
                 [](const std::complex<float>& c) { return c.real(); });
  std::transform(src.begin(), src.end(), im.begin(),
                 [](const std::complex<float>& c) { return c.imag(); });
}

void MergeComplex(const FloatArray& re, const FloatArray& im, ComplexArray& dst) {
  if (!re.SameSize(im)) return;
  dst.Resize(re.Width(), re.Height());
  std::transform(re.begin(), re.end(), im.begin(), dst.begin(),
                 [](float r, float i) { return std::complex<float>(r, i); });
}

void IntToFloat(const IntArray& src, FloatArray& dst) {
  dst.Resize(src.Width(), src.Height());
  std::transform(src.begin(), src.end(), dst.begin(), [](int v) { return static_cast<float>(v); });
}

namespace {

// T[1..255]: a sample reaches level i when it is at or above T[i]. T[0] is unused.
using Thresholds = std::array<float, 256>;

Thresholds BuildThresholds(double white, double gamma) {
  Thresholds t{};
  const float exponent = static_cast<float>(2.2 / gamma);
  for (int i = 1; i < 256; ++i)
    t[i] = static_cast<float>(white * std::pow((i - 0.5) / 255.0, static_cast<double>(exponent)));
  return t;
}

// The bisection over [0, 256): probe 128, then lower + 64 …, keeping the probe as the lower bound
// when v reaches it. Written without the upper bound, which is always lower + 2·step. V is double
// for int samples, so that the comparison with the float thresholds is exact.
template <class V>
int Bisect(const Thresholds& t, V v) {
  int lower = 0;
  for (int step = 128; step > 0; step >>= 1)
    if (v >= t[lower + step]) lower += step;
  return lower;
}

// Step 4 of the mapping (negative samples mirrored or black), free of branches.
template <bool kAbsolute>
std::uint32_t Magnitude(int v) {
  const auto u = static_cast<std::uint32_t>(v);
  if constexpr (kAbsolute)
    return v < 0 ? 0u - u : u;
  else
    return v < 0 ? 0u : u;
}
// For floats on their bits: mirroring clears the sign bit; otherwise anything with the sign bit
// set becomes +0. −0 and −NaN thus meet +0 and NaN, which no comparison tells apart; a NaN left
// standing is the caller's to treat as the 0 it stands for when not mirrored.
template <bool kAbsolute>
std::uint32_t MagnitudeBits(float v) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  if constexpr (kAbsolute)
    return bits & 0x7FFFFFFFu;
  else
    return static_cast<std::int32_t>(bits) < 0 ? 0u : bits;
}

// The mappers below turn a span of samples into levels, halved (shifted right by one) outside
// the view. Their Map is always inlined, into each compiled variant of the span loop (MapSpan).

template <bool kAbsolute>
struct SearchedLevels {
  explicit SearchedLevels(const Thresholds& thresholds) : t(&thresholds) {}
  [[gnu::always_inline]] void Map(const int* in, unsigned char* out, int n, int halve) const {
    for (int i = 0; i < n; ++i) {
      const auto magnitude = static_cast<double>(Magnitude<kAbsolute>(in[i]));
      out[i] = static_cast<unsigned char>(Bisect(*t, magnitude) >> halve);
    }
  }
  [[gnu::always_inline]] void Map(const float* in, unsigned char* out, int n, int halve) const {
    for (int i = 0; i < n; ++i) {
      const float v = in[i];
      const float magnitude = v >= 0 ? v : kAbsolute ? -v : 0.0f;
      out[i] = static_cast<unsigned char>(Bisect(*t, magnitude) >> halve);
    }
  }
  const Thresholds* t;
};

// The tabled mappers in chunks: a table index per sample, the table loads, then the level from
// sample and entry. The first and last passes vectorise, and with AVX2 the loads do as well.
// Callers pass the table and their constants as locals, so that the compiler sees them fixed.
template <class Sample, class IndexOf, class LevelOf>
[[gnu::always_inline]] inline void MapInChunks(const Sample* in, unsigned char* out, int n,
                                               int halve, const std::uint32_t* table,
                                               IndexOf indexOf, LevelOf levelOf) {
  constexpr int kChunk = 256;
  std::uint32_t index[kChunk], entry[kChunk];
  for (int start = 0; start < n; start += kChunk) {
    const int count = std::min(kChunk, n - start);
    const Sample* s = in + start;
    for (int i = 0; i < count; ++i) index[i] = indexOf(s[i]);
    for (int i = 0; i < count; ++i) entry[i] = table[index[i]];
    for (int i = 0; i < count; ++i)
      out[start + i] = static_cast<unsigned char>(levelOf(s[i], entry[i]) >> halve);
  }
}

// Int samples: levels by magnitude up to just past the largest threshold; beyond it every probe
// succeeds, so the last entry serves all larger magnitudes. Empty when that would be large.
std::vector<std::uint32_t> IntLevelTable(const Thresholds& t, std::size_t sampleCount) {
  constexpr double kSmallTable = 4096, kLargestTable = 1 << 16;
  float largest = -std::numeric_limits<float>::infinity();
  for (int i = 1; i < 256; ++i)
    if (t[i] > largest) largest = t[i];  // NaN thresholds never compare true: skipped
  const double entries = largest < 0 ? 1.0 : std::floor(static_cast<double>(largest)) + 2.0;
  if (entries > kLargestTable || entries > std::max(kSmallTable, static_cast<double>(sampleCount)))
    return {};
  std::vector<std::uint32_t> levels(static_cast<std::size_t>(entries));
  for (std::size_t m = 0; m < levels.size(); ++m)
    levels[m] = static_cast<std::uint32_t>(Bisect(t, static_cast<double>(m)));
  return levels;
}

template <bool kAbsolute>
struct TabledIntLevels {
  explicit TabledIntLevels(const std::vector<std::uint32_t>& table)
      : levels(table.data()), last(static_cast<std::uint32_t>(table.size() - 1)) {}
  [[gnu::always_inline]] void Map(const int* in, unsigned char* out, int n, int halve) const {
    const std::uint32_t largest = last;
    MapInChunks(
        in, out, n, halve, levels,
        [largest](int v) { return std::min(Magnitude<kAbsolute>(v), largest); },
        [](int, std::uint32_t level) { return level; });
  }
  const std::uint32_t* levels;
  std::uint32_t last;
};

// Int samples whose levels rise linearly with the magnitude, as they do when the display gamma
// is the image's own: the level is computed, not loaded, wherever LinearScaleFor found that the
// formula gives every entry of the table.
template <bool kAbsolute>
struct LinearIntLevels {
  LinearIntLevels(float scale, std::size_t entries)
      : scale(scale), last(static_cast<std::uint32_t>(entries - 1)) {}
  static std::uint32_t Level(std::uint32_t magnitude, float scale) {
    const auto level = static_cast<int>(static_cast<float>(static_cast<int>(magnitude)) * scale + 0.5f);
    return static_cast<std::uint32_t>(std::min(level, 255));
  }
  [[gnu::always_inline]] void Map(const int* in, unsigned char* out, int n, int halve) const {
    const std::uint32_t largest = last;
    const float s = scale;
    for (int i = 0; i < n; ++i)
      out[i] = static_cast<unsigned char>(Level(std::min(Magnitude<kAbsolute>(in[i]), largest), s) >> halve);
  }
  float scale;
  std::uint32_t last;
};

// 255 / white when LinearIntLevels reproduces the whole table with it, else 0.
float LinearScaleFor(const std::vector<std::uint32_t>& table, double white) {
  const auto scale = static_cast<float>(255.0 / white);
  for (std::size_t m = 0; m < table.size(); ++m)
    if (LinearIntLevels<true>::Level(static_cast<std::uint32_t>(m), scale) != table[m]) return 0;
  return scale;
}

// Float samples. With rising, finite thresholds the bisection counts the thresholds at or below
// the sample, and for non-negative floats that order is the order of their bits. The table is
// indexed by the top bits, in buckets so narrow that each holds at most one threshold; an entry
// gives the count below the bucket and the low bits of the threshold inside it (or a value no
// sample's low bits reach), so the level is one table load and one integer comparison.
struct BucketTable {
  std::vector<std::uint32_t> entries;  // count | low bits of the split << 8
  int shift = 0;
  std::uint32_t firstKey = 0;  // smaller keys share its entry, which no threshold splits
  std::uint32_t topIndex = 0;  // above every threshold, +inf too
  std::uint32_t nanIndex = 0;
};

BucketTable BuildBucketTable(const Thresholds& t, std::size_t sampleCount, int nanLevel) {
  constexpr std::size_t kFewestSamples = 4096;
  constexpr std::uint32_t kMostEntries = 16384;  // 64 KB
  constexpr int kWidestShift = 23;  // keeps count, split bits and their "never" value in 32 bits
  BucketTable table;
  if (sampleCount < kFewestSamples) return table;
  for (int i = 1; i < 256; ++i)
    if (!std::isfinite(t[i]) || (i > 1 && !(t[i - 1] <= t[i]))) return table;
  // Thresholds at or below 0 are below every sample; each positive one needs its own bucket.
  int firstPositive = 1;
  while (firstPositive < 256 && !(t[firstPositive] > 0)) ++firstPositive;
  int shift = kWidestShift;
  for (int i = firstPositive; i < 255; ++i) {
    const auto lower = std::bit_cast<std::uint32_t>(t[i]);
    const auto upper = std::bit_cast<std::uint32_t>(t[i + 1]);
    if (lower == upper) return table;
    shift = std::min(shift, static_cast<int>(std::bit_width(lower ^ upper)) - 1);
  }
  const std::uint32_t lowKey =
      firstPositive < 256 ? std::bit_cast<std::uint32_t>(t[firstPositive]) >> shift : 0;
  const std::uint32_t highKey =
      firstPositive < 256 ? std::bit_cast<std::uint32_t>(t[255]) >> shift : 0;
  const std::uint32_t firstKey = lowKey > 0 ? lowKey - 1 : 0;
  if (highKey - firstKey + 3 > kMostEntries) return table;

  const std::uint32_t never = 1u << shift;
  std::vector<std::uint32_t> entries(highKey - firstKey + 3);
  int below = 0;  // thresholds at or below the bucket's first value
  for (std::uint32_t key = firstKey; key <= highKey; ++key) {
    const float first = key == firstKey ? 0.0f : std::bit_cast<float>(key << shift);
    const float last = std::bit_cast<float>(((key + 1) << shift) - 1);
    while (below < 255 && t[below + 1] <= first) ++below;
    int through = below;
    while (through < 255 && t[through + 1] <= last) ++through;
    if (through - below > 1) return table;
    const std::uint32_t split =
        through > below ? std::bit_cast<std::uint32_t>(t[through]) & (never - 1) : never;
    entries[key - firstKey] = static_cast<std::uint32_t>(below) | split << 8;
  }
  table.shift = shift;
  table.firstKey = firstKey;
  table.topIndex = highKey - firstKey + 1;
  table.nanIndex = table.topIndex + 1;
  entries[table.topIndex] = 255 | never << 8;
  entries[table.nanIndex] = static_cast<std::uint32_t>(nanLevel) | never << 8;
  table.entries = std::move(entries);
  return table;
}

template <bool kAbsolute>
struct TabledFloatLevels {
  explicit TabledFloatLevels(const BucketTable& table)
      : entries(table.entries.data()),
        shift(table.shift),
        firstKey(table.firstKey),
        topIndex(table.topIndex),
        nanIndex(table.nanIndex) {}

  [[gnu::always_inline]] void Map(const float* in, unsigned char* out, int n, int halve) const {
    constexpr std::uint32_t kInfinityBits = 0x7F800000u;
    const int bits = shift;
    const std::uint32_t first = firstKey, top = topIndex, nan = nanIndex;
    const std::uint32_t lowMask = (1u << bits) - 1;
    MapInChunks(
        in, out, n, halve, entries,
        [=](float v) {
          const std::uint32_t m = MagnitudeBits<kAbsolute>(v);
          const auto fromFirst = static_cast<std::int32_t>((m >> bits) - first);
          const auto bucket = std::min(static_cast<std::uint32_t>(std::max(fromFirst, 0)), top);
          return m > kInfinityBits ? nan : bucket;
        },
        [=](float v, std::uint32_t entry) {
          const std::uint32_t low = MagnitudeBits<kAbsolute>(v) & lowMask;
          return (entry & 0xFF) + (low >= entry >> 8 ? 1u : 0u);
        });
  }

  const std::uint32_t* entries;
  int shift;
  std::uint32_t firstKey;
  std::uint32_t topIndex;
  std::uint32_t nanIndex;
};

template <class Levels, class Sample>
using SpanMapper = void (*)(const Levels&, const Sample*, unsigned char*, int, int);

template <class Levels, class Sample>
void MapSpan(const Levels& levels, const Sample* in, unsigned char* out, int n, int halve) {
  levels.Map(in, out, n, halve);
}

// With AVX2 the table loads vectorise too (as gathers), so the span loop is compiled twice and
// the processor's abilities pick one.
#if defined(__GNUC__) && defined(__x86_64__)
template <class Levels, class Sample>
__attribute__((target("avx2"))) void MapSpanAvx2(const Levels& levels, const Sample* in,
                                                 unsigned char* out, int n, int halve) {
  levels.Map(in, out, n, halve);
}
#endif

template <class Levels, class Sample>
SpanMapper<Levels, Sample> PickSpanMapper() {
#if defined(__GNUC__) && defined(__x86_64__)
  if (__builtin_cpu_supports("avx2")) return MapSpanAvx2<Levels, Sample>;
#endif
  return MapSpan<Levels, Sample>;
}

// The view test is settled per row and per span, not per sample.
template <class Sample, class Levels>
void MapRows(const Array2D<Sample>& src, int left, int top, int right, int bottom, ByteArray& dst,
             const Levels& levels, int rowBegin, int rowEnd) {
  const SpanMapper<Levels, Sample> map = PickSpanMapper<Levels, Sample>();
  const int width = src.Width();
  const int inFrom = std::clamp(left, 0, width);
  const int inTo = std::clamp(right, inFrom, width);
  for (int y = rowBegin; y < rowEnd; ++y) {
    const Sample* in = src[y];
    unsigned char* out = dst[y];
    if (y < top || y >= bottom) {
      map(levels, in, out, width, 1);
      continue;
    }
    map(levels, in, out, inFrom, 1);
    map(levels, in + inFrom, out + inFrom, inTo - inFrom, 0);
    map(levels, in + inTo, out + inTo, width - inTo, 1);
  }
}

}  // namespace

struct PreparedDisplayLevels {
  Thresholds thresholds{};
  std::vector<std::uint32_t> intTable;
  float linearScale = 0;  // nonzero: the int table is linear with this slope
  BucketTable floatTable;
};

namespace {

// The row mapper of the mapper kind Levels, built from the prepared tables.
template <class Levels, class Sample>
void MapRowsWith(const PreparedDisplayLevels& prepared, const Array2D<Sample>& src, int left,
                 int top, int right, int bottom, ByteArray& dst, int rowBegin, int rowEnd) {
  if constexpr (std::is_same_v<Levels, SearchedLevels<true>> ||
                std::is_same_v<Levels, SearchedLevels<false>>)
    MapRows(src, left, top, right, bottom, dst, Levels(prepared.thresholds), rowBegin, rowEnd);
  else if constexpr (std::is_same_v<Levels, LinearIntLevels<true>> ||
                     std::is_same_v<Levels, LinearIntLevels<false>>)
    MapRows(src, left, top, right, bottom, dst,
            Levels(prepared.linearScale, prepared.intTable.size()), rowBegin, rowEnd);
  else if constexpr (std::is_same_v<Sample, int>)
    MapRows(src, left, top, right, bottom, dst, Levels(prepared.intTable), rowBegin, rowEnd);
  else
    MapRows(src, left, top, right, bottom, dst, Levels(prepared.floatTable), rowBegin, rowEnd);
}

// Picks the instantiation for the absolute flag, so that the inner loops do not test it.
template <template <bool> class Levels, class Sample>
auto RowMapperFor(bool absolute) {
  return absolute ? &MapRowsWith<Levels<true>, Sample> : &MapRowsWith<Levels<false>, Sample>;
}

}  // namespace

template <class Sample>
DisplayLevels<Sample>::DisplayLevels(double white, bool absolute, double gamma,
                                     std::size_t sampleCount) {
  constexpr bool kInt = std::is_same_v<Sample, int>;
  if (white == 0 || (kInt && gamma <= 0)) return;
  auto prepared = std::make_unique<PreparedDisplayLevels>();
  const Thresholds& t = prepared->thresholds = BuildThresholds(white, gamma);
  if constexpr (kInt) {
    prepared->intTable = IntLevelTable(t, sampleCount);
    if (!prepared->intTable.empty()) prepared->linearScale = LinearScaleFor(prepared->intTable, white);
    mapRows_ = prepared->intTable.empty()     ? RowMapperFor<SearchedLevels, int>(absolute)
               : prepared->linearScale != 0 ? RowMapperFor<LinearIntLevels, int>(absolute)
                                              : RowMapperFor<TabledIntLevels, int>(absolute);
  } else {
    // An unmirrored NaN is a sample "not ≥ 0", shown as 0 is.
    prepared->floatTable = BuildBucketTable(t, sampleCount, absolute ? 0 : Bisect(t, 0.0f));
    mapRows_ = prepared->floatTable.entries.empty()
                   ? RowMapperFor<SearchedLevels, float>(absolute)
                   : RowMapperFor<TabledFloatLevels, float>(absolute);
  }
  prepared_ = std::move(prepared);
}

template <class Sample>
DisplayLevels<Sample>::~DisplayLevels() = default;

template <class Sample>
void DisplayLevels<Sample>::MapRows(const Array2D<Sample>& src, int left, int top, int right,
                                    int bottom, ByteArray& dst, int rowBegin, int rowEnd) const {
  if (mapRows_) mapRows_(*prepared_, src, left, top, right, bottom, dst, rowBegin, rowEnd);
}

template class DisplayLevels<int>;
template class DisplayLevels<float>;

namespace {

template <class Sample>
void MapWholePicture(const Array2D<Sample>& src, double white, bool absolute, int left, int top,
                     int right, int bottom, ByteArray& dst, double gamma) {
  dst.Resize(src.Width(), src.Height());
  const DisplayLevels<Sample> levels(white, absolute, gamma, src.SampleCount());
  ForEachRowBand(src.Height(), src.Width(), [&](int rowBegin, int rowEnd) {
    levels.MapRows(src, left, top, right, bottom, dst, rowBegin, rowEnd);
  });
}

}  // namespace

void MapToDisplayLevels(const IntArray& src, int white, bool absolute, int left, int top, int right,
                        int bottom, ByteArray& dst, double gamma) {
  MapWholePicture(src, white, absolute, left, top, right, bottom, dst, gamma);
}

void MapToDisplayLevels(const FloatArray& src, double white, bool absolute, int left, int top,
                        int right, int bottom, ByteArray& dst, double gamma) {
  MapWholePicture(src, white, absolute, left, top, right, bottom, dst, gamma);
}

void ClearHistogram(HistogramData& h) {
  h.min = 0;
  h.max = 0;
  std::fill(std::begin(h.counts), std::end(h.counts), 0);
  h.mean = 0;
}

namespace {

void AddToHistogram(HistogramData& h, double v) {
  h.mean += v;
  if (v > h.max) h.max = v;
  if (v < h.min) h.min = v;
  if (v < h.lo) {
    ++h.counts[256];
  } else if (v >= h.hi) {
    ++h.counts[257];
  } else {
    double d = v - h.lo;
    int bin = 0;
    for (int k = 0; k < 8; ++k) {
      if (d >= h.steps[k]) {
        bin += 128 >> k;
        d -= h.steps[k];
      }
    }
    ++h.counts[bin];
  }
}

// Complex samples count twice: the real part, then the imaginary part.
template <class T>
int AddSample(HistogramData& h, const T& v) {
  if constexpr (std::is_same_v<T, std::complex<float>>) {
    AddToHistogram(h, v.real());
    AddToHistogram(h, v.imag());
    return 2;
  } else {
    AddToHistogram(h, v);
    return 1;
  }
}

template <class T>
double FirstPart(const T& v) {
  if constexpr (std::is_same_v<T, std::complex<float>>)
    return v.real();
  else
    return v;
}

template <class T>
void Accumulate(HistogramData& h, const Array2D<T>& channel, int left, int top, int right,
                int bottom) {
  ClearHistogram(h);
  const double range = h.hi - h.lo;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, channel.Width());
  bottom = std::min(bottom, channel.Height());
  if (!(range > 0) || channel.Width() == 0 || channel.Height() == 0 || left >= right ||
      top >= bottom)
    return;
  h.min = h.max = FirstPart(channel[top][left]);
  double step = range;
  for (double& s : h.steps) s = step /= 2;
  std::int64_t values = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) values += AddSample(h, channel[y][x]);
  h.mean /= static_cast<double>(values);
}

}  // namespace

void AccumulateHistogram(HistogramData& h, const IntArray& channel, int left, int top, int right,
                         int bottom) {
  Accumulate(h, channel, left, top, right, bottom);
}
void AccumulateHistogram(HistogramData& h, const FloatArray& channel, int left, int top, int right,
                         int bottom) {
  Accumulate(h, channel, left, top, right, bottom);
}
void AccumulateHistogram(HistogramData& h, const ComplexArray& channel, int left, int top,
                         int right, int bottom) {
  Accumulate(h, channel, left, top, right, bottom);
}

}  // namespace kandrel
