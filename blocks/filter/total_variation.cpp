#include "blocks/filter/total_variation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "blocks/pixel/sample_ops.h"
#include "image/vector_clones.h"
#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using std::int64_t;

// The dual field P = (Px, Py) of one channel, 0 at the start of every frame. P of pixel (x, y)
// is at [y + 1][x + 1]; row 0 and column 0 stay 0.
template <class T>
struct DualField {
  Array2D<T> x, y;
  DualField(int width, int height) : x(width + 1, height + 1), y(width + 1, height + 1) {
    std::fill(x.begin(), x.end(), T{});
    std::fill(y.begin(), y.end(), T{});
  }
};

// u = f and v = 0, what every frame starts from (and ends with when nothing is to be done).
template <class T>
void StartFrame(const Array2D<T>& f, Array2D<T>& u, Array2D<T>& v) {
  u = f;
  v.Resize(f.Width(), f.Height());
  std::fill(v.begin(), v.end(), T{});
}

// Both parts of a loop go row by row in one pass: row y's dual field reads u rows y and y + 1,
// which the later rows' updates of u do not touch.
template <class Rows>
void Iterate(Rows& rows, int loops, int height) {
  for (int loop = 0; loop < loops; ++loop) {
    for (int y = 0; y < height; ++y) {
      rows.UpdateDual(y);
      rows.Diverge(y);
    }
  }
}

// ---- Float

inline void ProjectFloat(float gx, float gy, float r, float& px, float& py) {
  const float ax = -r * gx, ay = -r * gy;
  const float n = std::sqrt(ax * ax + ay * ay);
  px = (px + ax) / (1.0f + n);
  py = (py + ay) / (1.0f + n);
}

// px and py point at the row's first pixel; on the last row gy = 0, in the last column gx = 0.
template <bool kLastRow>
KANDREL_VECTOR_CLONES void UpdateDualRowFloat(const float* __restrict u,
                                              const float* __restrict below, int width, float r,
                                              float* __restrict px, float* __restrict py) {
  for (int x = 0; x + 1 < width; ++x)
    ProjectFloat(u[x + 1] - u[x], kLastRow ? 0.0f : below[x] - u[x], r, px[x], py[x]);
  const int x = width - 1;
  ProjectFloat(0.0f, kLastRow ? 0.0f : below[x] - u[x], r, px[x], py[x]);
}

// left is Px one pixel to the left (px − 1), above Py of the row above.
KANDREL_VECTOR_CLONES void DivergeRowFloat(const float* __restrict f, const float* __restrict px,
                                           const float* __restrict left, const float* __restrict py,
                                           const float* __restrict above, int width, float lambda,
                                           float* __restrict u, float* __restrict v) {
  for (int x = 0; x < width; ++x) {
    v[x] = lambda * (px[x] - left[x] + py[x] - above[x]);
    u[x] = f[x] - v[x];
  }
}

class FloatRows {
 public:
  FloatRows(const FloatArray& f, FloatArray& u, FloatArray& v, float r, float lambda)
      : f_(f), u_(u), v_(v), p_(f.Width(), f.Height()), r_(r), lambda_(lambda) {}
  void UpdateDual(int y) {
    const int w = f_.Width();
    if (y + 1 < f_.Height())
      UpdateDualRowFloat<false>(u_[y], u_[y + 1], w, r_, p_.x[y + 1] + 1, p_.y[y + 1] + 1);
    else
      UpdateDualRowFloat<true>(u_[y], u_[y], w, r_, p_.x[y + 1] + 1, p_.y[y + 1] + 1);
  }
  void Diverge(int y) {
    DivergeRowFloat(f_[y], p_.x[y + 1] + 1, p_.x[y + 1], p_.y[y + 1] + 1, p_.y[y] + 1, f_.Width(),
                    lambda_, u_[y], v_[y]);
  }

 private:
  const FloatArray& f_;
  FloatArray& u_;
  FloatArray& v_;
  DualField<float> p_;
  float r_, lambda_;
};

// ---- Int

// The truncating quotient of (P·2^s + 8·g)·L by L·2^s + 8·t: |P| ≤ L and |g| ≤ t keep the
// numerator's magnitude within denominator·L, below 2^63 for L ≤ 8·10⁶, s ≤ 16, t < 2^33; the
// quotient stays within ±L.
inline int ProjectInt(int p, int64_t g, int64_t scale, int64_t l, int64_t denominator) {
  return static_cast<int>((p * scale + 8 * g) * l / denominator);
}

void UpdateDualRowInt(const int* u, const int* below, int width, int64_t scale, int64_t l, int* px,
                      int* py) {
  for (int x = 0; x + 1 < width; ++x) {
    const int64_t gx = static_cast<int64_t>(u[x]) - u[x + 1];
    const int64_t gy = static_cast<int64_t>(u[x]) - below[x];
    const int64_t denominator = l * scale + 8 * (std::abs(gx) + std::abs(gy));
    px[x] = ProjectInt(px[x], gx, scale, l, denominator);
    py[x] = ProjectInt(py[x], gy, scale, l, denominator);
  }
}

