#include "blocks/geometry/xy_transform.h"

#include <cmath>
#include <numbers>

#include "image/parallel.h"
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

// map[i][j] = position(px, py) for the centre (px, py) of every output sample, in bands of rows
// on their own threads.
template <class Position>
void FillMap(ComplexArray& map, Position position) {
  ForEachRowBand(map.Height(), static_cast<std::size_t>(map.Width()), [&](int begin, int end) {
    for (int i = begin; i < end; ++i) {
      std::complex<float>* row = map[i];
      const float py = MapGeometry::Centre(i);
      for (int j = 0; j < map.Width(); ++j) row[j] = position(MapGeometry::Centre(j), py);
    }
  });
}

template <class L>
int RemapChannels(const ComplexArray& map, const Image& in, Image& out) {
  const L* source = As<L>(&in);
  L* destination = As<L>(&out);
  if (source == nullptr || destination == nullptr) return 1;
  for (int c = 0; c < L::kChannels; ++c)
    RemapNearest(map, source->channels[c], destination->channels[c]);
  return 0;
}

}  // namespace

template <class T>
void RemapNearest(const ComplexArray& map, const Array2D<T>& source, Array2D<T>& destination) {
  destination.Resize(map.Width(), map.Height());
  const double width = source.Width(), height = source.Height();
  for (int i = 0; i < map.Height(); ++i) {
    const std::complex<float>* positions = map[i];
    T* out = destination[i];
    for (int j = 0; j < map.Width(); ++j) {
      const double x = positions[j].real(), y = positions[j].imag();
      // NaN fails both comparisons and lands outside too.
      const bool inside = x >= 0 && x < width && y >= 0 && y < height;
      out[j] = inside ? source[static_cast<int>(y)][static_cast<int>(x)] : T{};
    }
  }
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
    coordinateMap_.Resize(inputs[0]->Width(), inputs[0]->Height());
    BuildMap(coordinateMap_);
  }
  return ProcStandardOut::Process(inputs, outputs);
}

template <class T>
int ProcVirtualXYTrans::Remap(const Array2D<T>* in, Array2D<T>* out) const {
  if (in == nullptr || out == nullptr) return 1;
  RemapNearest(coordinateMap_, *in, *out);
  return 0;
}

int ProcVirtualXYTrans::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return Remap(in[0], out[0]);
}

int ProcVirtualXYTrans::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return Remap(in[0], out[0]);
}

int ProcVirtualXYTrans::ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                                              const OutArrays<std::complex<float>>& out) {
  return Remap(in[0], out[0]);
}

// ---- ProcMove

ProcMove::ProcMove(int processId) : ProcVirtualXYTrans(processId) {
  SetDefaultName("Move");
  CreateParameterDialog("TFormMove");
}

void ProcMove::BuildMap(ComplexArray& map) const {
  const MapGeometry g(map);
  const double theta = -params.angle * std::numbers::pi / 180;
  const auto c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
  const auto sx = static_cast<float>(params.shiftX), sy = static_cast<float>(params.shiftY);
  const bool centred = params.centerOrigin != 0;
  FillMap(map, [&](float px, float py) {
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
void ProcExpand::BuildMap(ComplexArray& map) const {
  const MapGeometry g(map);
  const auto sx = static_cast<float>(params.shiftX), sy = static_cast<float>(params.shiftY);
  const bool centred = params.centerOrigin != 0;
  FillMap(map, [&](float px, float py) {
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
void ProcJulia::BuildMap(ComplexArray& map) const {
  const MapGeometry g(map);
  const auto d = static_cast<float>((map.Width() + map.Height()) / 8);
  const auto ar = static_cast<float>(params.aReal), ai = static_cast<float>(params.aImag);
  FillMap(map, [&](float px, float py) {
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
    return RemapChannels<L>(positions, *inputs[1], *out);
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
