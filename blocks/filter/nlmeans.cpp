#include "blocks/filter/nlmeans.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "blocks/pixel/sample_ops.h"
#include "image/parallel.h"
#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using std::int64_t;
using std::uint32_t;
using std::uint64_t;

// The Int weights E[u] = trunc(256·e^(−u/32)) for u = D·32 div n up to 160; beyond, none.
constexpr int kWeightSteps = 161;
// Int weights are looked up by distance while the table stays this small; larger spreads divide.
constexpr int64_t kMaxWeightTable = int64_t{1} << 20;
// e^−750 is below the smallest double: a Float block this many spreads away weighs exactly 0.
constexpr double kVanishingSpreads = 750.0;
// Rows are filtered in tiles of about this many samples, so that a tile's sums stay in cache
// while every displacement passes over it.
constexpr int kTileSamples = 40960;
constexpr int kMinTileRows = 16;

// A pixel's Int weight sum has at most 256 for each displacement, of which there are at most
// 2047²: it fits an int32.
static_assert(256.0 * kMaxNLMeansSize * kMaxNLMeansSize < 2147483647.0);

// |t| for the difference t truncated to an integer, as an unsigned 32-bit number: exact for
// every pair of int32 samples.
inline uint32_t Magnitude(int a) {
  return a < 0 ? 0u - static_cast<uint32_t>(a) : static_cast<uint32_t>(a);
}
inline uint32_t Magnitude(int a, int b) {
  return a > b ? static_cast<uint32_t>(a) - static_cast<uint32_t>(b)
               : static_cast<uint32_t>(b) - static_cast<uint32_t>(a);
}
inline uint32_t Magnitude(float a) { return Magnitude(TruncateToInt(a)); }
inline uint32_t Magnitude(float a, float b) { return Magnitude(a - b); }

template <class Sum>
inline Sum CappedSquare(uint32_t m, uint32_t cap) {
  const Sum c = m < cap ? m : cap;
  return c * c;
}

// A sample whose magnitude reaches `cap` alone puts its block at least cap² ≥ `vanishing` away,
// the first distance that weighs nothing; its true block is farther still and weighs nothing
// too. So capping changes no weight, and it bounds every block's sum: the integral images are
// kept modulo 2^32 or 2^64 and their block differences are exact while the true block sum fits.
// Only a Float spread so large that the 64-bit bound caps below `vanishing` (h·B over 7·10⁴
// even for the largest blocks) lets blocks with samples over 2·10⁶ apart weigh as if nearer.
struct DistanceCap {
  uint32_t magnitude;
  bool wide;  // block sums need 64 bits
};

DistanceCap CapFor(double vanishing, uint64_t blockSamples) {
  const uint64_t perSample = std::numeric_limits<uint64_t>::max() / blockSamples;
  uint64_t limit =
      std::min<uint64_t>(static_cast<uint64_t>(std::sqrt(static_cast<double>(perSample))),
                         std::numeric_limits<uint32_t>::max());
  while (limit * limit > perSample) --limit;
  const double wanted = std::ceil(std::sqrt(vanishing)) + 1.0;  // one more against sqrt's rounding
  const uint64_t cap = wanted < static_cast<double>(limit) ? static_cast<uint64_t>(wanted) : limit;
  return {static_cast<uint32_t>(cap),
          cap * cap * blockSamples > std::numeric_limits<uint32_t>::max()};
}

template <class F>
void WithSumType(bool wide, F&& f) {
  if (wide)
    f(uint64_t{});
  else
    f(uint32_t{});
}

// One frame's search: blocks span x − b .. x + b (clipped), and displacements beyond the image
// find no partner, so they run over −reachX..reachX and −reachY..reachY only.
struct SearchShape {
  int width, height, b, reachX, reachY;

  SearchShape(const ProcNLMeans::Params& p, int w, int h)
      : width(w),
        height(h),
        b(p.blockSize / 2),
        reachX(std::min(p.searchSize / 2, w - 1)),
        reachY(std::min(p.searchSize / 2, h - 1)) {}
  uint64_t BlockSamples() const {
    return static_cast<uint64_t>(std::min(2 * b + 1, width)) *
           static_cast<uint64_t>(std::min(2 * b + 1, height));
  }
};

