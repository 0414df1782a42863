#include "blocks/pixel/arithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "blocks/pixel/sample_ops.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using Complex = std::complex<float>;

// Every member with two or three inputs takes its output type from input 1; the other linked
// inputs must agree with it.
bool InferSameType(int inputCount, const TypeList& inTypes, TypeList& outTypes) {
  const int type = inTypes[0];
  if (type < 1 || type > kImageTypeCount) return false;
  for (int k = 1; k < inputCount; ++k)
    if (inTypes[k] != 0 && inTypes[k] != type) return false;
  outTypes[0] = type;
  return true;
}

// The checks the two-input members and the weighted sum make before the standard dispatch.
int GuardedProcess(ProcStandardOut& process, const InputImages& inputs, OutputImages& outputs) {
  if (inputs[0] == nullptr || outputs[0] == nullptr) {
    GetHost().ShowMessage("入出力エラー");
    return 1;
  }
  if (inputs[0]->Width() == 0 || inputs[0]->Height() == 0) {
    GetHost().ShowMessage("画像のサイズがわかりません。");
    return 1;
  }
  return process.ProcStandardOut::Process(inputs, outputs);
}

// The per-sample operations. Float and complex results are formed in double and rounded to
// float once.
struct Add {
  int operator()(int a, int b) const { return WrapAdd(a, b); }
  float operator()(float a, float b) const { return static_cast<float>(double{a} + double{b}); }
  Complex operator()(Complex a, Complex b) const {
    return {(*this)(a.real(), b.real()), (*this)(a.imag(), b.imag())};
  }
};

struct Subtract {
  int operator()(int a, int b) const { return WrapSubtract(a, b); }
  float operator()(float a, float b) const { return static_cast<float>(double{a} - double{b}); }
  Complex operator()(Complex a, Complex b) const {
    return {(*this)(a.real(), b.real()), (*this)(a.imag(), b.imag())};
  }
};

struct Multiply {
  int operator()(int a, int b) const {
    return static_cast<int>(static_cast<unsigned>(a) * static_cast<unsigned>(b));
  }
  float operator()(float a, float b) const { return static_cast<float>(double{a} * double{b}); }
  Complex operator()(Complex a, Complex b) const {
    const double ar = a.real(), ai = a.imag(), br = b.real(), bi = b.imag();
    return {static_cast<float>(ar * br - ai * bi), static_cast<float>(ai * br + ar * bi)};
  }
};

constexpr const char* kDivisionByZeroText = "0で除算しました。";

struct Divide {
  int operator()(int a, int b) const {
    if (b == 0) throw std::domain_error(kDivisionByZeroText);
    // The smallest int divided by −1 overflows; it wraps like the other members' results.
    if (b == -1) return WrapSubtract(0, a);
    return a / b;
  }
  float operator()(float a, float b) const { return static_cast<float>(double{a} / double{b}); }
  // Smith's method, which avoids overflow in the divisor's squared magnitude.
  Complex operator()(Complex a, Complex b) const {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    const double ar = a.real(), ai = a.imag(), c = b.real(), d = b.imag();
    if (std::isnan(c) || std::isnan(d)) return {kNaN, kNaN};
    double re, im, den;
    if (std::fabs(d) < std::fabs(c)) {
      const double r = d / c;
      den = c + d * r;
      re = ar + ai * r;
      im = ai - ar * r;
    } else if (d != 0) {
      const double r = c / d;
      den = d + c * r;
      re = ar * r + ai;
      im = ai * r - ar;
    } else {
      return {kNaN, kNaN};
    }
    if (den == 0 || std::isnan(den)) return {kNaN, kNaN};
    return {static_cast<float>(re / den), static_cast<float>(im / den)};
  }
};

// out = input 1 op input 2 over the overlap rectangle and a copy of input 1 elsewhere, built in
// one pass (copying first and combining afterwards would touch the output twice). The output
// takes input 1's size; an absent input 2 leaves a plain copy.
template <class T, class Op>
int CombineTwoInputs(const InArrays<T>& in, const OutArrays<T>& out, Op op) {
  const Array2D<T>* first = in[0];
  const Array2D<T>* second = in[1];
  Array2D<T>* result = out[0];
  if (first == nullptr || result == nullptr) return 1;
  const int width = first->Width();
  const int height = first->Height();
  result->Resize(width, height);
  const int overlapWidth = second != nullptr ? std::min(width, second->Width()) : 0;
  const int overlapHeight = second != nullptr ? std::min(height, second->Height()) : 0;
  for (int y = 0; y < height; ++y) {
    const T* a = (*first)[y];
    T* o = (*result)[y];
    int x = 0;
    if (y < overlapHeight) {
      const T* b = (*second)[y];
      for (; x < overlapWidth; ++x) o[x] = op(a[x], b[x]);
    }
    std::copy(a + x, a + width, o + x);
  }
  return 0;
}

