// Pieces that several pixel families share: 32-bit wrap-around arithmetic, a map of every sample
// of one input onto the output, and the type rule of kinds whose output has the input's type.
#pragma once

#include <algorithm>

#include "process/proc_standard_out.h"

namespace kandrel {

// Two's-complement wrap-around, computed in unsigned arithmetic where overflow is defined.
inline int WrapAdd(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}
inline int WrapSubtract(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}

// The output takes input 1's size and f of each of its samples; 1 when either is missing.
template <class T, class F>
int MapSamples(const InArrays<T>& in, const OutArrays<T>& out, F f) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  out[0]->Resize(in[0]->Width(), in[0]->Height());
  std::transform(in[0]->begin(), in[0]->end(), out[0]->begin(), f);
  return 0;
}

// Any type on input 1 gives that type on output 1; an unlinked input is refused.
inline bool InferInputType(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] < 1 || inTypes[0] > kImageTypeCount) return false;
  outTypes[0] = inTypes[0];
  return true;
}

}  // namespace kandrel
