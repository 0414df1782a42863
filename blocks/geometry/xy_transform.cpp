#include "blocks/geometry/xy_transform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "image/parallel.h"
#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// The map's common geometry in single precision: the integer half sizes and the centre of every
// output sample.
struct MapGeometry {
  explicit MapGeometry(const ComplexArray& map)
      : cx(static_cast<float>(map.Width() / 2)), cy(static_cast<float>(map.Height() / 2)) {}
  float cx, cy;
  static float Centre(int index) { return static_cast<float>(index + 0.5); }
};

// Rows begin … end − 1 of map: map[i][j] = position(px, py) for the centre (px, py) of every
// output sample.
template <class Position>
void FillMapRows(ComplexArray& map, int begin, int end, Position position) {
  for (int i = begin; i < end; ++i) {
    std::complex<float>* row = map[i];
    const float py = MapGeometry::Centre(i);
    for (int j = 0; j < map.Width(); ++j) row[j] = position(MapGeometry::Centre(j), py);
  }
}

constexpr std::ptrdiff_t kOutside = -1;

// The offset of the source sample at each of count positions, or kOutside.
KANDREL_VECTOR_CLONES void SampleOffsets(const std::complex<float>* __restrict positions, int count,
                                         double width, double height, std::ptrdiff_t stride,
                                         std::ptrdiff_t* __restrict offsets) {
  for (int j = 0; j < count; ++j) {
    const double x = positions[j].real(), y = positions[j].imag();
    // NaN fails both comparisons and lands outside too.
    const bool inside = x >= 0 && x < width && y >= 0 && y < height;
    // Inside, both truncate into int; outside, the casts are never made.
    offsets[j] = inside ? static_cast<int>(y) * stride + static_cast<int>(x) : kOutside;
  }
}

// out[c][j] = channels[c][offsets[j]] for every channel, or zero outside.
template <class T, std::size_t N>
KANDREL_VECTOR_CLONES void GatherSamples(const std::array<const T*, N>& channels,
                                         const std::ptrdiff_t* __restrict offsets, int count,
                                         const std::array<T*, N>& out) {
  for (int j = 0; j < count; ++j) {
    const std::ptrdiff_t offset = offsets[j];
    if (offset == kOutside) {
      for (std::size_t c = 0; c < N; ++c) out[c][j] = T{};
    } else {
      for (std::size_t c = 0; c < N; ++c) out[c][j] = channels[c][offset];
    }
  }
}

// Every destination channel takes its source channel (all of one size) at the map's positions;
// the offsets of the samples are worked out once for all channels. Bands of rows go on their
// own threads, each in strips: prepareRows(top, bottom) may fill the strip's map rows just
// before they are read, while they are still in the cache. A strip goes in tiles a few dozen
// columns wide, so that a rotation, which reads along slanted lines, keeps reusing the source
// lines and pages it has just read instead of touching a new page with every sample.
template <class T, std::size_t N, class PrepareRows>
void RemapChannels(const ComplexArray& map, const std::array<const Array2D<T>*, N>& sources,
                   const std::array<Array2D<T>*, N>& destinations, PrepareRows prepareRows) {
  constexpr int kTileRows = 8, kTileColumns = 64;
  for (Array2D<T>* destination : destinations) destination->Resize(map.Width(), map.Height());
  const Array2D<T>& first = *sources[0];
  const bool empty = first.SampleCount() == 0;  // every position is outside
  const double width = first.Width(), height = first.Height();
  std::array<const T*, N> channels{};
  if (!empty)
    for (std::size_t c = 0; c < N; ++c) channels[c] = (*sources[c])[0];
  ForEachRowBand(map.Height(), map.Width() * N, [&](int begin, int end) {
    std::array<std::ptrdiff_t, kTileRows * kTileColumns> offsets;
    for (int top = begin; top < end; top += kTileRows) {
      const int rows = std::min(kTileRows, end - top);
      prepareRows(top, top + rows);
      for (int left = 0; left < map.Width(); left += kTileColumns) {
        const int count = std::min(kTileColumns, map.Width() - left);
        for (int r = 0; r < rows; ++r)
          SampleOffsets(map[top + r] + left, count, width, height, first.Width(),
                        &offsets[r * kTileColumns]);
        for (int r = 0; r < rows; ++r) {
          std::array<T*, N> out;
          for (std::size_t c = 0; c < N; ++c) out[c] = (*destinations[c])[top + r] + left;
          if (empty)
            for (T* o : out) std::fill(o, o + count, T{});
          else
            GatherSamples(channels, &offsets[r * kTileColumns], count, out);
        }
      }
    }
  });
}

