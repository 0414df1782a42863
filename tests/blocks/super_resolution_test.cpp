// Super-resolution against dictionaries assembled here byte by byte: the greedy descent and its
// tie rule, the enlargement against a plain recomputation, the size limit, the default
// dictionary, damaged and hostile files refused with the previous dictionary kept, the record.
#include "blocks/analysis/super_resolution.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "image/resample.h"
#include "process/process_file.h"
#include "tests/blocks/pixel_test_support.h"
#include "tests/support/kandrel_test.h"

namespace kandrel::testing {
namespace {

struct TestNode {
  std::vector<float> key, value;
  std::vector<TestNode> children;  // none, or left and right
};

struct TestHeader {
  int scaleX, scaleY, patchWidth, patchHeight, stepX, stepY;
  float minNorm;
};

void PutU32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(std::uint8_t(v >> shift));
}

void PutNode(std::vector<std::uint8_t>& bytes, const TestNode& n) {
  bytes.push_back(n.children.empty() ? 1 : 0);
  for (const std::vector<float>* v : {&n.key, &n.value}) {
    PutU32(bytes, std::uint32_t(v->size()));
    for (float f : *v) PutU32(bytes, std::bit_cast<std::uint32_t>(f));
  }
  for (const TestNode& child : n.children) PutNode(bytes, child);
}

// The six int32 fields, the float threshold, 4 reserved bytes, the double 0.3, the tree.
std::vector<std::uint8_t> Dictionary(const TestHeader& h, const TestNode* root) {
  std::vector<std::uint8_t> bytes;
  const std::uint64_t reserved = std::bit_cast<std::uint64_t>(0.3);
  for (std::uint32_t v : {h.scaleX, h.scaleY, h.patchWidth, h.patchHeight, h.stepX, h.stepY,
                          std::bit_cast<int>(h.minNorm), 0, int(reserved), int(reserved >> 32)})
    PutU32(bytes, v);
  if (root != nullptr) PutNode(bytes, *root);
  return bytes;
}

// A full tree of `levels` node levels with random keys and values of n elements.
TestNode RandomTree(std::mt19937& rng, int levels, int n) {
  std::uniform_real_distribution<float> unit(-1, 1);
  TestNode node;
  for (int i = 0; i < n; ++i) node.key.push_back(unit(rng)), node.value.push_back(unit(rng));
  if (levels > 1) node.children = {RandomTree(rng, levels - 1, n), RandomTree(rng, levels - 1, n)};
  return node;
}

// Internal nodes down the left, each with a leaf on its right: `levels` node levels.
TestNode Chain(int levels) {
  TestNode node{{0.5f}, {1.0f}, {}};
  if (levels > 1) node.children = {Chain(levels - 1), TestNode{{0.5f}, {1.0f}, {}}};
  return node;
}

float PlainDistance(const std::vector<float>& a, const std::vector<float>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += double(a[i] - b[i]) * double(a[i] - b[i]);
  return float(std::sqrt(sum));
}

// The enlargement written out as the steps read: bicubic, then every patch's detail.
FloatArray PlainUpscale(const FloatArray& low, const TestHeader& h, const TestNode& root) {
  FloatArray up;
  if (h.scaleX == 2 && h.scaleY == 2 && low.Width() >= 3 && low.Height() >= 3)
    BiCubic2x2(low, up);
  else
    CResizeBiCubic(low.Width() * h.scaleX, low.Height() * h.scaleY).ResizeFloat(low, up);
  FloatArray out = up;
  std::vector<float> detail(out.SampleCount(), 0.0f);
  const int n = h.patchWidth * h.patchHeight / (h.stepX * h.stepY);
  for (int y = 0; y <= up.Height() - h.patchHeight; y += h.stepY)
    for (int x = 0; x <= up.Width() - h.patchWidth; x += h.stepX) {
      std::vector<float> f;
      double sum = 0;
      for (int r = 0; r < h.patchHeight; ++r)
        for (int c = 0; c < h.patchWidth; ++c) {
          f.push_back(up[y + r][x + c] - low[(y + r) / h.scaleY][(x + c) / h.scaleX]);
          sum += double(f.back()) * f.back();
        }
      const double e = std::sqrt(sum);
      if (!(e > h.minNorm)) continue;
      for (float& v : f) v = float(v / e);
      const TestNode* node = &root;
      const std::vector<float>* q = &root.value;
      float best = PlainDistance(root.key, f);
      while (!node->children.empty()) {
        const float dl = PlainDistance(node->children[0].key, f);
        const float dr = PlainDistance(node->children[1].key, f);
        node = &node->children[dl < dr ? 0 : 1];
        if (std::min(dl, dr) < best) best = std::min(dl, dr), q = &node->value;
      }
      for (std::size_t i = 0; i < q->size(); ++i)
        detail[(y + i / h.patchWidth) * up.Width() + x + i % h.patchWidth] += (*q)[i] * (e / n);
    }
  for (std::size_t i = 0; i < out.SampleCount(); ++i) out.Data()[i] += detail[i];
  return out;
}

class SuperResolutionTest : public KandrelTest {
 protected:
  void SetUp() override {
    KandrelTest::SetUp();
    previousDirectory = LastUsedDirectory();
    SetLastUsedDirectory(dir.Path());
    process = std::make_unique<ProcSuperResolution>(kSuperResolutionProcessId);
  }
  void TearDown() override {
    process.reset();
    SetLastUsedDirectory(previousDirectory);
    KandrelTest::TearDown();
  }
  // The dictionary written to name and loaded by a reset; Reset's result.
  int Load(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    WriteFileBytes(dir.File(name), bytes);
    process->params.dictionaryPath = dir.File(name);
    return process->Reset();
  }
  // One frame on image; the output, or null when the frame failed.
  template <class L>
  const L* Run(std::unique_ptr<L> image) {
    HeldImages held;
    held.Hold(0, std::move(image));
    const int result = RunFrame(*process, held);
    process->DisconnectAll();
    return result == 0 ? As<L>(process->GetOutput(0)) : nullptr;
  }

