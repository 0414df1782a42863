#include "blocks/analysis/super_resolution.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "image/parallel.h"
#include "image/resample.h"
#include "process/catalogue.h"
#include "process/param_record.h"
#include "process/process_file.h"

namespace kandrel {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxOutputLength = 2048;
constexpr int kMaxScale = 16;
constexpr int kMaxPatchLength = 64;
constexpr const char* kDefaultDictionaryName = "SR.dic";

// The distance over the elements both vectors have: differences in float, their squares summed
// in double, the root rounded to float as the descent compares it.
float Distance(const KVector<float>& a, const KVector<float>& b) {
  const int n = std::min(a.Count(), b.Count());
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    const float d = a[i] - b[i];
    sum += static_cast<double>(d) * d;
  }
  return static_cast<float>(std::sqrt(sum));
}

// A count that must be `expected`, then that many floats; false when the stream ran short or the
// count is another (so nothing is allocated for a count the header does not allow).
bool ReadVector(ByteStream& stream, int expected, KVector<float>& vector) {
  const std::int32_t count = ReadI32(stream, -1);
  if (stream.Damaged() || count != expected) return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * 4);
  if (!stream.Read(bytes.data(), bytes.size())) return false;
  vector = KVector<float>(count);
  for (int i = 0; i < count; ++i) vector[i] = LoadF32(&bytes[static_cast<std::size_t>(i) * 4]);
  return true;
}

// The tree in pre-order, without recursion: each node read fills the slot on top of the stack
// and an internal node pushes the slots of its two children. Null when the stream is short, a
// vector has the wrong length, or a path is longer than kMaxDictionaryLevels. Every node takes
// bytes of the stream, so the node count is bounded by the file's size.
std::unique_ptr<CNode> ReadTree(ByteStream& stream, int patchSize) {
  struct Slot {
    std::unique_ptr<CNode>* place;
    int level;
  };
  std::unique_ptr<CNode> root;
  std::vector<Slot> pending{{&root, 1}};
  while (!pending.empty()) {
    const Slot slot = pending.back();
    pending.pop_back();
    if (slot.level > kMaxDictionaryLevels) return nullptr;
    auto node = std::make_unique<CNode>();
    node->leaf = ReadI8(stream) != 0 ? 1 : 0;
    if (stream.Damaged() || !ReadVector(stream, patchSize, node->key) ||
        !ReadVector(stream, patchSize, node->value))
      return nullptr;
    CNode& placed = *(*slot.place = std::move(node));
    if (placed.leaf == 0) {
      pending.push_back({&placed.right, slot.level + 1});
      pending.push_back({&placed.left, slot.level + 1});
    }
  }
  return root;
}

}  // namespace

// ---- CBiTree

const KVector<float>* CBiTree::FindNearest(const KVector<float>& query) const {
  const CNode* node = root_.get();
  if (node == nullptr) return nullptr;
  float best = Distance(node->key, query);
  const KVector<float>* answer = &node->value;
  while (node->leaf == 0) {
    const float dl = Distance(node->left->key, query);
    const float dr = Distance(node->right->key, query);
    node = dl < dr ? node->left.get() : node->right.get();
    const float d = dl < dr ? dl : dr;
    if (d < best) {
      best = d;
      answer = &node->value;
    }
  }
  return answer;
}

// ---- CSuperResolution

bool DictionaryHeader::Valid() const {
  const auto within = [](std::int32_t v, std::int32_t high) { return v >= 1 && v <= high; };
  return within(scaleX, kMaxScale) && within(scaleY, kMaxScale) &&
         within(patchWidth, kMaxPatchLength) && within(patchHeight, kMaxPatchLength) &&
         within(stepX, patchWidth) && within(stepY, patchHeight) && std::isfinite(minNorm) &&
         minNorm >= 0;
}

bool CSuperResolution::LoadDictionary(const std::string& path) {
  FileStream file;
  if (!file.Open(path, FileStream::Mode::kRead)) return false;
  std::vector<std::uint8_t> bytes(kDictionaryHeaderSize);
  if (!file.Read(bytes.data(), bytes.size())) return false;
  DictionaryHeader header;
  DecodeRecord(header, bytes);
  if (!header.Valid()) return false;
  std::unique_ptr<CNode> root = ReadTree(file, header.PatchSize());
  if (root == nullptr) return false;
  header_ = header;
  tree_ = CBiTree(std::move(root));
  return true;
}

void EnlargeBicubic(const FloatArray& src, int scaleX, int scaleY, FloatArray& dst) {
  if (scaleX == 2 && scaleY == 2 && BiCubic2x2(src, dst)) return;
  CResizeBiCubic(src.Width() * scaleX, src.Height() * scaleY).ResizeFloat(src, dst);
}

double PatchFeature(const FloatArray& enlarged, const FloatArray& src, const DictionaryHeader& h,
                    int x, int y, float* feature) {
  double energy = 0;
  for (int r = 0; r < h.patchHeight; ++r) {
    const float* u = enlarged[y + r] + x;
    const float* l = src[(y + r) / h.scaleY];
    for (int c = 0; c < h.patchWidth; ++c) {
      const float f = u[c] - l[(x + c) / h.scaleX];
      *feature++ = f;
      energy += static_cast<double>(f) * f;
    }
  }
  return std::sqrt(energy);
}