void DivergeRowInt(const int* f, const int* px, const int* left, const int* py, const int* above,
                   int width, int* u, int* v) {
  for (int x = 0; x < width; ++x) {
    // |div| ≤ 4·L; >> is an arithmetic shift, rounding toward −∞.
    v[x] = (px[x] - left[x] + py[x] - above[x] + 4) >> 3;
    u[x] = static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(f[x]) - v[x],
                                                std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
  }
}

class IntRows {
 public:
  IntRows(const IntArray& f, IntArray& u, IntArray& v, int lambdaSteps, int shift)
      : f_(f),
        u_(u),
        v_(v),
        p_(f.Width(), f.Height()),
        l_(lambdaSteps),
        scale_(int64_t{1} << shift) {}
  // The last row and column of P are never updated.
  void UpdateDual(int y) {
    if (y + 1 < f_.Height())
      UpdateDualRowInt(u_[y], u_[y + 1], f_.Width(), scale_, l_, p_.x[y + 1] + 1, p_.y[y + 1] + 1);
  }
  void Diverge(int y) {
    DivergeRowInt(f_[y], p_.x[y + 1] + 1, p_.x[y + 1], p_.y[y + 1] + 1, p_.y[y] + 1, f_.Width(),
                  u_[y], v_[y]);
  }

 private:
  const IntArray& f_;
  IntArray& u_;
  IntArray& v_;
  DualField<int> p_;
  int64_t l_, scale_;
};

}  // namespace

int ProcTotalVariation::Params::LambdaSteps() const { return TruncateToInt(8.0 * lambda + 0.5); }

int ProcTotalVariation::Params::TauShift() const {
  int s = 0;
  while (s < kMaxTotalVariationShift && std::ldexp(tau, s) < 1.0) ++s;
  return s;
}

std::string ProcTotalVariation::Params::Problem() const {
  if (loopCount < 0) return "ループ回数には 0 以上の値を入力して下さい。";
  if (!std::isfinite(lambda) || lambda > kMaxTotalVariationLambda)
    return "λ には 1000000 以下の値を入力して下さい。";
  if (!std::isfinite(tau) || (tau > 0 && std::ldexp(tau, kMaxTotalVariationShift) < 1.0))
    return "τ には 0 以下か 1/65536 以上の値を入力して下さい。";
  return {};
}

ProcTotalVariation::ProcTotalVariation(int processId) : ProcStandardOut(processId) {
  SetDefaultName("TotalVariation");
  SetVerilogName("TotalVariation");
  SetPortCounts(1, 2);
  CreateParameterDialog("TFormTotalVariation");
}

bool ProcTotalVariation::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  if (!InferInputType(inTypes, outTypes)) return false;
  outTypes[1] = outTypes[0];
  return true;
}

int ProcTotalVariation::Process(const InputImages& inputs, OutputImages& outputs) {
  if (!params.Problem().empty()) {
    Message(Name() + "のパラメータが正しくありません。");
    return 1;
  }
  const int r = ProcStandardOut::Process(inputs, outputs);
  if (r == 0 && inputs[0] != nullptr) {
    params.lastWidth = inputs[0]->Width();
    params.lastHeight = inputs[0]->Height();
  }
  return r;
}

int ProcTotalVariation::ProcessFloatChannel(const InArrays<float>& in,
                                            const OutArrays<float>& out) {
  if (in[0] == nullptr || out[0] == nullptr || out[1] == nullptr) return 1;
  StartFrame(*in[0], *out[0], *out[1]);
  if (!(params.lambda > 0) || in[0]->SampleCount() == 0) return 0;
  FloatRows rows(*in[0], *out[0], *out[1], static_cast<float>(params.tau / params.lambda),
                 static_cast<float>(params.lambda));
  Iterate(rows, params.loopCount, in[0]->Height());
  return 0;
}

int ProcTotalVariation::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  if (in[0] == nullptr || out[0] == nullptr || out[1] == nullptr) return 1;
  StartFrame(*in[0], *out[0], *out[1]);
  const int lambdaSteps = params.LambdaSteps();
  if (lambdaSteps < 1 || !(params.tau > 0) || in[0]->SampleCount() == 0) return 0;
  IntRows rows(*in[0], *out[0], *out[1], lambdaSteps, params.TauShift());
  Iterate(rows, params.loopCount, in[0]->Height());
  return 0;
}

int ProcTotalVariation::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcTotalVariation::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  const std::int32_t width = params.lastWidth, height = params.lastHeight;
  const int r = ReadRecord(stream, params);
  params.lastWidth = width;
  params.lastHeight = height;
  return r | header;
}

void ProcTotalVariation::WriteVerilogParams(std::vector<std::string>& lines,
                                            const std::string& instance) const {
  lines.push_back("\t\tdefparam");
  lines.push_back("\t\t\t" + instance +
                  ".Lambda = " + std::to_string(TruncateToInt(params.lambda * 16)) + ",");
  lines.push_back("\t\t\t" + instance + ".LoopCount = " + std::to_string(params.loopCount) + ",");
  lines.push_back("\t\t\t" + instance +
                  ".Tau = " + std::to_string(TruncateToInt(params.tau * 1024)) + ";");
}

void RegisterTotalVariationKinds() {
  Catalogue::Instance().Register(KindOf<ProcTotalVariation>(
      kTotalVariationProcessId, "ProcTotalVariation", "TotalVariation..."));
}

}  // namespace kandrel
