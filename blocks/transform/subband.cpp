#include "blocks/transform/subband.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "blocks/transform/qmf16.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// Columns are filtered this many side by side: the products vectorise across them, and a block's
// signals and bands stay in the second-level cache.
constexpr int kColumnBlock = 64;

// Row y of an array from row `first` and column `column` on.
auto RowsOf(const FloatArray& a) {
  return [&a](int y) { return a[y]; };
}
auto RowsOf(FloatArray& a, int first = 0, int column = 0) {
  return [&a, first, column](int y) { return a[first + y] + column; };
}

// Each row y < height: its first `width` samples in(y) analysed, ⌈width/2⌉ low values to low(y)
// and ⌊width/2⌋ high values to high(y). The bands may overwrite the row.
template <class In, class Low, class High>
void AnalyzeRows(int width, int height, In in, Low low, High high) {
  QMF16 bank(width);
  for (int y = 0; y < height; ++y) bank.Analyze(in(y), low(y), high(y));
}

template <class Low, class High, class Out>
void SynthesizeRows(int width, int height, Low low, High high, Out out) {
  QMF16 bank(width);
  for (int y = 0; y < height; ++y) bank.Synthesize(low(y), high(y), out(y));
}

// rows(0 … count − 1).
template <class T, class Rows>
std::vector<T*> RowTable(int count, Rows rows) {
  std::vector<T*> table(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) table[static_cast<std::size_t>(i)] = rows(i);
  return table;
}

// body(bank, x0) for blocks of columns x0 … x0 + bank.Lanes() − 1 covering 0 … width − 1, with
// banks for signals `height` long.
template <class Body>
void ForEachColumnBlock(int width, int height, Body body) {
  const int fullBlocks = width / kColumnBlock;
  if (fullBlocks > 0) {
    QMF16Lanes bank(height, kColumnBlock);
    for (int b = 0; b < fullBlocks; ++b) body(bank, b * kColumnBlock);
  }
  if (const int rest = width % kColumnBlock; rest > 0) {
    QMF16Lanes bank(height, rest);
    body(bank, fullBlocks * kColumnBlock);
  }
}

// Each column x < width analysed over its first `height` samples, down rows in(0 … height − 1);
// the bands go down low(0 …) and high(0 …) and may overwrite the input.
template <class In, class Low, class High>
void AnalyzeColumns(int width, int height, In in, Low low, High high) {
  const auto ins = RowTable<const float>(height, in);
  const auto lows = RowTable<float>((height + 1) / 2, low);
  const auto highs = RowTable<float>(height / 2, high);
  ForEachColumnBlock(width, height, [&](QMF16Lanes& bank, int x0) {
    bank.Analyze(ins.data(), lows.data(), highs.data(), x0);
  });
}

template <class Low, class High, class Out>
void SynthesizeColumns(int width, int height, Low low, High high, Out out) {
  const auto lows = RowTable<const float>((height + 1) / 2, low);
  const auto highs = RowTable<const float>(height / 2, high);
  const auto outs = RowTable<float>(height, out);
  ForEachColumnBlock(width, height, [&](QMF16Lanes& bank, int x0) {
    bank.Synthesize(lows.data(), highs.data(), outs.data(), x0);
  });
}

bool SubbandsFit(int lowWidth, int lowHeight, int highWidth, int highHeight, int direction) {
  if (direction == kSubbandVertical) {
    std::swap(lowWidth, lowHeight);
    std::swap(highWidth, highHeight);
  }
  return lowHeight == highHeight && (lowWidth == highWidth || lowWidth == highWidth + 1);
}

// The width and height of every channel of an image of one of the six types.
std::vector<std::pair<int, int>> ChannelSizes(const Image& image) {
  std::vector<std::pair<int, int>> sizes;
  const auto collect = [&]<class L>() {
    if (const L* typed = As<L>(&image))
      for (const auto& channel : typed->channels)
        sizes.emplace_back(channel.Width(), channel.Height());
  };
  collect.operator()<Int1Image>();
  collect.operator()<Float1Image>();
  collect.operator()<Complex1Image>();
  collect.operator()<Int3Image>();
  collect.operator()<Float3Image>();
  collect.operator()<Complex3Image>();
  return sizes;
}

bool ImagesFit(const Image& low, const Image& high, int direction) {
  const std::vector<std::pair<int, int>> lows = ChannelSizes(low), highs = ChannelSizes(high);
  if (lows.size() != highs.size()) return false;
  for (std::size_t c = 0; c < lows.size(); ++c)
    if (!SubbandsFit(lows[c].first, lows[c].second, highs[c].first, highs[c].second, direction))
      return false;
  return true;
}

bool IsImageType(int type) { return type >= 1 && type <= kImageTypeCount; }

void RefuseParams(const std::string& processName) {
  GetHost().ShowMessage(processName + "のパラメータが正しくありません。");
}

}  // namespace

void SubbandSplit(const FloatArray& src, FloatArray& low, FloatArray& high, int direction) {
  const int width = src.Width(), height = src.Height();
  if (direction == kSubbandVertical) {
    low.Resize(width, (height + 1) / 2);
    high.Resize(width, height / 2);
    AnalyzeColumns(width, height, RowsOf(src), RowsOf(low), RowsOf(high));
  } else {
    low.Resize((width + 1) / 2, height);
    high.Resize(width / 2, height);
    AnalyzeRows(width, height, RowsOf(src), RowsOf(low), RowsOf(high));
  }
}