// The divider's error guard: an error raised by a division fails this channel with its text.
template <class T>
int DivideGuarded(const InArrays<T>& in, const OutArrays<T>& out) {
  try {
    return CombineTwoInputs(in, out, Divide{});
  } catch (const std::domain_error& e) {
    GetHost().ShowMessage(e.what());
    return 1;
  }
}

// The first sample of a weighted sum: the offset in the element type.
void StartWith(int& s, double offset) { s = TruncateToInt(offset); }
void StartWith(float& s, double offset) { s = static_cast<float>(offset); }
void StartWith(Complex& s, double offset) { s = {static_cast<float>(offset), 0.0f}; }

// s += weight × x: Int rounds each product before an integer (wrapping) addition, Float rounds
// the whole step once, Complex rounds the weight and each product to float.
void AddWeighted(int& s, int x, double weight) {
  s = WrapAdd(s, RoundHalfAwayFromZero(weight * x));
}
void AddWeighted(float& s, float x, double weight) {
  s = static_cast<float>(double{x} * weight + double{s});
}
void AddWeighted(Complex& s, Complex x, double weight) {
  const float w = static_cast<float>(weight);
  s = {s.real() + x.real() * w, s.imag() + x.imag() * w};
}

template <class T>
int WeightedSum(const InArrays<T>& in, const OutArrays<T>& out, const ProcMultiAdder::Params& p) {
  if (in[0] == nullptr || out[0] == nullptr) return 1;
  Array2D<T>& result = *out[0];
  result.Resize(in[0]->Width(), in[0]->Height());
  T start;
  StartWith(start, p.offset);
  std::fill(result.begin(), result.end(), start);
  const double weights[] = {p.weight1, p.weight2, p.weight3};
  for (int k = 0; k < 3; ++k) {
    if (in[k] == nullptr) continue;
    const Array2D<T>& term = *in[k];
    const int width = std::min(result.Width(), term.Width());
    const int height = std::min(result.Height(), term.Height());
    for (int y = 0; y < height; ++y) {
      T* o = result[y];
      const T* t = term[y];
      for (int x = 0; x < width; ++x) AddWeighted(o[x], t[x], weights[k]);
    }
  }
  return 0;
}

// The mixer's output channels from the single-channel inputs of type One.
template <class One, class Three>
void AssembleChannels(const InputImages& inputs, Three& output, int width, int height) {
  output.Resize(width, height);
  for (int c = 0; c < 3; ++c) {
    if (const One* input = As<One>(inputs[c]))
      output.channels[c] = input->channels[0];
    else
      std::fill(output.channels[c].begin(), output.channels[c].end(), typename One::Sample{});
  }
}

}  // namespace

// ---- ProcAdder

ProcAdder::ProcAdder(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Adder");
  SetVerilogName("Adder");
  SetPortCounts(2, 1);
}

bool ProcAdder::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferSameType(InputCount(), inTypes, outTypes);
}

int ProcAdder::Process(const InputImages& inputs, OutputImages& outputs) {
  return GuardedProcess(*this, inputs, outputs);
}

int ProcAdder::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return CombineTwoInputs(in, out, Add{});
}

int ProcAdder::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return CombineTwoInputs(in, out, Add{});
}

int ProcAdder::ProcessComplexChannel(const InArrays<Complex>& in, const OutArrays<Complex>& out) {
  return CombineTwoInputs(in, out, Add{});
}

// ---- ProcDifference

ProcDifference::ProcDifference(int processId) : ProcStandardOut(processId) {
  SetDefaultName("In1_In2");
  SetVerilogName("Subtracter");
  SetPortCounts(2, 1);
}

bool ProcDifference::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferSameType(InputCount(), inTypes, outTypes);
}

int ProcDifference::Process(const InputImages& inputs, OutputImages& outputs) {
  return GuardedProcess(*this, inputs, outputs);
}

int ProcDifference::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return CombineTwoInputs(in, out, Subtract{});
}

int ProcDifference::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return CombineTwoInputs(in, out, Subtract{});
}

int ProcDifference::ProcessComplexChannel(const InArrays<Complex>& in,
                                          const OutArrays<Complex>& out) {
  return CombineTwoInputs(in, out, Subtract{});
}

// ---- ProcMultiplier

ProcMultiplier::ProcMultiplier(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Multiplier");
  SetVerilogName("Multiplier");
  SetPortCounts(2, 1);
  CreateParameterDialog("TFormMultiplier");
}

bool ProcMultiplier::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferSameType(InputCount(), inTypes, outTypes);
}

int ProcMultiplier::Process(const InputImages& inputs, OutputImages& outputs) {
  if (int r = GuardedProcess(*this, inputs, outputs); r != 0) return r;
  if (params.recomputeWhiteLevel != 0) outputs[0]->whiteLevel = params.outputWhiteLevel;
  return 0;
}

int ProcMultiplier::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return CombineTwoInputs(in, out, Multiply{});
}

int ProcMultiplier::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return CombineTwoInputs(in, out, Multiply{});
}

int ProcMultiplier::ProcessComplexChannel(const InArrays<Complex>& in,
                                          const OutArrays<Complex>& out) {
  return CombineTwoInputs(in, out, Multiply{});
}

