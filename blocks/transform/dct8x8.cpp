#include "blocks/transform/dct8x8.h"

#include <algorithm>
#include <limits>

#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"


namespace kandrel {

namespace {

constexpr int kN = kDctBlockSize;
constexpr std::int64_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();

template <class T>
using Block = std::array<std::array<T, kN>, kN>;

// 2^12·√8 × the orthonormal DCT-II: row k = frequency, column n = sample.
constexpr Block<std::int64_t> kT = {{
    {4096, 4096, 4096, 4096, 4096, 4096, 4096, 4096},
    {5681, 4816, 3218, 1130, -1130, -3218, -4816, -5681},
    {5352, 2217, -2217, -5352, -5352, -2217, 2217, 5352},
    {4816, -1130, -5681, -3218, 3218, 5681, 1130, -4816},
    {4096, -4096, -4096, 4096, 4096, -4096, -4096, 4096},
    {3218, -5681, 1130, 4816, -4816, -1130, 5681, -3218},
    {2217, -5352, 5352, -2217, -2217, 5352, -5352, 2217},
    {1130, -3218, 4816, -5681, 5681, -4816, 3218, -1130},
}};

constexpr Block<std::int64_t> Transposed(const Block<std::int64_t>& m) {
  Block<std::int64_t> t{};
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j) t[i][j] = m[j][i];
  return t;
}

template <class Acc>
constexpr Block<Acc> Narrowed(const Block<std::int64_t>& m) {
  Block<Acc> narrow{};
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j) narrow[i][j] = static_cast<Acc>(m[i][j]);
  return narrow;
}

template <class Acc>
constexpr Block<Acc> kForwardMatrix = Narrowed<Acc>(Transposed(kT));
template <class Acc>
constexpr Block<Acc> kInverseMatrix = Narrowed<Acc>(kT);

// The largest sum of magnitudes along a row or a column of T (2^15, rows 0 and 4).
constexpr std::int64_t LargestLineSum() {
  std::int64_t largest = 0;
  for (int i = 0; i < kN; ++i) {
    std::int64_t row = 0, column = 0;
    for (int j = 0; j < kN; ++j) {
      row += kT[i][j] < 0 ? -kT[i][j] : kT[i][j];
      column += kT[j][i] < 0 ? -kT[j][i] : kT[j][i];
    }
    largest = std::max({largest, row, column});
  }
  return largest;
}
constexpr std::int64_t kLargestLineSum = LargestLineSum();

// Blocks whose samples stay within ±kNarrowLimit are transformed in int32: the first pass gives
// at most 8·kNarrowLimit, so no sum of either pass leaves the int32 range. Others take 64 bits:
// samples are at most 2^31 in magnitude, so the first sums stay below 2^47 and the second below
// 2^50.
constexpr std::int32_t kNarrowLimit = 8191;
static_assert(kLargestLineSum * ((kLargestLineSum * kNarrowLimit + 2048) >> 12) + 16384 <= kIntMax);

// One pass: out[j][i] = (Σ_k in[i][k]·m[k][j] + 2^(shift−1)) >> shift, a pass along the rows of
// in stored as columns, so that two passes transform both ways and leave the block upright.
template <class Acc>
Block<Acc> Pass(const Block<Acc>& in, const Block<Acc>& m, int shift) {
  const Acc half = Acc{1} << (shift - 1);
  Block<Acc> out;
  for (int i = 0; i < kN; ++i) {
    std::array<Acc, kN> sums;
    sums.fill(half);
    for (int k = 0; k < kN; ++k)
      for (int j = 0; j < kN; ++j) sums[j] += in[i][k] * m[k][j];
    for (int j = 0; j < kN; ++j) out[j][i] = sums[j] >> shift;
  }
  return out;
}

// The forward transform of x (12 then 15 bits) with m = Tᵀ gives T·x·Tᵀ; with m = T and the
// block given transposed, the inverse Tᵀ·y·T comes out transposed.
template <class Acc>
Block<Acc> Transform(const Block<std::int32_t>& block, const Block<Acc>& m) {
  Block<Acc> wide;
  for (int i = 0; i < kN; ++i) std::copy(block[i].begin(), block[i].end(), wide[i].begin());
  return Pass(Pass(wide, m, 12), m, 15);
}

// body(Acc{}) with the narrowest accumulator type that is safe for the block.
template <class Body>
void WithAccumulator(const Block<std::int32_t>& block, Body&& body) {
  bool narrow = true;
  for (const auto& row : block)
    for (std::int32_t v : row) narrow &= v >= -kNarrowLimit && v <= kNarrowLimit;
  if (narrow)
    body(std::int32_t{});
  else
    body(std::int64_t{});
}