// q[x] for one row: against the partner row over [from, to) (partner[0] pairs with row[from]),
// of the sample alone where the partner lies outside the image.
template <class T, class Sum>
KANDREL_VECTOR_CLONES void SquaredDistances(const T* __restrict row, const T* __restrict partner,
                                            int from, int to, int width, uint32_t cap,
                                            Sum* __restrict q) {
  for (int x = 0; x < from; ++x) q[x] = CappedSquare<Sum>(Magnitude(row[x]), cap);
  for (int x = from; x < to; ++x)
    q[x] = CappedSquare<Sum>(Magnitude(row[x], partner[x - from]), cap);
  for (int x = to; x < width; ++x) q[x] = CappedSquare<Sum>(Magnitude(row[x]), cap);
}

// sums[c] = above[c] + q[0] + … + q[c − 1] for c = 0..width. The padding right of the row
// repeats sums[width] and the padding left of it stays 0, so that a block clipped at either
// side reads the same differences as an inner one.
template <class Sum>
void AddRowPrefix(const Sum* __restrict q, const Sum* __restrict above, Sum* __restrict sums,
                  int width, int pad) {
  Sum run = 0;
  sums[0] = above[0];
  for (int x = 0; x < width; ++x) {
    run += q[x];
    sums[x + 1] = above[x + 1] + run;
  }
  std::fill(sums + width + 1, sums + width + 1 + pad, sums[width]);
}

// Distances below `last` weigh table[d]; table[last] is 0. (A 16-bit table would not vectorise.)
template <class Sum>
struct WeightByDistance {
  const std::int32_t* table;
  Sum last;
  int operator()(Sum d) const { return table[std::min(d, last)]; }
};

// The same weights with the division made for every pair, for spreads too large for a table.
template <class Sum>
struct WeightByDivision {
  const int* steps;
  int64_t n;
  Sum lastWeighted;
  int operator()(Sum d) const {
    return d > lastWeighted ? 0 : steps[static_cast<int64_t>(d) * 32 / n];
  }
};

std::array<int, kWeightSteps> WeightSteps() {
  std::array<int, kWeightSteps> steps{};
  for (int u = 0; u < kWeightSteps; ++u)
    steps[u] = static_cast<int>(256.0 * std::exp(-static_cast<double>(u) / 32.0));
  return steps;
}

// E[D·32 div n] for D = 0..end − 1 and 0 at end = ⌈161·n / 32⌉: D·32 div n = u exactly for
// ⌈u·n / 32⌉ ≤ D < ⌈(u + 1)·n / 32⌉.
std::vector<std::int32_t> WeightTable(const std::array<int, kWeightSteps>& steps, int64_t n,
                                      int64_t end) {
  std::vector<std::int32_t> table(static_cast<std::size_t>(end) + 1, 0);
  for (int64_t u = 0; u < kWeightSteps; ++u)
    std::fill(table.begin() + (u * n + 31) / 32, table.begin() + ((u + 1) * n + 31) / 32,
              static_cast<std::int32_t>(steps[u]));
  return table;
}

// Block distances of one row from the sum rows above (y0) and below (y1) its blocks, the
// pointers at the row's first column.
template <class Sum>
inline Sum BlockDistance(const Sum* top, const Sum* bottom, int b, int i) {
  return (bottom[i + b + 1] - bottom[i - b]) - (top[i + b + 1] - top[i - b]);
}

template <class Sum, class Weight>
KANDREL_VECTOR_CLONES void AddIntRow(const Sum* __restrict top, const Sum* __restrict bottom, int b,
                                     const int* __restrict partner, int count, Weight weight,
                                     int64_t* __restrict a, std::int32_t* __restrict z) {
  for (int i = 0; i < count; ++i) {
    const int w = weight(BlockDistance(top, bottom, b, i));
    a[i] += static_cast<int64_t>(w) * partner[i];
    z[i] += w;
  }
}

template <class Sum>
void AddFloatRow(const Sum* top, const Sum* bottom, int b, const float* partner, int count,
                 double spread, double* a, double* z) {
  for (int i = 0; i < count; ++i) {
    const double w = std::exp(-(static_cast<double>(BlockDistance(top, bottom, b, i)) / spread));
    a[i] += w * partner[i];
    z[i] += w;
  }
}

// The Int path: integer weights by table or division, A in 64 bits and Z in 32.
template <class Sum, class Weight>
struct IntRule {
  using ASum = int64_t;
  using ZSum = std::int32_t;
  Weight weight;
  void AddRow(const Sum* top, const Sum* bottom, int b, const int* partner, int count, ASum* a,
              ZSum* z) const {
    AddIntRow(top, bottom, b, partner, count, weight, a, z);
  }
  // Z ≥ 256 from the displacement (0, 0); a weighted mean of int32 samples is an int32.
  static int Quotient(ASum a, ZSum z) { return static_cast<int>(a / z); }
};

