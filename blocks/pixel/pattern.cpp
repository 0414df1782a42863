#include "blocks/pixel/pattern.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "process/catalogue.h"
#include "process/param_record.h"

namespace kandrel {

namespace {

using Params = ProcSineWave::Params;

constexpr double kPi = std::numbers::pi;

// term(0) … term(n − 1).
template <class Term>
std::vector<double> Table(int n, Term term) {
  std::vector<double> table(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) table[i] = term(i);
  return table;
}

// Sample (row i, column j) = combine(columns[j], rows[i]), rounded to float. The patterns with a
// term per column and one per row compute each term once per frame here, not once per sample.
template <class Combine>
void CombineTables(const std::vector<double>& columns, const std::vector<double>& rows,
                   FloatArray& out, Combine combine) {
  for (int i = 0; i < out.Height(); ++i) {
    float* o = out[i];
    const double row = rows[i];
    for (int j = 0; j < out.Width(); ++j) o[j] = static_cast<float>(combine(columns[j], row));
  }
}

// Where sample 0 lies along an axis of the given length.
double Origin(int length, const Params& p) {
  return (p.centerOrigin != 0 ? -(length / 2) : 0) + (p.halfPixel != 0 ? 0.5 : 0.0);
}

void DrawGrating(const Params& p, double amplitude, FloatArray& out) {
  const int width = out.Width(), height = out.Height();
  const double fx = p.cyclesPerWidth / width, fy = p.cyclesPerHeight / height;
  const double x0 = Origin(width, p), y0 = Origin(height, p);
  const auto columns = Table(width, [&](int j) { return (j + x0) * fx; });
  const auto rows = Table(height, [&](int i) { return (i + y0) * fy; });
  switch (p.waveform) {
    case ProcSineWave::kSine:
      CombineTables(columns, rows, out, [=](double x, double y) {
        return (std::sin(2 * kPi * (x + y)) + 1) * amplitude;
      });
      break;
    case ProcSineWave::kCosine:
      CombineTables(columns, rows, out, [=](double x, double y) {
        return (std::cos(2 * kPi * (x + y)) + 1) * amplitude;
      });
      break;
    default:  // sinc; Process refuses the other values
      CombineTables(columns, rows, out, [=](double x, double y) {
        const double h = 2 * kPi * (x + y);
        return h == 0 ? 2 * amplitude : amplitude * 2 * std::sin(h) / h;
      });
      break;
  }
}

void DrawZonePlate(const Params& p, double amplitude, FloatArray& out) {
  const int width = out.Width(), height = out.Height();
  const double x0 = Origin(width, p), y0 = Origin(height, p);
  const auto columns = Table(width, [&](int j) {
    const double x = j + x0;
    return kPi * (x * x) / width;
  });
  const auto rows = Table(height, [&](int i) {
    const double y = i + y0;
    return kPi * (y * y) / height;
  });
  CombineTables(columns, rows, out,
                [=](double x, double y) { return (std::cos(x + y) + 1) * amplitude; });
}

// Frequency rising exponentially from left to right, contrast rising from 0.001 at the top.
void DrawChart(const Params& p, double amplitude, FloatArray& out) {
  const int width = out.Width(), height = out.Height();
  const double f1 = p.leftFrequency, f2 = p.rightFrequency;
  // A single column, or frequencies too far apart for a double ratio, leave no finite rate to
  // sweep at; the chart is then drawn without oscillation, as for equal frequencies.
  double k = f1 != f2 && f1 > 0 && f2 > 0 && width > 1 ? std::log(f2 / f1) / (width - 1) : 0;
  if (!std::isfinite(k)) k = 0;
  const double s = k != 0 ? 2 * kPi * f1 / k : 0;
  const auto columns =
      Table(width, [&](int j) { return std::cos(s * std::exp((j + p.phaseShift) * k)); });
  const auto rows = Table(
      height, [&](int i) { return std::pow(1000.0, -static_cast<double>(height - i) / height); });
  CombineTables(columns, rows, out,
                [=](double c, double r) { return amplitude * (c * r + 1) + 0.001; });
}

}  // namespace

ProcSineWave::ProcSineWave(int processId) : ProcStandardOut(processId) {
  SetDefaultName("PatternGene");
  SetPortCounts(0, 1);
  CreateParameterDialog("TFormSineWave");
}

bool ProcSineWave::InferOutputTypes(const TypeList&, TypeList& outTypes) {
  outTypes[0] = params.intOutput != 0 ? kTypeInt1 : kTypeFloat1;
  return true;
}

int ProcSineWave::Process(const InputImages& inputs, OutputImages& outputs) {
  if (params.width < 1 || params.height < 1)
    return Refuse("の Width と Height には 1 以上の値が必要です。");
  if (params.patternKind < kFlat || params.patternKind > kChart)
    return Refuse("のパターンの種類が正しくありません。");
  if (params.patternKind == kGrating && (params.waveform < kSine || params.waveform > kSinc))
    return Refuse("の波形の種類が正しくありません。");
  return ProcStandardOut::Process(inputs, outputs);
}

int ProcSineWave::Refuse(const std::string& text) {
  Message(Name() + text);
  SetStatus("err");
  return 1;
}

int ProcSineWave::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>& out) {
  if (out[0] == nullptr) return 1;
  FloatArray& pattern = *out[0];
  pattern.Resize(params.width, params.height);
  const double amplitude = params.intOutput != 0 ? 127.5 : 0.5;
  switch (params.patternKind) {
    case kFlat:
      std::fill(pattern.begin(), pattern.end(), static_cast<float>(params.flatValue));
      return 0;
    case kGrating:
      DrawGrating(params, amplitude, pattern);
      return 0;
    case kZonePlate:
      DrawZonePlate(params, amplitude, pattern);
      return 0;
    case kChart:
      DrawChart(params, amplitude, pattern);
      return 0;
    default:
      return 1;
  }
}

int ProcSineWave::SaveParams(ByteStream& stream) {
  ProcStandardOut::SaveParams(stream);
  WriteRecord(stream, params);
  return 0;
}

int ProcSineWave::LoadParams(ByteStream& stream) {
  const int header = ProcStandardOut::LoadParams(stream);
  return ReadRecord(stream, params) | header;
}

void RegisterPatternKinds() {
  Catalogue::Instance().Register(
      KindOf<ProcSineWave>(kSineWaveProcessId, "ProcSineWave", "パターン生成..."));
}

}  // namespace kandrel