  TempDir dir;
  std::string previousDirectory;
  std::unique_ptr<ProcSuperResolution> process;
};

TEST_F(SuperResolutionTest, TheDescentIsGreedyKeepsTheBestMetAndTiesGoRight) {
  // Values name their nodes: root 1, left 2, right 3, then 4..7 left to right.
  const auto node = [](float x, float y, float id, std::vector<TestNode> children = {}) {
    return TestNode{{x, y}, {id, id}, std::move(children)};
  };
  const TestNode root = node(0, 0, 1,
                             {node(2, 0, 2, {node(4, 0, 4), node(2, 3, 5)}),
                              node(-2, 0, 3, {node(-2, 1, 6), node(-3, 0, 7)})});
  ASSERT_EQ(Load("tree.dic", Dictionary({1, 1, 2, 1, 1, 1, 0}, &root)), 0);
  const std::pair<KVector<float>, float> cases[] = {
      {{0.1f, 0}, 1},   // both children farther than the root: the root's value stays
      {{3, 0}, 2},      // a grandchild only as near as its parent does not replace it
      {{0, 5}, 6},      // equal distances go right (left would have found 5)
      {{-0.1f, 3}, 6},  // greedy: the nearest key (5) lies in the branch not taken
  };
  for (const auto& [query, expected] : cases) {
    const KVector<float>* found = process->Engine().Tree().FindNearest(query);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ((*found)[0], expected) << query[0] << ", " << query[1];
  }
  EXPECT_EQ(CBiTree().FindNearest({0, 0}), nullptr);
}

TEST_F(SuperResolutionTest, UpscaleMatchesThePlainStepsAndFlatInputStaysBicubic) {
  const std::tuple<TestHeader, int, int, bool> cases[] = {
      {{2, 2, 4, 4, 2, 2, 1}, 7, 5, false},      // BiCubic2x2, four patches over interior pixels
      {{2, 2, 4, 4, 2, 2, 1}, 2, 5, false},      // too narrow for BiCubic2x2: the general resizer
      {{3, 3, 3, 3, 1, 2, 0.5f}, 5, 4, false},   // factors 3 × 3: the general resizer
      {{2, 1, 2, 3, 2, 3, 0}, 6, 3, false},      // patches that do not overlap
      {{2, 2, 4, 4, 2, 2, 1e30f}, 9, 7, false},  // no patch has enough energy: plain bicubic
      {{2, 2, 4, 4, 2, 2, 0}, 9, 7, true},       // a flat picture has no energy at all
  };
  std::mt19937 rng(5);
  for (const auto& [h, width, height, flat] : cases) {
    SCOPED_TRACE(::testing::Message() << h.scaleX << "x" << h.scaleY << " on " << width);
    const TestNode root = RandomTree(rng, 3, h.patchWidth * h.patchHeight);
    ASSERT_EQ(Load("random.dic", Dictionary(h, &root)), 0);
    auto image = RandomImage<Float1Image>(rng, width, height, 0, false);
    if (flat) std::fill(image->channels[0].begin(), image->channels[0].end(), 40.0f);
    const FloatArray expected = PlainUpscale(image->channels[0], h, root);
    const Float1Image* out = Run(std::move(image));
    ASSERT_NE(out, nullptr);
    ExpectChannel(out->channels[0], SizeOf(expected), [&](int x, int y) { return expected[y][x]; });
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SuperResolutionTest, SizeLimitDefaultDictionaryRecordAndTypes) {
  // No dictionary: the default name in the process file's directory, plain 2 × 2 bicubic.
  process->Reset();
  EXPECT_EQ(process->params.dictionaryPath, dir.File("SR.dic"));
  EXPECT_EQ(host.LastMessage(),
            "SuperResoが辞書ファイル" + dir.File("SR.dic") + "を見つけられません。");
  std::mt19937 rng(3);
  const auto sized = [&](int w, int h) { return RandomImage<Float1Image>(rng, w, h, 0, false); };
  const std::tuple<int, int, bool> sizes[] = {
      {1024, 100, true}, {1025, 100, false}, {100, 1025, false}, {0, 0, false}};
  for (const auto& [w, h, accepted] : sizes) {
    host.ClearMessages();
    EXPECT_EQ(Run(sized(w, h)) != nullptr, accepted) << w << " x " << h;
    EXPECT_EQ(host.LastMessage(),
              accepted ? "" : "SuperResoの出力画像のサイズが 1～2048 を超えます。");
  }
  // A 3 × 3 dictionary under the default name is found by the next reset.
  const TestNode root = RandomTree(rng, 2, 9);
  WriteFileBytes(dir.File("SR.dic"), Dictionary({3, 3, 3, 3, 1, 1, 0}, &root));
  process->params.dictionaryPath.clear();
  ASSERT_EQ(process->Reset(), 0);
  EXPECT_EQ(process->Engine().Header().scaleX, 3);

  const auto bytes = ExpectKind<ProcSuperResolution>(
      {kSuperResolutionProcessId, "ProcSuperResolution", "", "SuperReso", "", 1, 1, true, 260},
      [&](ProcSuperResolution& p) { p.params.dictionaryPath = dir.File("dic/a.dic"); });
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[kParamsOffset + 4])), "dic\\a.dic");
  const std::pair<int, int> rules[] = {{1, 1}, {2, 2}, {3, 0}, {4, 4}, {5, 5}, {6, 0}};
  for (const auto& [in, expected] : rules) {
    TypeList out{};
    EXPECT_EQ(process->InferOutputTypes({in}, out) ? out[0] : 0, expected) << in;
  }
}