// The map as it stands.
void MapReady(int, int) {}

// All channels of an image with one pass over the map; 1 when either image is not an L.
template <class L, class PrepareRows>
int RemapImage(const ComplexArray& map, const Image* in, Image* out, PrepareRows prepareRows) {
  const L* source = As<L>(in);
  L* destination = As<L>(out);
  if (source == nullptr || destination == nullptr) return 1;
  std::array<const Array2D<typename L::Sample>*, L::kChannels> sources;
  std::array<Array2D<typename L::Sample>*, L::kChannels> destinations;
  for (int c = 0; c < L::kChannels; ++c) {
    sources[c] = &source->channels[c];
    destinations[c] = &destination->channels[c];
  }
  RemapChannels(map, sources, destinations, prepareRows);
  return 0;
}

}  // namespace

template <class T>
void RemapNearest(const ComplexArray& map, const Array2D<T>& source, Array2D<T>& destination) {
  RemapChannels<T, 1>(map, {&source}, {&destination}, MapReady);
}

template void RemapNearest(const ComplexArray&, const Array2D<int>&, Array2D<int>&);
template void RemapNearest(const ComplexArray&, const Array2D<float>&, Array2D<float>&);
template void RemapNearest(const ComplexArray&, const ComplexArray&, ComplexArray&);

// ---- ProcVirtualXYTrans

ProcVirtualXYTrans::ProcVirtualXYTrans(int processId) : ProcStandardOut(processId) {
  SetDefaultName("VirtualXYTrans");
  SetPortCounts(1, 1);
}

bool ProcVirtualXYTrans::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcVirtualXYTrans::Process(const InputImages& inputs, OutputImages& outputs) {
  // Without an input the map stays as it was and the standard processing reports the input.
  if (inputs[0] != nullptr) {
    const int sized = Guarded(Name(), [&] {
      coordinateMap_.Resize(inputs[0]->Width(), inputs[0]->Height());
      return 0;
    });
    if (sized != 0) return sized;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

// Every handler fills the map strip by strip as it remaps, so the map is read from the cache.
template <class L>
int ProcVirtualXYTrans::Remap(const Image* in, Image* out) {
  return RemapImage<L>(coordinateMap_, in, out,
                       [this](int begin, int end) { BuildMapRows(coordinateMap_, begin, end); });
}

template <class T>
int ProcVirtualXYTrans::Remap(const Array2D<T>* in, Array2D<T>* out) {
  if (in == nullptr || out == nullptr) return 1;
  RemapChannels<T, 1>(coordinateMap_, {in}, {out},
                      [this](int begin, int end) { BuildMapRows(coordinateMap_, begin, end); });
  return 0;
}

int ProcVirtualXYTrans::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return Remap(in[0], out[0]);
}

int ProcVirtualXYTrans::ProcessFloatChannel(const InArrays<float>& in,
                                            const OutArrays<float>& out) {
  return Remap(in[0], out[0]);
}

int ProcVirtualXYTrans::ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                                              const OutArrays<std::complex<float>>& out) {
  return Remap(in[0], out[0]);
}

int ProcVirtualXYTrans::ProcessInt3(const InputImages& inputs, const InputImages& outputs) {
  return Remap<Int3Image>(inputs[0], outputs[0]);
}

int ProcVirtualXYTrans::ProcessFloat3(const InputImages& inputs, const InputImages& outputs) {
  return Remap<Float3Image>(inputs[0], outputs[0]);
}

int ProcVirtualXYTrans::ProcessComplex3(const InputImages& inputs, const InputImages& outputs) {
  return Remap<Complex3Image>(inputs[0], outputs[0]);
}

// ---- ProcMove

ProcMove::ProcMove(int processId) : ProcVirtualXYTrans(processId) {
  SetDefaultName("Move");
  CreateParameterDialog("TFormMove");
}

