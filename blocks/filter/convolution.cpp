#include "blocks/filter/convolution.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "blocks/filter/convolve.h"
#include "blocks/pixel/sample_ops.h"
#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// ---- ProcConvolution

// The smallest and the largest sample count among an image's channels.
std::pair<std::size_t, std::size_t> ChannelSampleCounts(const Image& image) {
  std::size_t smallest = std::numeric_limits<std::size_t>::max(), largest = 0;
  const auto visit = [&]<class L>() {
    if (const L* typed = As<L>(&image)) {
      for (const auto& channel : typed->channels) {
        smallest = std::min(smallest, channel.SampleCount());
        largest = std::max(largest, channel.SampleCount());
      }
    }
  };
  visit.template operator()<Int1Image>();
  visit.template operator()<Float1Image>();
  visit.template operator()<Complex1Image>();
  visit.template operator()<Int3Image>();
  visit.template operator()<Float3Image>();
  visit.template operator()<Complex3Image>();
  return {smallest, largest};
}

// |b| and |b|² in double; complex kernels by their magnitude.
double Magnitude(double b) { return std::fabs(b); }
double Magnitude(std::complex<float> b) { return std::abs(std::complex<double>(b)); }
double SquaredMagnitude(double b) { return b * b; }
// re² + im² itself: std::norm squares the rounded magnitude instead.
double SquaredMagnitude(std::complex<float> b) {
  const double re = b.real(), im = b.imag();
  return re * re + im * im;
}

template <class T>
double KernelNorm(const Array2D<T>& kernel, bool l1) {
  double sum = 0;
  for (const T& b : kernel) sum += l1 ? Magnitude(b) : SquaredMagnitude(b);
  return l1 ? sum : std::sqrt(sum);
}

int DividedByNorm(int s, double norm) { return TruncateToInt(s / norm); }
float DividedByNorm(float s, double norm) { return static_cast<float>(s / norm); }
std::complex<float> DividedByNorm(std::complex<float> s, double norm) {
  const float n = static_cast<float>(norm);
  return {s.real() / n, s.imag() / n};
}

template <class T>
int ConvolveChannel(const ProcConvolution::Params& p, const InArrays<T>& in,
                    const OutArrays<T>& out) {
  if (in[0] == nullptr || in[1] == nullptr || out[0] == nullptr) return 1;
  if (ConvolveSame(*in[0], *in[1], p.flipKernel != 0, p.centered != 0, *out[0]) != 0) return 1;
  if (p.normalize == 0) return 0;
  const double norm = KernelNorm(*in[1], p.normKind == 0);
  if (norm != 0)
    for (T& s : *out[0]) s = DividedByNorm(s, norm);
  return 0;
}

// ---- ProcCustomFilter5x5

using FilterParams = ProcCustomFilter5x5::Params;
constexpr int kFilterSize = ProcCustomFilter5x5::kSize;

// The kernel of an element type: the coefficients as floats, or for ints as hundredths,
// truncated (a coefficient beyond the int32 range saturates).
template <class T>
Array2D<T> FilterKernel(const FilterParams& p) {
  Array2D<T> kernel(kFilterSize, kFilterSize);
  for (int y = 0; y < kFilterSize; ++y) {
    for (int x = 0; x < kFilterSize; ++x) {
      if constexpr (std::is_same_v<T, int>)
        kernel[y][x] = TruncateToInt(p.coef[y][x] * 100.0);
      else
        kernel[y][x] = static_cast<float>(p.coef[y][x]);
    }
  }
  return kernel;
}

// The coefficients applied as stored, centred on the output sample.
template <class T>
int FilterChannel(const FilterParams& p, const InArrays<T>& in, const OutArrays<T>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  return ConvolveSame(*in[0], FilterKernel<T>(p), true, true, *out[0]);
}

// Each sample becomes its quotient by the scale in double, rounded to float. For a scale that is
// a float itself, float division gives that same value (double carries more than twice float's
// digits, so rounding twice cannot differ from rounding once) at a fraction of the cost.
KANDREL_VECTOR_CLONES void DivideByScale(float* samples, std::size_t count, double scale) {
  const bool floatScale = std::fabs(scale) <= std::numeric_limits<float>::max() &&
                          static_cast<double>(static_cast<float>(scale)) == scale;
  if (floatScale) {
    const float divisor = static_cast<float>(scale);
    for (std::size_t i = 0; i < count; ++i) samples[i] /= divisor;
  } else {
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<float>(samples[i] / scale);
  }
}