// The Float path, in double.
template <class Sum>
struct FloatRule {
  using ASum = double;
  using ZSum = double;
  double spread;
  void AddRow(const Sum* top, const Sum* bottom, int b, const float* partner, int count, ASum* a,
              ZSum* z) const {
    AddFloatRow(top, bottom, b, partner, count, spread, a, z);
  }
  static float Quotient(ASum a, ZSum z) { return static_cast<float>(a / z); }
};

// The weighted sums A and Z of a tile of rows.
template <class Sum, class Rule>
class WeightedSums {
 public:
  WeightedSums(Rule rule, int width, int rows)
      : rule_(rule),
        width_(width),
        a_(static_cast<std::size_t>(width) * rows),
        z_(static_cast<std::size_t>(width) * rows) {}
  void Clear() {
    std::fill(a_.begin(), a_.end(), typename Rule::ASum{});
    std::fill(z_.begin(), z_.end(), typename Rule::ZSum{});
  }
  template <class T>
  void Add(int row, int from, int count, const Sum* top, const Sum* bottom, int b,
           const T* partner) {
    const std::size_t at = static_cast<std::size_t>(row) * width_ + from;
    rule_.AddRow(top + from, bottom + from, b, partner, count, &a_[at], &z_[at]);
  }
  template <class T>
  void Store(int row, T* out) const {
    const std::size_t at = static_cast<std::size_t>(row) * width_;
    for (int x = 0; x < width_; ++x) out[x] = Rule::Quotient(a_[at + x], z_[at + x]);
  }

 private:
  Rule rule_;
  int width_;
  std::vector<typename Rule::ASum> a_;
  std::vector<typename Rule::ZSum> z_;
};

// Rows [top, bottom) of in, filtered into out tile by tile. A tile runs every displacement in
// order over its own rows, with the integral image of its rows and b rows around them; the
// integral's first row is 0 and stays so, and so do the left paddings.
template <class Sum, class T, class Sums>
void FilterBand(const Array2D<T>& in, const SearchShape& s, uint32_t cap, int tileRows, Sums& means,
                int top, int bottom, Array2D<T>& out) {
  const int w = s.width, h = s.height, b = s.b;
  const std::size_t stride = static_cast<std::size_t>(w) + 1 + 2 * static_cast<std::size_t>(b);
  std::vector<Sum> sums(static_cast<std::size_t>(std::min(tileRows + 2 * b, h) + 1) * stride, 0);
  std::vector<Sum> q(static_cast<std::size_t>(w));
  for (int tileTop = top; tileTop < bottom; tileTop += tileRows) {
    const int tileBottom = std::min(bottom, tileTop + tileRows);
    means.Clear();
    for (int dy = -s.reachY; dy <= s.reachY; ++dy) {
      // The tile's rows whose partner row lies inside the image, and the sum rows they read.
      const int yBegin = std::max(tileTop, -dy), yEnd = std::min(tileBottom, h - dy);
      if (yBegin >= yEnd) continue;
      const int first = std::max(yBegin - b, 0), last = std::min(yEnd + b, h);
      const auto sumRow = [&](int y) {
        return &sums[static_cast<std::size_t>(y - first) * stride + b];
      };
      for (int dx = -s.reachX; dx <= s.reachX; ++dx) {
        const int from = std::max(0, -dx), to = std::min(w, w - dx);
        for (int y = first; y < last; ++y) {
          const int py = y + dy;
          if (py >= 0 && py < h)
            SquaredDistances(in[y], in[py] + from + dx, from, to, w, cap, q.data());
          else
            SquaredDistances(in[y], in[y], w, w, w, cap, q.data());
          AddRowPrefix(q.data(), sumRow(y), sumRow(y + 1), w, b);
        }
        for (int y = yBegin; y < yEnd; ++y) {
          means.Add(y - tileTop, from, to - from, sumRow(std::max(y - b, 0)),
                    sumRow(std::min(y + b + 1, h)), b, in[y + dy] + from + dx);
        }
      }
    }
    for (int y = tileTop; y < tileBottom; ++y) means.Store(y - tileTop, out[y]);
  }
}