void ProcMove::BuildMapRows(ComplexArray& map, int begin, int end) const {
  const MapGeometry g(map);
  const double theta = -params.angle * std::numbers::pi / 180;
  const auto c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
  const auto sx = static_cast<float>(params.shiftX), sy = static_cast<float>(params.shiftY);
  const bool centred = params.centerOrigin != 0;
  FillMapRows(map, begin, end, [&](float px, float py) {
    if (centred) px -= g.cx, py -= g.cy;
    px -= sx;
    py -= sy;
    float x = px * c - py * s, y = px * s + py * c;
    if (centred) x += g.cx, y += g.cy;
    return std::complex<float>(x, y);
  });
}

int ProcMove::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcMove::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcExpand

ProcExpand::ProcExpand(int processId) : ProcVirtualXYTrans(processId) {
  SetDefaultName("Expand");
  CreateParameterDialog("TFormExpand");
}

// A scale of 0 gives infinite (or NaN) positions, which fall outside: zeros.
void ProcExpand::BuildMapRows(ComplexArray& map, int begin, int end) const {
  const MapGeometry g(map);
  const auto sx = static_cast<float>(params.shiftX), sy = static_cast<float>(params.shiftY);
  const bool centred = params.centerOrigin != 0;
  FillMapRows(map, begin, end, [&](float px, float py) {
    if (centred) px -= g.cx, py -= g.cy;
    auto x = static_cast<float>((px - sx) / params.scaleX);
    auto y = static_cast<float>((py - sy) / params.scaleY);
    if (centred) x += g.cx, y += g.cy;
    return std::complex<float>(x, y);
  });
}

int ProcExpand::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcExpand::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcJulia

ProcJulia::ProcJulia(int processId) : ProcVirtualXYTrans(processId) {
  SetDefaultName("Julia");
  CreateParameterDialog("TFormJulia");
}

// An image too small for one unit (W + H < 8) gives infinite positions: zeros.
void ProcJulia::BuildMapRows(ComplexArray& map, int begin, int end) const {
  const MapGeometry g(map);
  const auto d = static_cast<float>((map.Width() + map.Height()) / 8);
  const auto ar = static_cast<float>(params.aReal), ai = static_cast<float>(params.aImag);
  FillMapRows(map, begin, end, [&](float px, float py) {
    const float zx = (px - g.cx) / d, zy = (py - g.cy) / d;
    return std::complex<float>(g.cx + d * (ar + (zx * zx - zy * zy)),
                               g.cy + d * (ai + 2 * zx * zy));
  });
}

int ProcJulia::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcJulia::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcXYMapping

ProcXYMapping::ProcXYMapping(int processId) : ProcStandardOut(processId) {
  SetDefaultName("XYMapping");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormXYMapping");
}

bool ProcXYMapping::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != kTypeComplex1 || inTypes[1] < 1 || inTypes[1] > kImageTypeCount) return false;
  outTypes[0] = inTypes[1];
  return true;
}

int ProcXYMapping::Process(const InputImages& inputs, OutputImages& outputs) {
  const auto* map = As<Complex1Image>(inputs[0]);
  if (map == nullptr) {
    Message(Name() + "の入力1がありません。");
    return 1;
  }
  Image* out = outputs[0].get();
  if (inputs[1] == nullptr || out == nullptr || out->TypeId() != inputs[1]->TypeId()) {
    Message("入出力エラー");
    return 1;
  }
  const ComplexArray& positions = map->channels[0];
  const int result = WithImageType(inputs[1]->TypeId(), [&]<class L>() {
    return RemapImage<L>(positions, inputs[1], out, MapReady);
  });
  out->ResetView();
  return result;
}

int ProcXYMapping::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcXYMapping::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterXYTransformKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcMove>(kMoveProcessId, "ProcMove", "回転・平行移動..."));
  catalogue.Register(KindOf<ProcExpand>(kExpandProcessId, "ProcExpand", "拡大・縮小"));
  catalogue.Register(KindOf<ProcJulia>(kJuliaProcessId, "ProcJulia", "Julia..."));
  catalogue.Register(KindOf<ProcXYMapping>(kXYMappingProcessId, "ProcXYMapping"));
}

}  // namespace kandrel