bool IsIntType(int type) { return type == kTypeInt1 || type == kTypeInt3; }

// ---- ProcMedian

// Neighbourhoods holding a NaN or a −0 are left to the partial selection sort: among values
// that compare equal (−0 and +0) or unordered (NaN) the min/max network could pick another
// one than the sort does. Everywhere else the median of nine is one value, bit for bit.
bool NeedsSelectionSort(std::uint32_t bits) {
  return (bits & 0x7fffffffu) > 0x7f800000u || bits == 0x80000000u;
}
bool NeedsSelectionSort(float s) { return NeedsSelectionSort(std::bit_cast<std::uint32_t>(s)); }
bool NeedsSelectionSort(int) { return false; }

KANDREL_VECTOR_CLONES bool AnyNeedsSelectionSort(const float* row, int width) {
  std::uint32_t any = 0;
  for (int x = 0; x < width; ++x) {
    std::uint32_t bits;
    std::memcpy(&bits, row + x, sizeof bits);
    any |= NeedsSelectionSort(bits) ? 1u : 0u;
  }
  return any != 0;
}
bool AnyNeedsSelectionSort(const int*, int) { return false; }

// v[4] after v[j] and v[k] (j = 0..4, k > j) are swapped whenever v[j] < v[k]: the fifth
// largest. Floats compare as the doubles they convert to exactly.
template <class T>
T SelectionMedian(std::array<T, 9> v) {
  for (int j = 0; j < 5; ++j)
    for (int k = j + 1; k < 9; ++k)
      if (v[j] < v[k]) std::swap(v[j], v[k]);
  return v[4];
}

template <class T>
T Median3(T a, T b, T c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// One output row by the sorting network: every column of three sorted once into lo ≤ mid ≤ hi
// (lo, mid, hi hold width + 2 columns, the replicated edge columns included); the median of a
// 3 × 3 block is then the median of the largest lo, the middle mid and the smallest hi.
template <class T>
KANDREL_VECTOR_CLONES void NetworkMedianRow(const T* __restrict above, const T* __restrict row,
                                            const T* __restrict below, int width, T* __restrict lo,
                                            T* __restrict mid, T* __restrict hi,
                                            T* __restrict out) {
  for (int x = 0; x < width; ++x) {
    const T a = std::min(above[x], row[x]), b = std::max(above[x], row[x]);
    const T c = std::min(b, below[x]);
    hi[x + 1] = std::max(b, below[x]);
    lo[x + 1] = std::min(a, c);
    mid[x + 1] = std::max(a, c);
  }
  lo[0] = lo[1], mid[0] = mid[1], hi[0] = hi[1];
  lo[width + 1] = lo[width], mid[width + 1] = mid[width], hi[width + 1] = hi[width];
  for (int x = 0; x < width; ++x) {
    const T lowest = std::max(std::max(lo[x], lo[x + 1]), lo[x + 2]);
    const T highest = std::min(std::min(hi[x], hi[x + 1]), hi[x + 2]);
    out[x] = Median3(lowest, Median3(mid[x], mid[x + 1], mid[x + 2]), highest);
  }
}

// The outputs of a row whose neighbourhood the network cannot take, by the selection sort.
template <class T>
void SortSpecialNeighbourhoods(const T* above, const T* row, const T* below, int width, T* out) {
  const T* rows[3] = {above, row, below};
  for (int x = 0; x < width; ++x) {
    std::array<T, 9> v;
    const int columns[3] = {std::max(x - 1, 0), x, std::min(x + 1, width - 1)};
    bool special = false;
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        v[3 * r + c] = rows[r][columns[c]];
        special |= NeedsSelectionSort(v[3 * r + c]);
      }
    }
    if (special) out[x] = SelectionMedian(v);
  }
}

// The 3 × 3 median of the input with replicated edges.
template <class T>
int MedianChannel(const InArrays<T>& in, const OutArrays<T>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  const Array2D<T>& a = *in[0];
  const int w = a.Width(), h = a.Height();
  out[0]->Resize(w, h);
  if (w == 0 || h == 0) return 0;
  std::vector<char> special(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) special[y] = AnyNeedsSelectionSort(a[y], w);
  std::vector<T> lo(w + 2), mid(w + 2), hi(w + 2);
  for (int y = 0; y < h; ++y) {
    const int up = std::max(y - 1, 0), down = std::min(y + 1, h - 1);
    NetworkMedianRow(a[up], a[y], a[down], w, lo.data(), mid.data(), hi.data(), (*out[0])[y]);
    if (special[up] || special[y] || special[down])
      SortSpecialNeighbourhoods(a[up], a[y], a[down], w, (*out[0])[y]);
  }
  return 0;
}

}  // namespace