// The whole channel, in bands of rows on threads of their own, each with its own sums.
template <class Sum, class T, class Rule>
void FilterChannel(const Array2D<T>& in, const SearchShape& s, uint32_t cap, const Rule& rule,
                   Array2D<T>& out) {
  const int tileRows = std::max(kMinTileRows, kTileSamples / s.width);
  ForEachRowBand(s.height, static_cast<std::size_t>(s.width), [&](int top, int bottom) {
    const int rows = std::min(tileRows, bottom - top);
    WeightedSums<Sum, Rule> sums(rule, s.width, rows);
    FilterBand<Sum>(in, s, cap, rows, sums, top, bottom, out);
  });
}

}  // namespace

double ProcNLMeans::Params::Spread() const {
  const double b = blockSize;
  return h * h * b * b;
}

std::string ProcNLMeans::Params::Problem() const {
  if (blockSize < 1 || blockSize > kMaxNLMeansSize || searchSize < 1 ||
      searchSize > kMaxNLMeansSize)
    return "Block size と Search size には 1～2047 の値を入力して下さい。";
  // n = trunc(h²·B²) divides every Int distance.
  if (!std::isfinite(h) || !(Spread() >= 1.0))
    return "h parameter × Block size の絶対値を 1 以上にして下さい。";
  return {};
}

ProcNLMeans::ProcNLMeans(int processId) : ProcStandardOut(processId) {
  SetDefaultName("NLMeans");
  SetVerilogName("NLMeans");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormNLMeans");
}

bool ProcNLMeans::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferInputType(inTypes, outTypes);
}

int ProcNLMeans::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!params.Problem().empty()) {
    Message(Name() + "のパラメータが正しくありません。");
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcNLMeans::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  const IntArray& image = *in[0];
  out[0]->Resize(image.Width(), image.Height());
  if (image.SampleCount() == 0) return 0;
  const SearchShape shape(params, image.Width(), image.Height());
  const int64_t n = TruncateToInt(params.Spread());
  const int64_t end = (kWeightSteps * n + 31) / 32;  // the first distance without a weight
  const DistanceCap cap = CapFor(static_cast<double>(end), shape.BlockSamples());
  const std::array<int, kWeightSteps> steps = WeightSteps();
  const std::vector<std::int32_t> table =
      end < kMaxWeightTable ? WeightTable(steps, n, end) : std::vector<std::int32_t>{};
  WithSumType(cap.wide, [&]<class Sum>(Sum) {
    // A narrow sum holds cap² ≥ end, so end fits it too.
    if (!table.empty()) {
      const WeightByDistance<Sum> weight{table.data(), static_cast<Sum>(end)};
      FilterChannel<Sum>(image, shape, cap.magnitude, IntRule<Sum, decltype(weight)>{weight},
                         *out[0]);
    } else {
      const WeightByDivision<Sum> weight{steps.data(), n, static_cast<Sum>(end - 1)};
      FilterChannel<Sum>(image, shape, cap.magnitude, IntRule<Sum, decltype(weight)>{weight},
                         *out[0]);
    }
  });
  return 0;
}

int ProcNLMeans::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  const FloatArray& image = *in[0];
  out[0]->Resize(image.Width(), image.Height());
  if (image.SampleCount() == 0) return 0;
  const SearchShape shape(params, image.Width(), image.Height());
  const double spread = params.Spread();
  const DistanceCap cap = CapFor(std::ceil(kVanishingSpreads * spread), shape.BlockSamples());
  WithSumType(cap.wide, [&]<class Sum>(Sum) {
    FilterChannel<Sum>(image, shape, cap.magnitude, FloatRule<Sum>{spread}, *out[0]);
  });
  return 0;
}

int ProcNLMeans::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcNLMeans::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void ProcNLMeans::WriteVerilogParams(std::vector<std::string>& lines,
                                     const std::string& instance) const {
  lines.push_back("\t\tdefparam");
  lines.push_back("\t\t\t" + instance + ".BlockSize = " + std::to_string(params.blockSize) + ",");
  lines.push_back("\t\t\t" + instance + ".SearchSize = " + std::to_string(params.searchSize) + ",");
  lines.push_back("\t\t\t" + instance + ".HParam = " + std::to_string(TruncateToInt(params.h)) +
                  ";");
}

void RegisterNLMeansKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcNLMeans>(kNLMeansProcessId, "ProcNLMeans", "NL means..."));
}

}  // namespace kandrel
