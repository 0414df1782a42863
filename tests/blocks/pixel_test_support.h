// Helpers for the pixel-process tests: a source publishing hand-made images, random images of
// every type, one-frame runs through the framework, sample comparison that knows NaN, and the
// offset of a saved process's own parameter record.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <optional>
#include <random>
#include <vector>

#include "process/catalogue.h"

namespace kandrel::testing {

// Publishes the images it holds on outputs 0..9. Declare it before the processes that link to
// it, so that they are destroyed first.
class HeldImages : public ProcVirtual {
 public:
  HeldImages() : ProcVirtual(0) { SetPortCounts(0, kMaxPorts); }
  template <class L>
  L& Hold(int k, std::unique_ptr<L> image) {
    L& held = *image;
    Outputs()[k] = std::move(image);
    return held;
  }
};

// Links each input of process to the held image of the same index (unlinked where none is held)
// and runs one frame with Step.
inline int RunFrame(ProcVirtual& process, HeldImages& held) {
  for (int k = 0; k < process.InputCount(); ++k) {
    if (held.GetOutput(k) != nullptr)
      process.Connect(k, &held, k);
    else
      process.Disconnect(k);
  }
  return process.Step();
}

template <class F>
void ForEachImageType(F&& f) {
  f.template operator()<Int1Image>();
  f.template operator()<Float1Image>();
  f.template operator()<Complex1Image>();
  f.template operator()<Int3Image>();
  f.template operator()<Float3Image>();
  f.template operator()<Complex3Image>();
}

template <class T>
constexpr bool kIsComplexSample = std::is_same_v<T, std::complex<float>>;

// Negatives included; with extremes, ints sometimes sit at the ends of their range.
template <class T>
T RandomSample(std::mt19937& rng, bool extremes) {
  if constexpr (std::is_same_v<T, int>) {
    static constexpr int kEdges[] = {INT_MIN, INT_MAX, INT_MIN + 1, -1, 1 << 30};
    if (extremes && rng() % 8 == 0) return kEdges[rng() % 5];
    return std::uniform_int_distribution<int>(-1000, 1000)(rng);
  } else if constexpr (std::is_same_v<T, float>) {
    return std::uniform_real_distribution<float>(-100.0f, 100.0f)(rng);
  } else {
    return T(RandomSample<float>(rng, extremes), RandomSample<float>(rng, extremes));
  }
}

// An image of type L with random samples: width × height, or with maxSize, channels of
// independent random sizes 1..maxSize.
template <class L>
std::unique_ptr<L> RandomImage(std::mt19937& rng, int width, int height = 0, int maxSize = 0,
                               bool extremes = true) {
  auto image = std::make_unique<L>();
  std::uniform_int_distribution<int> size(1, std::max(maxSize, 1));
  for (auto& channel : image->channels) {
    channel.Resize(maxSize > 0 ? size(rng) : width, maxSize > 0 ? size(rng) : height);
    for (auto& s : channel) s = RandomSample<typename L::Sample>(rng, extremes);
  }
  image->ResetView();
  return image;
}
template <class L>
std::unique_ptr<L> RandomSizedImage(std::mt19937& rng, int maxSize, bool extremes = true) {
  return RandomImage<L>(rng, 0, 0, maxSize, extremes);
}

template <class T>
std::vector<T> SamplesOf(const Array2D<T>& array) {
  return {array.begin(), array.end()};
}

template <class T>
std::pair<int, int> SizeOf(const Array2D<T>& array) {
  return {array.Width(), array.Height()};
}

// Equal, NaN matching NaN; with a tolerance, within that fraction of the expected magnitude.
inline bool Near(double actual, double expected, double tolerance) {
  if (std::isnan(actual) || std::isnan(expected)) return std::isnan(actual) && std::isnan(expected);
  return actual == expected || std::fabs(actual - expected) <= tolerance * std::fabs(expected);
}

// actual is width × height and each sample matches expected(x, y).
template <class T, class Expected>
void ExpectChannel(const Array2D<T>& actual, std::pair<int, int> size, Expected expected,
                   double tolerance = 0) {
  ASSERT_EQ(SizeOf(actual), size);
  int mismatches = 0;
  for (int y = 0; y < size.second; ++y) {
    for (int x = 0; x < size.first; ++x) {
      const T a = actual[y][x], e = expected(x, y);
      bool near;
      if constexpr (kIsComplexSample<T>)
        near = Near(a.real(), e.real(), tolerance) && Near(a.imag(), e.imag(), tolerance);
      else
        near = Near(a, e, tolerance);
      if (!near && ++mismatches <= 3)
        ADD_FAILURE() << "(" << x << ", " << y << "): " << a << " not " << e;
    }
  }
}

// A 1 × n image of type L, every channel holding the samples.
template <class L>
std::unique_ptr<L> Row(const std::vector<typename L::Sample>& samples) {
  auto image = std::make_unique<L>();
  image->Resize(static_cast<int>(samples.size()), 1);
  for (auto& channel : image->channels) std::copy(samples.begin(), samples.end(), channel.begin());
  return image;
}

// One frame of process with row k held on input k; channel 0 of output `output` as type Out, or
// nothing when the frame failed.
template <class Out, class In = Out>
std::optional<std::vector<typename Out::Sample>> RunOnRows(
    ProcVirtual& process, std::initializer_list<std::vector<typename In::Sample>> rows,
    int output = 0) {
  HeldImages held;
  int k = 0;
  for (const auto& row : rows) held.Hold(k++, Row<In>(row));
  const int result = RunFrame(process, held);
  process.DisconnectAll();
  const Out* out = As<Out>(process.GetOutput(output));
  if (result != 0 || out == nullptr) return std::nullopt;
  return SamplesOf(out->channels[0]);
}

inline std::vector<std::uint8_t> SavedBytes(ProcVirtual& process) {
  MemoryStream stream;
  process.Save(stream);
  return stream.Bytes();
}

// A saved process's own parameter record (its byte count) follows the process ID and the
// 148-byte header record.
constexpr std::size_t kParamsOffset = 4 + 4 + 148;

struct KindRow {
  int id;
  const char *className, *caption, *name, *cell;
  int inputs, outputs;
  bool dialog;
  std::size_t record;  // 0: no parameter record
};

// The catalogue row and a new process match the row, and the process (its parameters changed by
// edit) saves a record of the row's size, loads, and saves again byte for byte. The bytes saved.
template <class P = ProcVirtual, class Edit = void (*)(P&)>
std::vector<std::uint8_t> ExpectKind(
    const KindRow& row, Edit edit = [](P&) {}) {
  SCOPED_TRACE(row.className);
  const ProcessKind* kind = Catalogue::Instance().Find(row.id);
  EXPECT_TRUE(kind != nullptr && kind->className == row.className &&
              kind->menuCaption == row.caption);
  std::unique_ptr<ProcVirtual> process = CreateById(row.id);
  EXPECT_EQ(process->Name(), row.name);
  EXPECT_EQ(process->VerilogName(), row.cell);
  EXPECT_EQ(process->InputCount(), row.inputs);
  EXPECT_EQ(process->OutputCount(), row.outputs);
  EXPECT_EQ(process->HasDialog(), row.dialog);
  if (P* typed = dynamic_cast<P*>(process.get())) edit(*typed);
  const std::vector<std::uint8_t> bytes = SavedBytes(*process);
  EXPECT_EQ(bytes.size(), kParamsOffset + (row.record != 0 ? 4 + row.record : 0));
  const bool hasCount = row.record != 0 && bytes.size() >= kParamsOffset + 4;
  EXPECT_EQ(hasCount ? LoadI32(&bytes[kParamsOffset]) : 0, static_cast<int>(row.record));
  MemoryStream stream(bytes);
  std::unique_ptr<ProcVirtual> loaded = CreateFromStream(stream);
  EXPECT_TRUE(loaded != nullptr && SavedBytes(*loaded) == bytes);
  return bytes;
}

// Loads a process from bytes whose parameter record was cut to `stored` bytes.
inline std::unique_ptr<ProcVirtual> LoadShortened(std::vector<std::uint8_t> bytes, int stored) {
  StoreI32(&bytes[kParamsOffset], stored);
  bytes.resize(kParamsOffset + 4 + static_cast<std::size_t>(stored));
  MemoryStream stream(bytes);
  return CreateFromStream(stream);
}

}  // namespace kandrel::testing
