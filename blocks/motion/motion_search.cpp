#include "blocks/motion/motion_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "image/parallel.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

// Int differences are summed in 64 bits: int32 sums of samples far apart would overflow. Float
// differences are summed in double.
template <class T>
using SumOf = std::conditional_t<std::is_same_v<T, int>, std::int64_t, double>;

template <class T>
SumOf<T> AbsoluteDifference(T a, T b) {
  if constexpr (std::is_same_v<T, int>)
    return std::llabs(std::int64_t{a} - b);
  else
    return std::fabs(static_cast<double>(a - b));
}

// The block at (x0, y0) of current against the one at (j, i) of reference, row by row; stops as
// soon as the partial sum exceeds limit, since it can no longer win.
template <class T>
SumOf<T> BlockDifference(const Array2D<T>& current, const Array2D<T>& reference, int x0, int y0,
                         int j, int i, int size, SumOf<T> limit) {
  SumOf<T> sum = 0;
  for (int r = 0; r < size; ++r) {
    const T* c = current[y0 + r] + x0;
    const T* f = reference[i + r] + j;
    for (int k = 0; k < size; ++k) sum += AbsoluteDifference(c[k], f[k]);
    if (sum > limit) break;
  }
  return sum;
}

}  // namespace

template <class T>
void SearchMotion(const Array2D<T>& current, const Array2D<T>& reference,
                  const ProcMotionSearch::Params& p, ComplexArray& field) {
  const int w = current.Width(), h = current.Height(), b = p.blockSize, range = p.searchRange;
  field.Resize((w - b) / p.blockStep + 1, (h - b) / p.blockStep + 1);
  // Blocks are independent: rows of them go in bands on their own threads.
  const std::size_t samplesPerRow = static_cast<std::size_t>(field.Width()) * b * b;
  ForEachRowBand(field.Height(), samplesPerRow, [&](int beginRow, int endRow) {
    for (int by = beginRow; by < endRow; ++by) {
      for (int bx = 0; bx < field.Width(); ++bx) {
        const int x0 = bx * p.blockStep, y0 = by * p.blockStep;
        int bestX = x0, bestY = y0;
        SumOf<T> best = BlockDifference(current, reference, x0, y0, x0, y0, b,
                                        std::numeric_limits<SumOf<T>>::max());
        // Candidates in row order; the earlier wins a tie, and a perfect match ends the search.
        for (int i = std::max(y0 - range, 0); best != 0 && i <= y0 + range && i <= h - b; ++i) {
          for (int j = std::max(x0 - range, 0); best != 0 && j <= x0 + range && j <= w - b; ++j) {
            const SumOf<T> candidate = BlockDifference(current, reference, x0, y0, j, i, b, best);
            if (candidate < best) best = candidate, bestX = j, bestY = i;
          }
        }
        field[by][bx] = {static_cast<float>(x0 - bestX), static_cast<float>(y0 - bestY)};
      }
    }
  });
}

template void SearchMotion(const IntArray&, const IntArray&, const ProcMotionSearch::Params&,
                           ComplexArray&);
template void SearchMotion(const FloatArray&, const FloatArray&, const ProcMotionSearch::Params&,
                           ComplexArray&);

ProcMotionSearch::ProcMotionSearch(int processId) : ProcStandardOut(processId) {
  SetDefaultName("MotionSrch");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormMotionSearch");
}

bool ProcMotionSearch::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (inTypes[0] != inTypes[1] || (inTypes[0] != kTypeInt1 && inTypes[0] != kTypeFloat1))
    return false;
  outTypes[0] = kTypeComplex1;
  return true;
}

int ProcMotionSearch::Process(const InputImages& inputs, OutputImages& outputs) {
  auto* field = As<Complex1Image>(outputs[0].get());
  if (inputs[0] == nullptr || inputs[1] == nullptr || field == nullptr) {
    Message("入出力エラー");
    return 1;
  }
  if (inputs[0]->Width() != inputs[1]->Width() || inputs[0]->Height() != inputs[1]->Height()) {
    Message(Name() + "への入力１と２のサイズが異なります。");
    return 1;
  }
  if (params.blockStep < 1 || params.blockSize < 1 || params.searchRange < 0 ||
      params.algorithm != 0) {
    Message(Name() + "のパラメータが正しくありません。");
    return 1;
  }
  // A field of no blocks (or fewer) has no size to give.
  if (inputs[0]->Width() < params.blockSize || inputs[0]->Height() < params.blockSize) {
    Message(Name() + "への入力がブロックサイズより小さいです。");
    return 1;
  }
  int result = 1;
  if (const auto* current = As<Int1Image>(inputs[0]))
    if (const auto* reference = As<Int1Image>(inputs[1])) {
      SearchMotion(current->channels[0], reference->channels[0], params, field->channels[0]);
      result = 0;
    }
  if (const auto* current = As<Float1Image>(inputs[0]))
    if (const auto* reference = As<Float1Image>(inputs[1])) {
      SearchMotion(current->channels[0], reference->channels[0], params, field->channels[0]);
      result = 0;
    }
  field->ResetView();
  return result;
}

int ProcMotionSearch::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcMotionSearch::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterMotionSearchKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcMotionSearch>(kMotionSearchProcessId, "ProcMotionSearch", "動き探索"));
}

}  // namespace kandrel
