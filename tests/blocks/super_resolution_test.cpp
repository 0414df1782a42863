// Super-resolution against dictionaries assembled here byte by byte: the greedy descent and its
// tie rule, the enlargement against a plain recomputation, the size limit, the default
// dictionary, damaged and hostile files refused with the previous dictionary kept, the record.
#include "blocks/analysis/super_resolution.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
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
  int scaleX = 2, scaleY = 2, patchWidth = 4, patchHeight = 4, stepX = 2, stepY = 2;
  float minNorm = 10;
};

// Little-endian bytes put together one at a time.
struct FileBytes {
  std::vector<std::uint8_t> bytes;
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
  void Floats(const std::vector<float>& v) {
    U32(static_cast<std::uint32_t>(v.size()));
    for (float f : v) F32(f);
  }
  void Node(const TestNode& n) {
    bytes.push_back(n.children.empty() ? 1 : 0);
    Floats(n.key);
    Floats(n.value);
    for (const TestNode& child : n.children) Node(child);
  }
};

std::vector<std::uint8_t> Dictionary(const TestHeader& h, const TestNode* root) {
  FileBytes file;
  for (int v : {h.scaleX, h.scaleY, h.patchWidth, h.patchHeight, h.stepX, h.stepY})
    file.U32(static_cast<std::uint32_t>(v));
  file.F32(h.minNorm);
  file.U32(0);
  const std::uint64_t reserved = std::bit_cast<std::uint64_t>(0.3);
  file.U32(static_cast<std::uint32_t>(reserved));
  file.U32(static_cast<std::uint32_t>(reserved >> 32));
  if (root != nullptr) file.Node(*root);
  return file.bytes;
}

// A full tree of the given levels with random keys and values of n elements.
TestNode RandomTree(std::mt19937& rng, int levels, int n) {
  std::uniform_real_distribution<float> unit(-1, 1);
  TestNode node;
  for (int i = 0; i < n; ++i) node.key.push_back(unit(rng)), node.value.push_back(unit(rng));
  if (levels > 1) node.children = {RandomTree(rng, levels - 1, n), RandomTree(rng, levels - 1, n)};
  return node;
}

// A chain of internal nodes, each with a leaf on its right: `levels` node levels in all.
TestNode Chain(int levels, int n) {
  TestNode node{std::vector<float>(n, 0.5f), std::vector<float>(n, 1.0f), {}};
  if (levels > 1) node.children = {Chain(levels - 1, n), TestNode{node.key, node.value, {}}};
  return node;
}

float PlainDistance(const std::vector<float>& a, const std::vector<float>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += double(a[i] - b[i]) * double(a[i] - b[i]);
  return float(std::sqrt(sum));
}

const std::vector<float>& PlainFindNearest(const TestNode& root, const std::vector<float>& q) {
  const TestNode* node = &root;
  const std::vector<float>* answer = &root.value;
  float best = PlainDistance(root.key, q);
  while (!node->children.empty()) {
    const float dl = PlainDistance(node->children[0].key, q);
    const float dr = PlainDistance(node->children[1].key, q);
    node = &node->children[dl < dr ? 0 : 1];
    if (std::min(dl, dr) < best) best = std::min(dl, dr), answer = &node->value;
  }
  return *answer;
}

// The enlargement written out as the steps read: bicubic, then every patch's detail.
FloatArray PlainUpscale(const FloatArray& low, const TestHeader& h, const TestNode& root) {
  FloatArray up;
  if (h.scaleX == 2 && h.scaleY == 2 && low.Width() >= 3 && low.Height() >= 3)
    BiCubic2x2(low, up);
  else
    CResizeBiCubic(low.Width() * h.scaleX, low.Height() * h.scaleY).ResizeFloat(low, up);
  FloatArray detail(up.Width(), up.Height());
  std::fill(detail.begin(), detail.end(), 0.0f);
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
      const std::vector<float>& q = PlainFindNearest(root, f);
      for (std::size_t i = 0; i < q.size(); ++i)
        detail[y + int(i) / h.patchWidth][x + int(i) % h.patchWidth] += q[i] * (e / n);
    }
  FloatArray out(up.Width(), up.Height());
  for (std::size_t i = 0; i < out.SampleCount(); ++i)
    out.Data()[i] = up.Data()[i] + detail.Data()[i];
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
    held.reset();
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
    held = std::make_unique<HeldImages>();
    held->Hold(0, std::move(image));
    const int result = RunFrame(*process, *held);
    process->DisconnectAll();
    return result == 0 ? As<L>(process->GetOutput(0)) : nullptr;
  }

  TempDir dir;
  std::string previousDirectory;
  std::unique_ptr<HeldImages> held;
  std::unique_ptr<ProcSuperResolution> process;
};

