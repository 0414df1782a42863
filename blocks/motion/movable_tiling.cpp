#include "blocks/motion/movable_tiling.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// The source corner trunc(corner − v), in extended precision; nothing when it falls outside
// 0 … limit − blockSize (NaN and infinite vectors included).
std::optional<int> SourceCorner(int corner, float v, int blockSize, int limit) {
  const long double start = std::trunc(static_cast<long double>(corner) - v);
  if (!(start >= 0 && start + blockSize <= limit)) return std::nullopt;
  return static_cast<int>(start);
}

template <class L>
int TileChannels(const ComplexArray& vectors, const Image& in, int blockSize, Image& out) {
  const L* source = As<L>(&in);
  L* destination = As<L>(&out);
  if (source == nullptr || destination == nullptr) return 1;
  for (int c = 0; c < L::kChannels; ++c)
    if (int r = TileBlocks(vectors, source->channels[c], blockSize, destination->channels[c]); r != 0)
      return r;
  return 0;
}

}  // namespace

template <class T>
int TileBlocks(const ComplexArray& vectors, const Array2D<T>& source, int blockSize,
               Array2D<T>& destination) {
  destination.Resize(blockSize * vectors.Width(), blockSize * vectors.Height());
  // Blocks a failed frame never reaches show 0, not what the memory held.
  std::fill(destination.begin(), destination.end(), T{});
  for (int i = 0; i < vectors.Height(); ++i) {
    for (int j = 0; j < vectors.Width(); ++j) {
      const int dx = j * blockSize, dy = i * blockSize;
      const std::complex<float> v = vectors[i][j];
      const std::optional<int> sx = SourceCorner(dx, v.real(), blockSize, source.Width());
      const std::optional<int> sy = SourceCorner(dy, v.imag(), blockSize, source.Height());
      if (!sx || !sy) return 2;
      for (int r = 0; r < blockSize; ++r)
        std::copy(source[*sy + r] + *sx, source[*sy + r] + *sx + blockSize, destination[dy + r] + dx);
    }
  }
  return 0;
}

template int TileBlocks(const ComplexArray&, const Array2D<int>&, int, Array2D<int>&);
template int TileBlocks(const ComplexArray&, const Array2D<float>&, int, Array2D<float>&);
template int TileBlocks(const ComplexArray&, const ComplexArray&, int, ComplexArray&);

ProcMovableTiling::ProcMovableTiling(int processId) : ProcStandardOut(processId) {
  SetDefaultName("MovTiling");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormMovableTiling");
}

bool ProcMovableTiling::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeComplex1 || inTypes[1] < 1 || inTypes[1] > kImageTypeCount) return false;
  outTypes[0] = inTypes[1];
  return true;
}

int ProcMovableTiling::Process(const InputImages& inputs, OutputImages& outputs) {
  const auto* field = As<Complex1Image>(inputs[0]);
  if (field == nullptr) {
    Message(Name() + "の入力1がありません。");
    return 1;
  }
  const ComplexArray& vectors = field->channels[0];
  const long long width = static_cast<long long>(params.blockSize) * vectors.Width();
  const long long height = static_cast<long long>(params.blockSize) * vectors.Height();
  if (params.blockSize < 1 || width > kMaxTiledLength || height > kMaxTiledLength) {
    Message(Name() + "のパラメータが正しくありません。");
    return 1;
  }
  Image* out = outputs[0].get();
  if (inputs[1] == nullptr || out == nullptr || out->TypeId() != inputs[1]->TypeId()) {
    Message("入出力エラー");
    return 1;
  }
  const int result = WithImageType(inputs[1]->TypeId(), [&]<class L>() {
    return TileChannels<L>(vectors, *inputs[1], params.blockSize, *out);
  });
  if (result == 2) Message(Name() + "内でベクトルの範囲が入力２のサイズを超えました。");
  out->ResetView();
  return result;
}

int ProcMovableTiling::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcMovableTiling::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterMovableTilingKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcMovableTiling>(kMovableTilingProcessId, "ProcMovableTiling"));
}

}  // namespace kandrel
