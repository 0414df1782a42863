// Learning a super-resolution dictionary from example pictures, and writing it in the layout the
// engine reads. Every picture is halved and enlarged again bicubically; each patch of the
// enlargement whose feature (as the engine computes it) has enough energy gives one example: its
// normalised feature as the key, and as the value the detail the enlargement lost, divided by
// the same energy, so that the engine's weighting of a patch's share gives that detail back.
// The examples are split recursively in two halves, ordered along the line between the two
// centres 2-means finds, so that the tree is balanced; every node holds the means of the keys
// and of the values below it, which is what the engine's greedy descent compares.
#pragma once

#include <cstddef>
#include <vector>

#include "blocks/analysis/super_resolution.h"

namespace kandrel {

constexpr int kMaxLearningLevels = 24;

struct LearnedDictionary {
  DictionaryHeader header;  // the defaults: 2 × 2, patch 4 × 4, step 2, threshold 10
  CBiTree tree;             // empty when no patch had enough energy
  std::size_t examples = 0;
  int leaves = 0;
};

// The picture halved by the mean of each 2 × 2 block (a last odd row or column is dropped).
FloatArray HalfSize(const FloatArray& picture);

// The dictionary of grey pictures; levels (1..kMaxLearningLevels) splits down every branch, for
// at most 2^levels leaves.
LearnedDictionary LearnDictionary(const std::vector<FloatArray>& pictures, int levels);

// The header, then the tree in pre-order.
void WriteDictionary(const DictionaryHeader& header, const CBiTree& tree, ByteStream& stream);

}  // namespace kandrel