TEST_F(SuperResolutionTest, TheDescentIsGreedyKeepsTheBestMetAndTiesGoRight) {
  // Values name their nodes: root 1, left 2, right 3, then 4..7 left to right.
  const auto leaf = [](float x, float y, float id) { return TestNode{{x, y}, {id, id}, {}}; };
  const TestNode root{{0, 0},
                      {1, 1},
                      {TestNode{{2, 0}, {2, 2}, {leaf(4, 0, 4), leaf(2, 3, 5)}},
                       TestNode{{-2, 0}, {3, 3}, {leaf(-2, 1, 6), leaf(-3, 0, 7)}}}};
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
  struct Case {
    TestHeader header;
    int width, height;
  };
  const Case cases[] = {
      {{2, 2, 4, 4, 2, 2, 1}, 7, 5},      // BiCubic2x2, four patches over interior pixels
      {{2, 2, 4, 4, 2, 2, 1}, 2, 5},      // too narrow for BiCubic2x2: the general resizer
      {{3, 3, 3, 3, 1, 2, 0.5f}, 5, 4},   // factors 3 × 3: the general resizer
      {{2, 1, 2, 3, 2, 3, 0}, 6, 3},      // patches that do not overlap
      {{2, 2, 4, 4, 2, 2, 1e30f}, 9, 7},  // no patch has enough energy: plain bicubic
  };
  std::mt19937 rng(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.header.scaleX << "x" << c.header.scaleY << " on "
                                      << c.width << "x" << c.height);
    const TestHeader& h = c.header;
    const TestNode root = RandomTree(rng, 3, h.patchWidth * h.patchHeight);
    ASSERT_EQ(Load("random.dic", Dictionary(h, &root)), 0);
    auto image = RandomImage<Float1Image>(rng, c.width, c.height, 0, false);
    const FloatArray expected = PlainUpscale(image->channels[0], h, root);
    const Float1Image* out = Run(std::move(image));
    ASSERT_NE(out, nullptr);
    ExpectChannel(out->channels[0], SizeOf(expected), [&](int x, int y) { return expected[y][x]; });
  }
  // A flat picture has no feature energy anywhere.
  auto flat = std::make_unique<Float3Image>();
  flat->Resize(9, 7);
  for (auto& channel : flat->channels) std::fill(channel.begin(), channel.end(), 40.0f);
  const Float3Image* out = Run(std::move(flat));
  ASSERT_NE(out, nullptr);
  for (const auto& channel : out->channels)
    ExpectChannel(channel, {18, 14}, [](int, int) { return 40.0f; });
  EXPECT_TRUE(Messages().empty());
}

