// Processes that move samples by a coordinate map: for every output position the map holds the
// source position (real part x, imaginary part y), and the output takes the nearest input sample
// there, or zero outside the input (NaN and infinite positions included). Move (translation and
// rotation), Expand (translation and scaling) and Julia (one step of z → z² + A) build their map
// every frame, in single precision, from the input's size; XYMapping takes it from input 1.
#pragma once

#include <cstdint>

#include "process/proc_standard_out.h"

namespace kandrel {

constexpr int kMoveProcessId = 10045;
constexpr int kExpandProcessId = 10046;
constexpr int kJuliaProcessId = 10039;
constexpr int kXYMappingProcessId = 10037;

// destination (map's size)[i][j] = source[trunc(y)][trunc(x)] for map[i][j] = (x, y) inside the
// source, compared in double precision; 0 elsewhere.
template <class T>
void RemapNearest(const ComplexArray& map, const Array2D<T>& source, Array2D<T>& destination);

// The base of the kinds that build their own map: every channel is remapped with it.
class ProcVirtualXYTrans : public ProcStandardOut {
 public:
  explicit ProcVirtualXYTrans(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  // Three channels are remapped together, sharing the map's reading.
  int ProcessInt3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessFloat3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessComplex3(const InputImages& inputs, const InputImages& outputs) override;
  int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) override;
  int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out) override;
  int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                            const OutArrays<std::complex<float>>& out) override;

  const ComplexArray& CoordinateMap() const { return coordinateMap_; }

 protected:
  // Fills rows begin … end − 1 of map (already width × height) with the source position of every
  // output position there. Called from several threads at once, for rows of their own.
  virtual void BuildMapRows(ComplexArray& map, int begin, int end) const = 0;

 private:
  template <class L>
  int Remap(const Image* in, Image* out);
  template <class T>
  int Remap(const Array2D<T>* in, Array2D<T>* out);

  // Sized before the handlers run; each frame's handler fills it as it remaps.
  ComplexArray coordinateMap_;
};

class ProcMove : public ProcVirtualXYTrans {
 public:
  struct Params {
    double shiftX = 0;
    double shiftY = 0;
    double angle = 0;  // degrees, clockwise on the screen
    std::int32_t centerOrigin = 0;
    std::int32_t interpolation = 0;  // nearest neighbour is the only one
    template <class F>
    void Fields(F& f) {
      f.F64(shiftX);
      f.F64(shiftY);
      f.F64(angle);
      f.I32(centerOrigin);
      f.I32(interpolation);
    }
  };

  explicit ProcMove(int processId);
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 protected:
  void BuildMapRows(ComplexArray& map, int begin, int end) const override;
};

class ProcExpand : public ProcVirtualXYTrans {
 public:
  struct Params {
    double shiftX = 0;
    double shiftY = 0;
    double scaleX = 1.0;
    double scaleY = 1.0;
    std::int32_t centerOrigin = 1;
    std::int32_t interpolation = 0;
    template <class F>
    void Fields(F& f) {
      f.F64(shiftX);
      f.F64(shiftY);
      f.F64(scaleX);
      f.F64(scaleY);
      f.I32(centerOrigin);
      f.I32(interpolation);
    }
  };

  explicit ProcExpand(int processId);
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 protected:
  void BuildMapRows(ComplexArray& map, int begin, int end) const override;
};

// The image plane read as the complex plane, origin at the centre and one unit (W + H) / 8
// pixels; each output sample takes the input at z² + A. A frame buffer in a loop iterates it.
class ProcJulia : public ProcVirtualXYTrans {
 public:
  struct Params {
    double aReal = 0;
    double aImag = 0;
    template <class F>
    void Fields(F& f) {
      f.F64(aReal);
      f.F64(aImag);
    }
  };

  explicit ProcJulia(int processId);
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;

 protected:
  void BuildMapRows(ComplexArray& map, int begin, int end) const override;
};

// Input 2 remapped by the Complex 1ch map on input 1; the output has the map's size.
class ProcXYMapping : public ProcStandardOut {
 public:
  struct Params {
    template <class F>
    void Fields(F& f) {
      f.Zeros(8);  // reserved
    }
  };

  explicit ProcXYMapping(int processId);
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;

  Params params;
};

void RegisterXYTransformKinds();

}  // namespace kandrel