TEST_F(SuperResolutionTest, DamagedOrHostileFilesAreRefusedAndThePreviousDictionaryKept) {
  std::mt19937 rng(8);
  const TestNode root = RandomTree(rng, 3, 9);
  // Patches of 3 × 3: a node is its flag at 40, the key count at 41, the value count at 81.
  const TestHeader h{3, 3, 3, 3, 1, 1, 0};
  const std::vector<std::uint8_t> good = Dictionary(h, &root);
  ASSERT_EQ(Load("good.dic", good), 0);
  const CNode* loaded = process->Engine().Tree().Root();
  std::vector<std::vector<std::uint8_t>> bad;
  for (std::size_t size :
       {std::size_t{20}, std::size_t{40}, std::size_t{41}, std::size_t{73}, good.size() - 1})
    bad.emplace_back(good.begin(), good.begin() + size);
  const std::pair<int, int> counts[] = {{41, 1 << 30}, {41, -1}, {81, 1 << 30}, {81, 8}};
  for (auto [offset, count] : counts) {
    bad.push_back(good);
    StoreI32(&bad.back()[offset], count);
  }
  const TestNode shortKey{{1, 2, 3}, std::vector<float>(9, 0), {}};
  bad.push_back(Dictionary(h, &shortKey));
  const float nan = std::numeric_limits<float>::quiet_NaN(),
              inf = std::numeric_limits<float>::infinity();
  const TestHeader wrongHeaders[] = {{0, 3, 3, 3, 1, 1, 0},   {3, 17, 3, 3, 1, 1, 0},
                                     {3, 3, 3, 65, 1, 1, 0},  {3, 3, 3, 3, 0, 1, 0},
                                     {3, 3, 3, 3, 1, 4, 0},   {3, 3, 3, 3, 1, 1, nan},
                                     {3, 3, 3, 3, 1, 1, inf}, {3, 3, 3, 3, 1, 1, -1}};
  for (const TestHeader& wrong : wrongHeaders) bad.push_back(Dictionary(wrong, &root));
  const TestNode tooDeep = Chain(65);  // one level more than is read
  bad.push_back(Dictionary({1, 1, 1, 1, 1, 1, 0}, &tooDeep));
  for (std::size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Load("bad.dic", bad[i]), 1);
    EXPECT_EQ(host.LastMessage(),
              "SuperResoが辞書ファイル" + dir.File("bad.dic") + "を読み込めません。");
    EXPECT_EQ(process->Engine().Header().scaleX, 3);
    EXPECT_EQ(process->Engine().Tree().Root(), loaded);
  }
  const TestNode deepest = Chain(64);
  EXPECT_EQ(Load("deep.dic", Dictionary({1, 1, 1, 1, 1, 1, 0}, &deepest)), 0);
  EXPECT_EQ(process->Engine().Header().scaleX, 1);
}

}  // namespace
}  // namespace kandrel::testing