int ProcMultiplier::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcMultiplier::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- ProcDivider

ProcDivider::ProcDivider(int processId) : ProcMultiplier(processId) {
  SetDefaultName("Divider");
  SetVerilogName("Divider");
}

int ProcDivider::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return DivideGuarded(in, out);
}

int ProcDivider::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return DivideGuarded(in, out);
}

int ProcDivider::ProcessComplexChannel(const InArrays<Complex>& in, const OutArrays<Complex>& out) {
  return DivideGuarded(in, out);
}

// ---- ProcMultiAdder

ProcMultiAdder::ProcMultiAdder(int processId) : ProcStandardOut(processId) {
  SetDefaultName("MultiAdder");
  SetPortCounts(3, 1);
  CreateParameterDialog("TFormMultiAdder");
}

bool ProcMultiAdder::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  return InferSameType(InputCount(), inTypes, outTypes);
}

int ProcMultiAdder::Process(const InputImages& inputs, OutputImages& outputs) {
  return GuardedProcess(*this, inputs, outputs);
}

int ProcMultiAdder::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return WeightedSum(in, out, params);
}

int ProcMultiAdder::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return WeightedSum(in, out, params);
}

int ProcMultiAdder::ProcessComplexChannel(const InArrays<Complex>& in,
                                          const OutArrays<Complex>& out) {
  return WeightedSum(in, out, params);
}

int ProcMultiAdder::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcMultiAdder::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

// ---- Proc3chMixer

Proc3chMixer::Proc3chMixer(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Ch3Mixer");
  SetVerilogName("Ch3Mixer");
  SetPortCounts(3, 1);
}

bool Proc3chMixer::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  // Single-channel element type → the three-channel type of that element.
  static constexpr int kAssembled[] = {0, kTypeInt3, kTypeFloat3, kTypeComplex3, 0, 0, 0};
  int type = 0;
  for (int k = 0; k < 3; ++k) {
    if (inTypes[k] == 0) continue;
    if (type != 0 && inTypes[k] != type) return false;
    type = inTypes[k];
  }
  if (type < 1 || type > kImageTypeCount || kAssembled[type] == 0) return false;
  outTypes[0] = kAssembled[type];
  return true;
}

int Proc3chMixer::Process(const InputImages& inputs, OutputImages& outputs) {
  int width = 0, height = 0;
  for (int k = 2; k >= 0; --k) {  // the first linked input decides
    if (inputs[k] != nullptr) {
      width = inputs[k]->Width();
      height = inputs[k]->Height();
    }
  }
  if (width == 0) {
    Message("画像のサイズがわかりません。");
    return 1;
  }
  Image* output = outputs[0].get();
  if (auto* ints = As<Int3Image>(output)) {
    AssembleChannels<Int1Image>(inputs, *ints, width, height);
  } else if (auto* floats = As<Float3Image>(output)) {
    AssembleChannels<Float1Image>(inputs, *floats, width, height);
  } else if (auto* complexes = As<Complex3Image>(output)) {
    AssembleChannels<Complex1Image>(inputs, *complexes, width, height);
  } else {
    Message("処理できません。");
    return 1;
  }
  return 0;
}

// ---- ProcAbs

ProcAbs::ProcAbs(int processId) : ProcStandardOut(processId) {
  SetDefaultName("Abs");
  SetVerilogName("Abs");
  SetPortCounts(1, 1);
}

bool ProcAbs::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  static constexpr int kAbsTypes[] = {0, kTypeInt1, kTypeFloat1, 0, kTypeInt3, kTypeFloat3, 0};
  const int type = inTypes[0];
  if (type < 1 || type > kImageTypeCount || kAbsTypes[type] == 0) return false;
  outTypes[0] = kAbsTypes[type];
  return true;
}

int ProcAbs::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  return MapSamples(in, out, [](int x) { return x < 0 ? WrapSubtract(0, x) : x; });
}

int ProcAbs::ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) {
  return MapSamples(in, out, [](float x) { return std::fabs(x); });
}

void RegisterArithmeticKinds() {
  Catalogue& catalogue = Catalogue::Instance();
  catalogue.Register(KindOf<ProcAdder>(kAdderProcessId, "ProcAdder", "＋加算"));
  catalogue.Register(KindOf<ProcDifference>(kDifferenceProcessId, "ProcDifference", "－減算"));
  catalogue.Register(KindOf<ProcMultiplier>(kMultiplierProcessId, "ProcMultiplier", "×乗算"));
  catalogue.Register(KindOf<ProcDivider>(kDividerProcessId, "ProcDivider", "／除算"));
  catalogue.Register(
      KindOf<ProcMultiAdder>(kMultiAdderProcessId, "ProcMultiAdder", "混合（３入力）..."));
  catalogue.Register(
      KindOf<Proc3chMixer>(k3chMixerProcessId, "Proc3chMixer", "カラー（3ch）合成..."));
  catalogue.Register(KindOf<ProcAbs>(kAbsProcessId, "ProcAbs", "絶対値"));
}

}  // namespace kandrel