std::int32_t Saturated(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp(v, kIntMin, kIntMax));
}

// Halves rounded away from zero, the quotient truncated. In int32 the coefficients are below
// 2^17 and half a step below 2^30, so the dividend cannot overflow. The division is made in
// double, which vectorizes: with a dividend below 2^52 and a step below 2^31 the rounded quotient
// never reaches the next whole number, so truncating it is exact.
template <class Acc>
Acc Quantised(Acc v, std::int32_t step) {
  const Acc half = step / 2;
  const Acc dividend = v < 0 ? v - half : v + half;
  return static_cast<Acc>(static_cast<double>(dividend) / step);
}

void ForwardBlock(const Array2D<int>& in, const QuantTable& steps, int x0, int y0,
                  Array2D<int>& out) {
  Block<std::int32_t> x;
  for (int r = 0; r < kN; ++r) std::copy(in[y0 + r] + x0, in[y0 + r] + x0 + kN, x[r].begin());
  WithAccumulator(x, [&]<class Acc>(Acc) {
    const Block<Acc> y = Transform(x, kForwardMatrix<Acc>);
    for (int r = 0; r < kN; ++r)
      for (int c = 0; c < kN; ++c)
        out[y0 + r][x0 + c] = Saturated(Quantised<Acc>(y[r][c], steps[r][c]));
  });
}

// Dequantised coefficients saturate to the int32 range before the transform, which keeps its
// 64-bit sums within range.
void InverseBlock(const Array2D<int>& in, const QuantTable& steps, int x0, int y0,
                  Array2D<int>& out) {
  Block<std::int32_t> yt;
  for (int r = 0; r < kN; ++r)
    for (int c = 0; c < kN; ++c)
      yt[c][r] = Saturated(std::int64_t{in[y0 + r][x0 + c]} * steps[r][c]);
  WithAccumulator(yt, [&]<class Acc>(Acc) {
    const Block<Acc> xt = Transform(yt, kInverseMatrix<Acc>);
    for (int r = 0; r < kN; ++r)
      for (int c = 0; c < kN; ++c) out[y0 + r][x0 + c] = Saturated(xt[c][r]);
  });
}

// The whole blocks transformed, the columns and rows beyond them copied.
KANDREL_FLATTENED_VECTOR_CLONES void TransformChannel(const Array2D<int>& in, const QuantTable& steps,
                                              bool inverse, Array2D<int>& out) {
  const int width = in.Width(), height = in.Height();
  out.Resize(width, height);
  const int blocksRight = width - width % kN, blocksBottom = height - height % kN;
  for (int y0 = 0; y0 < blocksBottom; y0 += kN) {
    for (int x0 = 0; x0 < blocksRight; x0 += kN) {
      if (inverse)
        InverseBlock(in, steps, x0, y0, out);
      else
        ForwardBlock(in, steps, x0, y0, out);
    }
  }
  for (int y = 0; y < height; ++y) {
    const int from = y < blocksBottom ? blocksRight : 0;
    std::copy(in[y] + from, in[y] + width, out[y] + from);
  }
}

}  // namespace

std::optional<QuantTable> ProcDCT8x8::Params::Steps() const {
  QuantTable steps;
  for (int r = 0; r < kN; ++r) {
    for (int c = 0; c < kN; ++c) {
      const std::int64_t step = std::int64_t{quantTable[r][c]} * qScale;
      if (step < 1 || step > kIntMax) return std::nullopt;
      steps[r][c] = static_cast<std::int32_t>(step);
    }
  }
  return steps;
}

ProcDCT8x8::ProcDCT8x8(int processId) : ProcStandardOut(processId) {
  SetDefaultName("DCT 8x8");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormDCT8x8");
}

bool ProcDCT8x8::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeInt1 && inTypes[0] != kTypeInt3) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcDCT8x8::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!params.Steps()) {
    Message(Name() + "の" + kQuantStepRefusedText);
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcDCT8x8::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  const std::optional<QuantTable> steps = params.Steps();
  if (!steps || in[0] == nullptr || out[0] == nullptr) return 1;
  TransformChannel(*in[0], *steps, params.inverse != 0, *out[0]);
  return 0;
}

int ProcDCT8x8::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcDCT8x8::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterDct8x8Kinds() {
  Catalogue::Instance().Register(KindOf<ProcDCT8x8>(kDct8x8ProcessId, "ProcDCT8x8", "DCT..."));
}

}  // namespace kandrel
