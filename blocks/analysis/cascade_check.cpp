#include "blocks/analysis/cascade_check.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <opencv2/core.hpp>
#include <vector>

namespace kandrel {
namespace {

constexpr int kMaxWindow = 4096;

// The numbers of a node: one number or a sequence of them; false when any is not a number.
bool Numbers(const cv::FileNode& node, std::vector<double>& values) {
  values.clear();
  if (node.isReal() || node.isInt()) {
    values.push_back(static_cast<double>(node));
    return true;
  }
  if (!node.isSeq()) return false;
  for (const cv::FileNode& item : node) {
    if (!item.isReal() && !item.isInt()) return false;
    values.push_back(static_cast<double>(item));
  }
  return true;
}

bool IsWhole(double v) { return std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e9; }

struct Window {
  int width = 0;
  int height = 0;
  bool Usable() const {
    return width >= 1 && height >= 1 && width <= kMaxWindow && height <= kMaxWindow;
  }
};

// A Haar rectangle "x y w h weight", upright or turned by 45 degrees, inside the window.
bool HaarRectFits(const cv::FileNode& rect, bool tilted, const Window& window) {
  std::vector<double> v;
  if (!Numbers(rect, v) || v.size() != 5 || !std::isfinite(v[4])) return false;
  for (int i = 0; i < 4; ++i)
    if (!IsWhole(v[i]) || v[i] < 0) return false;
  const double x = v[0], y = v[1], w = v[2], h = v[3];
  if (tilted) return x - h >= 0 && x + w <= window.width && y + w + h <= window.height;
  return x + w <= window.width && y + h <= window.height;
}

bool HaarFeatureFits(const cv::FileNode& feature, const Window& window) {
  const cv::FileNode rects = feature["rects"];
  if (!rects.isSeq() || rects.size() < 1 || rects.size() > 3) return false;
  const cv::FileNode tiltedNode = feature["tilted"];
  const bool tilted = !tiltedNode.empty() && static_cast<int>(tiltedNode) != 0;
  for (const cv::FileNode& rect : rects)
    if (!HaarRectFits(rect, tilted, window)) return false;
  return true;
}

// An LBP feature: a 3 × 3 grid of w × h cells from (x, y).
bool LbpFeatureFits(const cv::FileNode& feature, const Window& window) {
  std::vector<double> v;
  if (!Numbers(feature["rect"], v) || v.size() != 4) return false;
  for (double n : v)
    if (!IsWhole(n) || n < 0) return false;
  return v[0] + 3 * v[2] <= window.width && v[1] + 3 * v[3] <= window.height;
}

// A tree link: a later node of the same tree (positive) or one of its leaves (zero or negative).
bool LinkFits(double link, int node, int nodes, int leaves) {
  if (!IsWhole(link)) return false;
  return link > 0 ? link > node && link < nodes : -link < leaves;
}

bool CurrentFormatIsSound(const cv::FileNode& root) {
  if (static_cast<std::string>(root["stageType"]) != "BOOST") return false;
  const std::string type = static_cast<std::string>(root["featureType"]);
  if (type != "HAAR" && type != "LBP") return false;
  const Window window{static_cast<int>(root["width"]), static_cast<int>(root["height"])};
  if (!window.Usable()) return false;
  const int categories = static_cast<int>(root["featureParams"]["maxCatCount"]);
  if (categories < 0 || categories > 256 || (categories > 0) != (type == "LBP")) return false;
  const int nodeStep = 3 + (categories > 0 ? (categories + 31) / 32 : 1);

  const cv::FileNode features = root["features"];
  if (!features.isSeq() || features.size() == 0) return false;
  for (const cv::FileNode& feature : features)
    if (!(type == "HAAR" ? HaarFeatureFits(feature, window) : LbpFeatureFits(feature, window)))
      return false;

  const cv::FileNode stages = root["stages"];
  if (!stages.isSeq() || stages.size() == 0) return false;
  std::vector<double> nodes, leaves;
  for (const cv::FileNode& stage : stages) {
    const cv::FileNode weak = stage["weakClassifiers"];
    if (!weak.isSeq() || weak.size() == 0) return false;
    for (const cv::FileNode& tree : weak) {
      if (!Numbers(tree["internalNodes"], nodes) || !Numbers(tree["leafValues"], leaves))
        return false;
      const int count = static_cast<int>(nodes.size()) / nodeStep;
      if (count == 0 || nodes.size() % nodeStep != 0 ||
          leaves.size() != nodes.size() / nodeStep + 1)
        return false;
      for (int n = 0; n < count; ++n) {
        const double* node = &nodes[static_cast<std::size_t>(n) * nodeStep];
        const int leafCount = static_cast<int>(leaves.size());
        if (!LinkFits(node[0], n, count, leafCount) || !LinkFits(node[1], n, count, leafCount) ||
            !IsWhole(node[2]) || node[2] < 0 || node[2] >= static_cast<double>(features.size()))
          return false;
      }
    }
  }
  return true;
}

// The old format: a "size" and "stages" of "trees", each tree a list of nodes that hold their
// feature and link to later nodes or end in values.
bool OldFormatIsSound(const cv::FileNode& root) {
  std::vector<double> size;
  if (!Numbers(root["size"], size) || size.size() != 2 || !IsWhole(size[0]) || !IsWhole(size[1]))
    return false;
  const Window window{static_cast<int>(size[0]), static_cast<int>(size[1])};
  if (!window.Usable()) return false;
  const cv::FileNode stages = root["stages"];
  if (!stages.isSeq() || stages.size() == 0) return false;
  for (const cv::FileNode& stage : stages) {
    const cv::FileNode trees = stage["trees"];
    if (!trees.isSeq() || trees.size() == 0) return false;
    for (const cv::FileNode& tree : trees) {
      if (!tree.isSeq() || tree.size() == 0) return false;
      const int count = static_cast<int>(tree.size());
      int n = 0;
      for (const cv::FileNode& node : tree) {
        if (!HaarFeatureFits(node["feature"], window)) return false;
        for (const std::string side : {"left", "right"}) {
          const cv::FileNode next = node[side + "_node"];
          if (next.empty()) {
            if (!node[side + "_val"].isReal() && !node[side + "_val"].isInt()) return false;
            continue;
          }
          const double link = static_cast<double>(next);
          if (!IsWhole(link) || link <= n || link >= count) return false;
        }
        ++n;
      }
    }
  }
  return true;
}

bool ParsesAsSoundCascade(const std::string& path) {
  try {
    cv::FileStorage file(path, cv::FileStorage::READ);
    if (!file.isOpened()) return false;
    const cv::FileNode root = file.getFirstTopLevelNode();
    return root.isMap() &&
           (root["stageType"].empty() ? OldFormatIsSound(root) : CurrentFormatIsSound(root));
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace

bool CascadeFileIsSound(const std::string& path) {
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    // The child dies quietly; the caller tells the user.
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(signal, SIG_DFL);
    _exit(ParsesAsSoundCascade(path) ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kandrel
