#include "blocks/analysis/sr_dictionary.h"

#include <algorithm>
#include <span>

#include "process/param_record.h"

namespace kandrel {

namespace {

// Lloyd iterations per split; the centres have nearly always settled well before.
constexpr int kSplitIterations = 8;

// One row of keys and one of values per example, dimension floats each.
struct Examples {
  int dimension = 0;
  std::vector<float> keys;
  std::vector<float> values;
  std::size_t Count() const { return keys.size() / static_cast<std::size_t>(dimension); }
  const float* Key(int i) const { return &keys[static_cast<std::size_t>(i) * dimension]; }
};

void AddExamples(const FloatArray& picture, const DictionaryHeader& h, Examples& examples) {
  const FloatArray half = HalfSize(picture);
  if (half.Width() == 0 || half.Height() == 0) return;
  FloatArray enlarged;
  EnlargeBicubic(half, h.scaleX, h.scaleY, enlarged);
  std::vector<float> feature(static_cast<std::size_t>(h.PatchSize()));
  const PatchGrid grid(enlarged.Width(), enlarged.Height(), h);
  grid.ForRows(0, grid.Rows(), [&](int x, int y, std::size_t) {
    const double e = PatchFeature(enlarged, half, h, x, y, feature.data());
    if (!(e > h.minNorm)) return;
    for (float f : feature) examples.keys.push_back(static_cast<float>(f / e));
    for (int r = 0; r < h.patchHeight; ++r)
      for (int c = 0; c < h.patchWidth; ++c)
        examples.values.push_back(
            static_cast<float>((picture[y + r][x + c] - enlarged[y + r][x + c]) / e));
  });
}

double SquaredDistance(const float* a, const std::vector<double>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < b.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return sum;
}

class TreeBuilder {
 public:
  explicit TreeBuilder(const Examples& examples) : examples_(examples) {}

  std::unique_ptr<CNode> Build(std::span<int> members, int levels) {
    auto node = std::make_unique<CNode>();
    node->key = Rounded(Centroid(members));
    node->value = Rounded(Mean(examples_.values, members));
    const std::size_t left = levels > 0 ? Split(members) : 0;
    if (left == 0) {
      ++leaves_;
      return node;
    }
    node->leaf = 0;
    node->left = Build(members.first(left), levels - 1);
    node->right = Build(members.subspan(left), levels - 1);
    return node;
  }

  int Leaves() const { return leaves_; }

 private:
  // The mean of the members' rows of keys or values, in double.
  std::vector<double> Mean(const std::vector<float>& rows, std::span<const int> members) const {
    std::vector<double> sum(static_cast<std::size_t>(examples_.dimension), 0.0);
    for (int m : members)
      for (std::size_t i = 0; i < sum.size(); ++i)
        sum[i] += rows[static_cast<std::size_t>(m) * sum.size() + i];
    for (double& s : sum) s /= static_cast<double>(members.size());
    return sum;
  }

  std::vector<double> Centroid(std::span<const int> members) const {
    return Mean(examples_.keys, members);
  }

  static KVector<float> Rounded(const std::vector<double>& mean) {
    KVector<float> v(static_cast<int>(mean.size()));
    for (int i = 0; i < v.Count(); ++i)
      v[i] = static_cast<float>(mean[static_cast<std::size_t>(i)]);
    return v;
  }

  // The member farthest from point.
  int Farthest(std::span<const int> members, const std::vector<double>& point) const {
    return *std::max_element(members.begin(), members.end(), [&](int a, int b) {
      return SquaredDistance(examples_.Key(a), point) < SquaredDistance(examples_.Key(b), point);
    });
  }

  std::vector<double> KeyOf(int m) const {
    const float* key = examples_.Key(m);
    return {key, key + examples_.dimension};
  }

  // Two centres by 2-means from two far-apart members; then the members ordered by how much
  // nearer the first centre they lie and halved there, so that the tree stays balanced. Returns
  // the size of the first half; 0 when they cannot be split (fewer than two, all alike).
  std::size_t Split(std::span<int> members) const {
    if (members.size() < 2) return 0;
    std::vector<double> first = KeyOf(Farthest(members, Centroid(members)));
    std::vector<double> second = KeyOf(Farthest(members, first));
    if (first == second) return 0;
    const auto margin = [&](int m) {
      return SquaredDistance(examples_.Key(m), first) - SquaredDistance(examples_.Key(m), second);
    };
    for (int iteration = 0; iteration < kSplitIterations; ++iteration) {
      std::vector<int> sides[2];
      for (int m : members) sides[margin(m) < 0 ? 0 : 1].push_back(m);
      if (sides[0].empty() || sides[1].empty()) break;
      first = Centroid(sides[0]);
      second = Centroid(sides[1]);
    }
    std::vector<std::pair<double, int>> order;
    order.reserve(members.size());
    for (int m : members) order.emplace_back(margin(m), m);
    std::sort(order.begin(), order.end());
    for (std::size_t k = 0; k < order.size(); ++k) members[k] = order[k].second;
    return members.size() / 2;
  }

  const Examples& examples_;
  int leaves_ = 0;
};

void WriteVector(ByteStream& stream, const KVector<float>& v) {
  WriteI32(stream, v.Count());
  for (int i = 0; i < v.Count(); ++i) WriteF32(stream, v[i]);
}

void WriteNode(ByteStream& stream, const CNode& node) {
  WriteI8(stream, static_cast<std::int8_t>(node.leaf));
  WriteVector(stream, node.key);
  WriteVector(stream, node.value);
  if (node.leaf != 0) return;
  WriteNode(stream, *node.left);
  WriteNode(stream, *node.right);
}

}  // namespace

FloatArray HalfSize(const FloatArray& picture) {
  FloatArray half(picture.Width() / 2, picture.Height() / 2);
  for (int y = 0; y < half.Height(); ++y)
    for (int x = 0; x < half.Width(); ++x)
      half[y][x] = (picture[2 * y][2 * x] + picture[2 * y][2 * x + 1] + picture[2 * y + 1][2 * x] +
                    picture[2 * y + 1][2 * x + 1]) *
                   0.25f;
  return half;
}

LearnedDictionary LearnDictionary(const std::vector<FloatArray>& pictures, int levels) {
  LearnedDictionary learned;
  Examples examples;
  examples.dimension = learned.header.PatchSize();
  for (const FloatArray& picture : pictures) AddExamples(picture, learned.header, examples);
  learned.examples = examples.Count();
  if (learned.examples == 0) return learned;
  std::vector<int> members(learned.examples);
  for (std::size_t i = 0; i < members.size(); ++i) members[i] = static_cast<int>(i);
  TreeBuilder builder(examples);
  learned.tree = CBiTree(builder.Build(members, std::clamp(levels, 0, kMaxLearningLevels)));
  learned.leaves = builder.Leaves();
  return learned;
}

void WriteDictionary(const DictionaryHeader& header, const CBiTree& tree, ByteStream& stream) {
  DictionaryHeader copy = header;
  const std::vector<std::uint8_t> bytes = EncodeRecord(copy);
  stream.Write(bytes.data(), bytes.size());
  if (tree.Root() != nullptr) WriteNode(stream, *tree.Root());
}

}  // namespace kandrel
