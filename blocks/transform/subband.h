// Subband division and synthesis and the dyadic wavelet pyramid, all through the 16-tap filter
// bank of qmf16.h: ProcSubbandDiv splits an image into a low and a high band along one
// direction, ProcSubbandSynth merges such a pair back, and ProcWavelet splits the low-low
// quarter again and again (or undoes it) within one image. All work on float samples; Int,
// complex and three-channel images take the framework's routes to the Float 1ch handler.
#pragma once

#include <cstdint>

#include "image/array2d.h"
#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kSubbandDivProcessId = 10025;
constexpr int kSubbandSynthProcessId = 10026;
constexpr int kWaveletProcessId = 10073;
constexpr int kMaxWaveletLevels = 10;
// The smallest region side a wavelet level transforms.
constexpr int kMinWaveletSide = 8;

enum SubbandDirection : std::int32_t { kSubbandHorizontal = 0, kSubbandVertical = 1 };

// Horizontal: every row split, low ⌈W/2⌉ × H and high ⌊W/2⌋ × H; vertical: every column,
// low W × ⌈H/2⌉ and high W × ⌊H/2⌋.
void SubbandSplit(const FloatArray& src, FloatArray& low, FloatArray& high, int direction);
// The inverse of SubbandSplit. Horizontal needs equal heights and a low band as wide as the high
// one or one wider (vertical the same with the axes exchanged); otherwise 1, dst untouched.
int SubbandMerge(const FloatArray& low, const FloatArray& high, FloatArray& dst, int direction);

// How many of the first `levels` levels a width × height array allows: level l transforms the
// top-left region of ⌈W/2^l⌉ × ⌈H/2^l⌉, possible while both sides are at least 8.
int WaveletLevelCount(int width, int height, int levels);
// dst = src with each possible level's region split in place, rows first: ⌈w/2⌉ low values then
// ⌊w/2⌋ high ones in each row, then likewise down each column.
void WaveletForward(const FloatArray& src, FloatArray& dst, int levels);
// Undoes WaveletForward with the same levels, deepest level first, columns before rows.
void WaveletInverse(const FloatArray& src, FloatArray& dst, int levels);

// The two subband kinds: their direction and the checks they share.
class ProcSubband : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t direction = kSubbandHorizontal;
    template <class F>
    void Fields(F& f) {
      f.I32(direction);
    }
  };

  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 protected:
  ProcSubband(int processId, const char* name, int inputs, int outputs);
  // False after showing the message when the stored direction is neither 0 nor 1.
  bool DirectionAccepted() const;
};

// Input 1 split into the low band (output 1) and the high band (output 2).
class ProcSubbandDiv : public ProcSubband {
 public:
  explicit ProcSubbandDiv(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

// The low band (input 1) and the high band (input 2) merged into one image.
class ProcSubbandSynth : public ProcSubband {
 public:
  explicit ProcSubbandSynth(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  // Bands that do not fit, in any channel, fail the frame with a message before any work.
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
};

class ProcWavelet : public ProcStandardOut {
 public:
  struct Params {
    std::int32_t inverse = 0;  // 0 decompose, 1 reconstruct
    std::int32_t levels = kMaxWaveletLevels;
    template <class F>
    void Fields(F& f) {
      f.I32(inverse);
      f.I32(levels);
    }
  };

  explicit ProcWavelet(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

void RegisterSubbandKinds();

}  // namespace kandrel
