// ProcStandardOut: the base of nearly every concrete process. It allocates the outputs from the
// types the process infers, checks before each frame that all images share one type, copies the
// display attributes of input 1 to the outputs, and dispatches to a typed handler. Three-channel
// images are spread over three worker threads, one per channel; Int and Complex channels fall
// back to the Float handler, so a process need only implement ProcessFloatChannel.
#pragma once

#include <complex>
#include <functional>
#include <string>

#include "process/proc_virtual.h"

namespace kandrel {

template <class T>
using InArrays = std::array<const Array2D<T>*, kMaxPorts>;
template <class T>
using OutArrays = std::array<Array2D<T>*, kMaxPorts>;

// Runs a handler body, turning an escaping exception (memory exhausted by a huge resize, for
// example) into a message naming the process and a failed result instead of a crash.
int Guarded(const std::string& processName, const std::function<int()>& body);

class ProcStandardOut : public ProcVirtual {
 public:
  using ProcVirtual::ProcVirtual;

  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int PrepareOutputs(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;

  // Typed handlers. The images passed are all of the handler's type (null where absent).
  virtual int ProcessInt3(const InputImages& inputs, const InputImages& outputs);
  virtual int ProcessFloat3(const InputImages& inputs, const InputImages& outputs);
  virtual int ProcessComplex3(const InputImages& inputs, const InputImages& outputs);
  // Channel handlers; they run on worker threads, so they read only their own arrays and keep
  // no mutable state in the process.
  virtual int ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out);
  virtual int ProcessFloatChannel(const InArrays<float>& in, const OutArrays<float>& out);
  virtual int ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                                    const OutArrays<std::complex<float>>& out);

 private:
  // Replaces output i when it is missing or of another type; false when it cannot be created.
  bool EnsureOutput(OutputImages& outputs, int i, int type);
  int Dispatch(int type, const InputImages& inputs, const InputImages& outputs);
};

}  // namespace kandrel