void CSuperResolution::Upscale(const FloatArray& src, FloatArray& dst) const {
  const DictionaryHeader& h = header_;
  FloatArray enlarged;
  EnlargeBicubic(src, h.scaleX, h.scaleY, enlarged);
  const int width = enlarged.Width(), height = enlarged.Height();
  const PatchGrid grid(width, height, h);
  // Each interior pixel lies in about this many patches, so each adds its share of the detail.
  const int sharing = h.PatchSize() / (h.stepX * h.stepY);
  // The searches are independent and go in bands of patch rows; the details are then added in
  // patch order, so that every sum is rounded as one pass would round it.
  struct Found {
    const KVector<float>* detail = nullptr;
    double weight = 0;
  };
  std::vector<Found> found(tree_.Empty() ? 0 : grid.Count());
  const std::size_t samplesPerRow = static_cast<std::size_t>(grid.Columns()) * h.PatchSize();
  ForEachRowBand(found.empty() ? 0 : grid.Rows(), samplesPerRow, [&](int begin, int end) {
    KVector<float> feature(h.PatchSize());
    grid.ForRows(begin, end, [&](int x, int y, std::size_t index) {
      const double e = PatchFeature(enlarged, src, h, x, y, feature.Data());
      if (!(e > h.minNorm)) return;
      for (int i = 0; i < feature.Count(); ++i) feature[i] = static_cast<float>(feature[i] / e);
      found[index] = {tree_.FindNearest(feature), e / sharing};
    });
  });
  FloatArray detail(width, height);
  std::fill(detail.begin(), detail.end(), 0.0f);
  grid.ForRows(0, found.empty() ? 0 : grid.Rows(), [&](int x, int y, std::size_t index) {
    const Found& f = found[index];
    if (f.detail == nullptr) return;
    const int count = std::min(f.detail->Count(), h.PatchSize());
    for (int i = 0; i < count; ++i)
      detail[y + i / h.patchWidth][x + i % h.patchWidth] += (*f.detail)[i] * f.weight;
  });
  dst.Resize(width, height);
  std::transform(enlarged.begin(), enlarged.end(), detail.begin(), dst.begin(), std::plus<float>());
}

// ---- ProcSuperResolution

ProcSuperResolution::ProcSuperResolution(int processId) : ProcStandardOut(processId) {
  SetDefaultName("SuperReso");
  SetPortCounts(1, 1);
  CreateParameterDialog("TFormSuperResolution");
}

bool ProcSuperResolution::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  constexpr int kAccepted[] = {kTypeInt1, kTypeFloat1, kTypeInt3, kTypeFloat3};
  if (std::find(std::begin(kAccepted), std::end(kAccepted), inTypes[0]) == std::end(kAccepted))
    return false;
  outTypes[0] = inTypes[0];
  return true;
}

int ProcSuperResolution::Process(const InputImages& inputs, OutputImages& outputs) {
  if (inputs[0] == nullptr) {
    Message("入出力エラー");
    return 1;
  }
  const auto fits = [](int length, int scale) {
    const long long scaled = static_cast<long long>(length) * scale;
    return scaled >= 1 && scaled <= kMaxOutputLength;
  };
  if (!fits(inputs[0]->Width(), engine_.Header().scaleX) ||
      !fits(inputs[0]->Height(), engine_.Header().scaleY)) {
    Message(Name() + "の出力画像のサイズが 1～2048 を超えます。");
    return 1;
  }
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcSuperResolution::ResetOutputs(OutputImages& outputs) {
  const int result = ProcStandardOut::ResetOutputs(outputs);
  if (params.dictionaryPath.empty())
    params.dictionaryPath = (fs::path(LastUsedDirectory()) / kDefaultDictionaryName).string();
  std::error_code error;
  if (!fs::exists(params.dictionaryPath, error)) {
    Message(Name() + "が辞書ファイル" + params.dictionaryPath + "を見つけられません。");
    return result;
  }
  // A damaged file is refused as a whole; the dictionary loaded before stays in use.
  if (!engine_.LoadDictionary(params.dictionaryPath)) {
    Message(Name() + "が辞書ファイル" + params.dictionaryPath + "を読み込めません。");
    return 1;
  }
  return result;
}

int ProcSuperResolution::ProcessFloatChannel(const InArrays<float>& in,
                                             const OutArrays<float>& out) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  engine_.Upscale(*in[0], *out[0]);
  return 0;
}

int ProcSuperResolution::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecordWithPath(stream, params, &Params::dictionaryPath);
  return 0;
}

int ProcSuperResolution::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return header | ReadRecordWithPath(stream, params, &Params::dictionaryPath);
}

void RegisterSuperResolutionKinds() {
  // Created from process files only: no menu item.
  Catalogue::Instance().Register(
      KindOf<ProcSuperResolution>(kSuperResolutionProcessId, "ProcSuperResolution"));
}

}  // namespace kandrel