// ---- ProcConvolution

ProcConvolution::ProcConvolution(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Convolution");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormConvolution");
}

bool ProcConvolution::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount || inTypes[1] != inTypes[0]) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcConvolution::Process(const InputImages& inputs, OutputImages& outputs) {
  // Every channel of the kernel is checked here, not only the first: a channel thread could not
  // set the status.
  if (inputs[1] != nullptr) {
    const auto [smallest, largest] = ChannelSampleCounts(*inputs[1]);
    if (largest > static_cast<std::size_t>(kMaxKernelSamples) || smallest == 0) {
      Message(smallest == 0 ? "入力2が空です。" : "入力2が1000画素を超えます。");
      SetStatus("err");
      return 1;
    }
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcConvolution::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return ConvolveChannel(params, in, out);
}

int ProcConvolution::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return ConvolveChannel(params, in, out);
}

int ProcConvolution::ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                                           const OutArrays<std::complex<float>>& out) {
  return ConvolveChannel(params, in, out);
}

int ProcConvolution::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcConvolution::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcCustomFilter5x5

ProcCustomFilter5x5::ProcCustomFilter5x5(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Filter5x5");
  SetVerilogName("FirFilter5x5");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormCustomFilter5x5");
}

bool ProcCustomFilter5x5::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferInputType(inTypes, outTypes);
}

int ProcCustomFilter5x5::Process(const InputImages& inputs, OutputImages& outputs) {
  if (inputs[0] != nullptr && IsIntType(inputs[0]->TypeId()) &&
      !(std::isfinite(params.scale) && params.scale != 0)) {
    Message(Name() + "のパラメータが正しくありません。");
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcCustomFilter5x5::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  if (FilterChannel(params, in, out) != 0) return 1;
  const double denominator = params.scale * 100.0;
  for (int& s : *out[0]) s = TruncateToInt(s / denominator);
  return 0;
}

int ProcCustomFilter5x5::ProcessFloatChannel(const InArrays<float>& in,
                                             const OutArrays<float>& out) {
  if (FilterChannel(params, in, out) != 0) return 1;
  DivideByScale(out[0]->Data(), out[0]->SampleCount(), params.scale);
  return 0;
}

int ProcCustomFilter5x5::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcCustomFilter5x5::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void ProcCustomFilter5x5::WriteVerilogParams(std::vector<std::string>& lines,
                                             const std::string& instance) const {
  // Hardware takes whole numbers: each value truncated toward zero (saturating at the int32
  // range, NaN as 0).
  const auto whole = [](double v) { return std::to_string(TruncateToInt(v)); };
  lines.push_back("\t\tdefparam");
  lines.push_back("\t\t\t" + instance + ".scale = " + whole(params.scale) + ",");
  lines.push_back("\t\t\t" + instance + ".coef = '{");
  for (int y = 0; y < kSize; ++y) {
    std::string line = "\t\t\t\t";
    for (int x = 0; x < kSize; ++x) line += whole(params.coef[y][x]) + ",";
    if (y == kSize - 1) line.pop_back();
    lines.push_back(line);
  }
  lines.push_back("\t\t\t};");
}

// ---- ProcMedian

ProcMedian::ProcMedian(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Median");
  SetVerilogName("MedianFilter");
  SetPortCounts(1, 1);
}

bool ProcMedian::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  // Complex samples have no order to take a median in.
  constexpr bool kAccepted[kImageTypeCount + 1] = {false, true, true, false, true, true, false};
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount || !kAccepted[inTypes[0]]) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcMedian::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return MedianChannel(in, out);
}

int ProcMedian::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return MedianChannel(in, out);
}

void RegisterConvolutionKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcCustomFilter5x5>(kCustomFilter5x5ProcessId, "ProcCustomFilter5x5",
                                                 "Custom 5x5..."));
  catalogue.Register(
      KindOf<ProcConvolution>(kConvolutionProcessId, "ProcConvolution", "＊畳み込み"));
  catalogue.Register(KindOf<ProcMedian>(kMedianProcessId, "ProcMedian", "Median"));
}

}  // namespace kandrel