TEST_F(SuperResolutionTest, SizeLimitAndTheDefaultDictionary) {
  // No dictionary: the default name in the process file's directory, plain 2 × 2 bicubic.
  process->Reset();
  EXPECT_EQ(process->params.dictionaryPath, dir.File("SR.dic"));
  EXPECT_EQ(host.LastMessage(),
            "SuperResoが辞書ファイル" + dir.File("SR.dic") + "を見つけられません。");
  std::mt19937 rng(3);
  const auto sized = [&](int w, int h) { return RandomImage<Float1Image>(rng, w, h, 0, false); };
  const Float1Image* out = Run(sized(1024, 100));
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(SizeOf(out->channels[0]), (std::pair{2048, 200}));
  host.ClearMessages();
  for (auto [w, h] : {std::pair{1025, 100}, std::pair{100, 1025}, std::pair{0, 0}}) {
    EXPECT_EQ(Run(sized(w, h)), nullptr);
    EXPECT_EQ(host.LastMessage(), "SuperResoの出力画像のサイズが 1～2048 を超えます。");
  }
  // A 3 × 3 dictionary under the default name is found by the next reset.
  std::mt19937 treeRng(4);
  const TestNode root = RandomTree(treeRng, 2, 9);
  WriteFileBytes(dir.File("SR.dic"), Dictionary({3, 3, 3, 3, 1, 1, 0}, &root));
  process->params.dictionaryPath.clear();
  ASSERT_EQ(process->Reset(), 0);
  EXPECT_EQ(process->Engine().Header().scaleX, 3);
  ASSERT_NE(Run(sized(682, 4)), nullptr);
  EXPECT_EQ(Run(sized(683, 4)), nullptr);
  // Three channels at once, each as the engine enlarges it alone.
  auto colour = RandomImage<Float3Image>(rng, 6, 5, 0, false);
  const std::array<FloatArray, 3> input = colour->channels;
  const Float3Image* three = Run(std::move(colour));
  ASSERT_NE(three, nullptr);
  for (int c = 0; c < 3; ++c) {
    FloatArray expected;
    process->Engine().Upscale(input[c], expected);
    ExpectChannel(three->channels[c], {18, 15}, [&](int x, int y) { return expected[y][x]; });
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
  const auto cut = [&](std::size_t size) {
    return std::vector<std::uint8_t>(good.begin(), good.begin() + size);
  };
  const auto withI32 = [&](std::size_t offset, std::int32_t v) {
    std::vector<std::uint8_t> bytes = good;
    StoreI32(&bytes[offset], v);
    return bytes;
  };
  const auto header = [&](auto change) {
    TestHeader changed = h;
    change(changed);
    return Dictionary(changed, &root);
  };
  const TestNode shortKey{{1, 2, 3}, std::vector<float>(9, 0), {}};
  const std::vector<std::uint8_t> bad[] = {
      cut(20),
      cut(40),
      cut(41),
      cut(45 + 4 * 7),
      cut(good.size() - 1),
      withI32(41, 1 << 30),
      withI32(41, -1),
      withI32(81, 1 << 30),
      withI32(81, 8),
      Dictionary(h, &shortKey),
      header([](TestHeader& t) { t.scaleX = 0; }),
      header([](TestHeader& t) { t.scaleY = 17; }),
      header([](TestHeader& t) { t.patchHeight = 65; }),
      header([](TestHeader& t) { t.stepX = 0; }),
      header([](TestHeader& t) { t.stepY = 4; }),
      header([](TestHeader& t) { t.minNorm = std::numeric_limits<float>::quiet_NaN(); }),
      header([](TestHeader& t) { t.minNorm = std::numeric_limits<float>::infinity(); }),
      header([](TestHeader& t) { t.minNorm = -1; }),
  };
  for (std::size_t i = 0; i < std::size(bad); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Load("bad.dic", bad[i]), 1);
    EXPECT_EQ(host.LastMessage(),
              "SuperResoが辞書ファイル" + dir.File("bad.dic") + "を読み込めません。");
    EXPECT_EQ(process->Engine().Header().scaleX, 3);
    EXPECT_EQ(process->Engine().Tree().Root(), loaded);
  }
  // 64 levels are read; 65 are refused before any more is read.
  const TestNode deepest = Chain(64, 1), tooDeep = Chain(65, 1);
  EXPECT_EQ(Load("deep.dic", Dictionary({1, 1, 1, 1, 1, 1, 0}, &deepest)), 0);
  EXPECT_EQ(Load("deeper.dic", Dictionary({1, 1, 1, 1, 1, 1, 0}, &tooDeep)), 1);
  EXPECT_EQ(process->Engine().Header().scaleX, 1);
}

TEST_F(SuperResolutionTest, RecordTypesAndCatalogueRow) {
  const auto bytes = ExpectKind<ProcSuperResolution>(
      {kSuperResolutionProcessId, "ProcSuperResolution", "", "SuperReso", "", 1, 1, true, 260},
      [&](ProcSuperResolution& p) { p.params.dictionaryPath = dir.File("dic/a.dic"); });
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[kParamsOffset + 4])), "dic\\a.dic");
  const std::pair<int, int> rules[] = {{1, 1}, {2, 2}, {3, 0}, {4, 4}, {5, 5}, {6, 0}, {0, 0}};
  for (const auto& [in, expected] : rules) {
    TypeList out{};
    EXPECT_EQ(process->InferOutputTypes({in}, out) ? out[0] : 0, expected) << in;
  }
}

}  // namespace
}  // namespace kandrel::testing
