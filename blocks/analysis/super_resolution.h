// Example-based super-resolution: ProcSuperResolution enlarges an image by the integer factors of
// a dictionary and adds back fine detail. The engine CSuperResolution enlarges bicubically, takes
// every overlapping patch of the enlargement as a normalised high-frequency vector, finds the
// nearest key of its binary tree by a greedy descent and adds the detail stored there, scaled by
// the patch's own energy. The dictionary file (header, then the tree in pre-order) is read with
// every count and size checked, so a damaged or hostile file is refused and the dictionary loaded
// before stays in use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kSuperResolutionProcessId = 10049;

// A float vector that owns its elements.
template <class T>
class KVector {
 public:
  KVector() = default;
  explicit KVector(int count) : data_(static_cast<std::size_t>(count)) {}
  KVector(std::initializer_list<T> values) : data_(values) {}
  int Count() const { return static_cast<int>(data_.size()); }
  T& operator[](int i) { return data_[static_cast<std::size_t>(i)]; }
  const T& operator[](int i) const { return data_[static_cast<std::size_t>(i)]; }
  T* Data() { return data_.data(); }
  const T* Data() const { return data_.data(); }

 private:
  std::vector<T> data_;
};

// One tree node: a leaf, or an internal node with both children.
struct CNode {
  KVector<float> key;
  KVector<float> value;  // the detail patch, row-major
  std::uint8_t leaf = 1;
  std::unique_ptr<CNode> left;
  std::unique_ptr<CNode> right;
};

class CBiTree {
 public:
  CBiTree() = default;
  explicit CBiTree(std::unique_ptr<CNode> root) : root_(std::move(root)) {}
  const CNode* Root() const { return root_.get(); }
  bool Empty() const { return root_ == nullptr; }

  // The value of the best key met on a greedy descent (one node per level, ties going right);
  // null while the tree is empty.
  const KVector<float>* FindNearest(const KVector<float>& query) const;

 private:
  std::unique_ptr<CNode> root_;
};

// The first 40 bytes of a dictionary file, which fix the enlargement.
struct DictionaryHeader {
  std::int32_t scaleX = 2;
  std::int32_t scaleY = 2;
  std::int32_t patchWidth = 4;  // in pixels of the enlarged image
  std::int32_t patchHeight = 4;
  std::int32_t stepX = 2;  // between patch origins
  std::int32_t stepY = 2;
  float minNorm = 10.0f;  // patches whose energy does not exceed this get no detail
  std::array<std::uint8_t, 4> reserved{};
  double reserved2 = 0.3;  // read, not used by the enlargement
  template <class F>
  void Fields(F& f) {
    f.I32(scaleX);
    f.I32(scaleY);
    f.I32(patchWidth);
    f.I32(patchHeight);
    f.I32(stepX);
    f.I32(stepY);
    f.F32(minNorm);
    f.Bytes(reserved);
    f.F64(reserved2);
  }
  // Factors 1..16, patches 1..64 a side, steps 1..patch, a finite threshold of 0 or more.
  bool Valid() const;
  int PatchSize() const { return patchWidth * patchHeight; }
};

constexpr int kDictionaryHeaderSize = 40;
// Node levels on any path from the root, root included.
constexpr int kMaxDictionaryLevels = 64;

class CSuperResolution {
 public:
  // Replaces the header and the tree by the file's; false (nothing changed) when the file cannot
  // be opened or is truncated or malformed.
  bool LoadDictionary(const std::string& path);
  // dst becomes (W·scaleX) × (H·scaleY). Only reads the engine, so channels may share it.
  void Upscale(const FloatArray& src, FloatArray& dst) const;

  const DictionaryHeader& Header() const { return header_; }
  const CBiTree& Tree() const { return tree_; }

 private:
  CBiTree tree_;
  DictionaryHeader header_;
};

// The bicubic enlargement the engine starts from: BiCubic2x2 for 2 × 2 (where the source has at
// least 3 samples a side), the general bicubic resizer otherwise.
void EnlargeBicubic(const FloatArray& src, int scaleX, int scaleY, FloatArray& dst);

// The patch origins of an enlarged image of width × height: columns × rows of them, a step
// apart, row by row.
class PatchGrid {
 public:
  PatchGrid(int width, int height, const DictionaryHeader& h)
      : columns_(Fitting(width, h.patchWidth, h.stepX)),
        rows_(Fitting(height, h.patchHeight, h.stepY)),
        stepX_(h.stepX),
        stepY_(h.stepY) {}
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }
  std::size_t Count() const { return static_cast<std::size_t>(rows_) * columns_; }
  // visit(x, y, index) for the patches of grid rows rowBegin … rowEnd − 1, index counting all
  // patches in order.
  template <class Visit>
  void ForRows(int rowBegin, int rowEnd, Visit&& visit) const {
    for (int j = rowBegin; j < rowEnd; ++j)
      for (int i = 0; i < columns_; ++i)
        visit(i * stepX_, j * stepY_, static_cast<std::size_t>(j) * columns_ + i);
  }

 private:
  static int Fitting(int length, int patch, int step) {
    return length < patch ? 0 : (length - patch) / step + 1;
  }
  int columns_, rows_, stepX_, stepY_;
};

// The patch at (x, y) of the enlargement minus the pixel-replicated source, row by row, into
// feature (PatchSize() floats); returns its energy, the root of the sum of squares in double.
double PatchFeature(const FloatArray& enlarged, const FloatArray& src, const DictionaryHeader& h,
                    int x, int y, float* feature);

class ProcSuperResolution : public ProcStandardOut {
 public:
  struct Params {
    std::string dictionaryPath;  // absolute in memory, relative to the process file when stored
    template <class F>
    void Fields(F& f) {
      f.Text(dictionaryPath, 260);
    }
  };

  explicit ProcSuperResolution(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  const CSuperResolution& Engine() const { return engine_; }

  Params params;

 private:
  CSuperResolution engine_;
};

void RegisterSuperResolutionKinds();

}  // namespace kandrel