int SubbandMerge(const FloatArray& low, const FloatArray& high, FloatArray& dst, int direction) {
  if (!SubbandsFit(low.Width(), low.Height(), high.Width(), high.Height(), direction)) return 1;
  if (direction == kSubbandVertical) {
    dst.Resize(low.Width(), low.Height() + high.Height());
    SynthesizeColumns(dst.Width(), dst.Height(), RowsOf(low), RowsOf(high), RowsOf(dst));
  } else {
    dst.Resize(low.Width() + high.Width(), low.Height());
    SynthesizeRows(dst.Width(), dst.Height(), RowsOf(low), RowsOf(high), RowsOf(dst));
  }
  return 0;
}

int WaveletLevelCount(int width, int height, int levels) {
  int count = 0;
  for (; count < levels && width >= kMinWaveletSide && height >= kMinWaveletSide; ++count) {
    width = (width + 1) / 2;
    height = (height + 1) / 2;
  }
  return count;
}

void WaveletForward(const FloatArray& src, FloatArray& dst, int levels) {
  const int count = WaveletLevelCount(src.Width(), src.Height(), levels);
  // The first level's rows cover the whole array: they read src, saving the copy.
  if (count == 0)
    dst = src;
  else
    dst.Resize(src.Width(), src.Height());
  for (int l = 0, w = src.Width(), h = src.Height(); l < count; ++l) {
    AnalyzeRows(w, h, RowsOf(l == 0 ? src : dst), RowsOf(dst), RowsOf(dst, 0, (w + 1) / 2));
    AnalyzeColumns(w, h, RowsOf(dst), RowsOf(dst), RowsOf(dst, (h + 1) / 2));
    w = (w + 1) / 2;
    h = (h + 1) / 2;
  }
}

void WaveletInverse(const FloatArray& src, FloatArray& dst, int levels) {
  dst = src;
  const int count = WaveletLevelCount(src.Width(), src.Height(), levels);
  std::vector<std::pair<int, int>> regions;
  for (int l = 0, w = src.Width(), h = src.Height(); l < count; ++l) {
    regions.emplace_back(w, h);
    w = (w + 1) / 2;
    h = (h + 1) / 2;
  }
  for (auto region = regions.rbegin(); region != regions.rend(); ++region) {
    const auto [w, h] = *region;
    SynthesizeColumns(w, h, RowsOf(dst), RowsOf(dst, (h + 1) / 2), RowsOf(dst));
    SynthesizeRows(w, h, RowsOf(dst), RowsOf(dst, 0, (w + 1) / 2), RowsOf(dst));
  }
}

// ---- ProcSubband

ProcSubband::ProcSubband(int processId, const char* name, int inputs, int outputs)
    : ProcStandardOut(processId) {
  SetDefaultName(name);
  SetPortCounts(inputs, outputs);
  CreateParameterDialog("TFormSubband");
}

bool ProcSubband::DirectionAccepted() const {
  if (params.direction == kSubbandHorizontal || params.direction == kSubbandVertical) return true;
  RefuseParams(Name());
  return false;
}

int ProcSubband::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcSubband::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcSubbandDiv

ProcSubbandDiv::ProcSubbandDiv(int processId) : ProcSubband(processId, "SubbandDiv", 1, 2) {}

bool ProcSubbandDiv::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (!IsImageType(inTypes[0])) return false;
  outTypes[0] = outTypes[1] = inTypes[0];
  return true;
}

int ProcSubbandDiv::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!DirectionAccepted()) return 1;
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcSubbandDiv::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  if (in[0] == nullptr || out[0] == nullptr || out[1] == nullptr) return 1;
  SubbandSplit(*in[0], *out[0], *out[1], params.direction);
  return 0;
}

// ---- ProcSubbandSynth

ProcSubbandSynth::ProcSubbandSynth(int processId) : ProcSubband(processId, "SubbandSynth", 2, 1) {}

bool ProcSubbandSynth::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (!IsImageType(inTypes[0]) || inTypes[1] != inTypes[0]) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcSubbandSynth::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!DirectionAccepted()) return 1;
  if (inputs[0] == nullptr || inputs[1] == nullptr) {
    Message("入出力エラー");
    return 1;
  }
  // Images of different types are left to the framework's own message.
  if (inputs[0]->TypeId() == inputs[1]->TypeId() &&
      !ImagesFit(*inputs[0], *inputs[1], params.direction)) {
    Message(Name() + "の入力画像のサイズが合いません。");
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcSubbandSynth::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  if (in[0] == nullptr || in[1] == nullptr || out[0] == nullptr) return 1;
  return SubbandMerge(*in[0], *in[1], *out[0], params.direction);
}

// ---- ProcWavelet

ProcWavelet::ProcWavelet(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Wavelet");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormWavelet");
}

bool ProcWavelet::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (!IsImageType(inTypes[0])) return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcWavelet::Process(const InputImages& inputs, OutputImages& outputs) {
  if ((params.inverse != 0 && params.inverse != 1) || params.levels < 1 ||
      params.levels > kMaxWaveletLevels) {
    RefuseParams(Name());
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcWavelet::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  if (params.inverse != 0)
    WaveletInverse(*in[0], *out[0], params.levels);
  else
    WaveletForward(*in[0], *out[0], params.levels);
  return 0;
}

int ProcWavelet::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcWavelet::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterSubbandKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(
      KindOf<ProcSubbandDiv>(kSubbandDivProcessId, "ProcSubbandDiv", "サブバンド分割..."));
  catalogue.Register(
      KindOf<ProcSubbandSynth>(kSubbandSynthProcessId, "ProcSubbandSynth", "サブバンド合成..."));
  catalogue.Register(KindOf<ProcWavelet>(kWaveletProcessId, "ProcWavelet", "Wavelet変換..."));
}

}  // namespace kandrel
