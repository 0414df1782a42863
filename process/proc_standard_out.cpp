#include "process/proc_standard_out.h"

#include <functional>
#include <new>
#include <thread>

namespace kandrel {

int Guarded(const std::string& processName, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    GetHost().ShowMessage(processName + "の処理に必要なメモリを確保できません。");
  } catch (const std::exception& e) {
    GetHost().ShowMessage(processName + "の処理中にエラーが発生しました。（" + e.what() + "）");
  }
  return 1;
}

namespace {

// Runs the bodies concurrently, one thread each, and returns the sum of their results. A body
// whose thread cannot be started runs on the calling thread instead.
int RunConcurrently(const std::string& processName, std::vector<std::function<int()>> bodies) {
  std::vector<int> results(bodies.size(), 0);
  std::vector<std::thread> threads(bodies.size());
  for (std::size_t c = 0; c < bodies.size(); ++c) {
    auto run = [&, c] { results[c] = Guarded(processName, bodies[c]); };
    try {
      threads[c] = std::thread(run);
    } catch (const std::system_error&) {
      run();
    }
  }
  int sum = 0;
  for (std::size_t c = 0; c < bodies.size(); ++c) {
    if (threads[c].joinable()) threads[c].join();
    sum += results[c];
  }
  return sum;
}

// Channel c of every image present, as the argument arrays of a channel handler.
template <class L>
InArrays<typename L::Sample> InputChannels(const InputImages& images, int c) {
  InArrays<typename L::Sample> arrays{};
  for (int k = 0; k < kMaxPorts; ++k)
    if (const L* image = As<L>(images[k])) arrays[k] = &image->channels[c];
  return arrays;
}

template <class L>
OutArrays<typename L::Sample> OutputChannels(const InputImages& images, int c) {
  OutArrays<typename L::Sample> arrays{};
  for (int k = 0; k < kMaxPorts; ++k)
    if (L* image = As<L>(images[k])) arrays[k] = &image->channels[c];
  return arrays;
}

// The three channels of a three-channel frame, each on its own thread through the channel
// handler of the element type.
template <class L, class Handler>
int ProcessThreeChannels(const std::string& processName, const InputImages& inputs,
                         const InputImages& outputs, Handler handler) {
  std::vector<std::function<int()>> bodies;
  for (int c = 0; c < 3; ++c) {
    bodies.push_back([=] {
      return handler(InputChannels<L>(inputs, c), OutputChannels<L>(outputs, c));
    });
  }
  return RunConcurrently(processName, std::move(bodies));
}

}  // namespace

int ProcStandardOut::PrepareOutputs(const InputImages& inputs, OutputImages& outputs) {
  if (int r = ProcVirtual::PrepareOutputs(inputs, outputs); r != 0) return r;
  TypeList inTypes{}, outTypes{};
  for (int k = 0; k < InputCount(); ++k) inTypes[k] = inputs[k] != nullptr ? inputs[k]->TypeId() : 0;
  InferOutputTypes(inTypes, outTypes);
  for (int i = 0; i < OutputCount(); ++i)
    if (!EnsureOutput(outputs, i, outTypes[i])) return 1;
  return 0;
}

bool ProcStandardOut::EnsureOutput(OutputImages& outputs, int i, int type) {
  if (outputs[i] != nullptr && outputs[i]->TypeId() == type) return true;
  outputs[i].reset();
  outputs[i] = CreateImage(type);
  if (outputs[i] == nullptr) {
    Message(Name() + "の出力を準備できません。");
    SetStatus("out?");
    return false;
  }
  outputs[i]->CreateWindow();
  outputs[i]->RefreshWindow();
  return true;
}

int ProcStandardOut::Process(const InputImages& inputs, OutputImages& outputs) {
  InputImages outs{};
  int reference = 0;
  for (int k = 0; k < kMaxPorts; ++k) {
    outs[k] = outputs[k].get();
    if (inputs[k] != nullptr) reference = inputs[k]->TypeId();
    if (outs[k] != nullptr) reference = outs[k]->TypeId();
  }
  if (reference == 0) {
    Message("入出力がありません。");
    return 1;
  }
  for (int k = 0; k < kMaxPorts; ++k) {
    if ((inputs[k] != nullptr && inputs[k]->TypeId() != reference) ||
        (outs[k] != nullptr && outs[k]->TypeId() != reference)) {
      Message("入出力の型がそろっていません。");
      return 1;
    }
    // An output whose window the user is looking at keeps the attributes chosen there.
    if (inputs[0] != nullptr && outs[k] != nullptr && !outs[k]->IsWindowVisible()) {
      outs[k]->colorSpace = inputs[0]->colorSpace;
      outs[k]->whiteLevel = inputs[0]->whiteLevel;
      outs[k]->gamma = inputs[0]->gamma;
    }
  }
  // Handlers write every output they declare; one never prepared cannot be written.
  for (int i = 0; i < OutputCount(); ++i) {
    if (outs[i] == nullptr) {
      Message(Name() + "の出力を準備できません。");
      SetStatus("out?");
      return 1;
    }
  }
  if (reference > kImageTypeCount) {
    Message(Name() + "が処理できません。");
    return 1;
  }
  if (int r = Dispatch(reference, inputs, outs); r != 0) return r;
  for (Image* out : outs)
    if (out != nullptr) out->ResetView();
  return 0;
}

int ProcStandardOut::Dispatch(int type, const InputImages& inputs, const InputImages& outputs) {
  switch (type) {
    case kTypeInt1:
      return Guarded(Name(), [&] {
        return ProcessIntChannel(InputChannels<Int1Image>(inputs, 0),
                                 OutputChannels<Int1Image>(outputs, 0));
      });
    case kTypeFloat1:
      return Guarded(Name(), [&] {
        return ProcessFloatChannel(InputChannels<Float1Image>(inputs, 0),
                                   OutputChannels<Float1Image>(outputs, 0));
      });
    case kTypeComplex1:
      return Guarded(Name(), [&] {
        return ProcessComplexChannel(InputChannels<Complex1Image>(inputs, 0),
                                     OutputChannels<Complex1Image>(outputs, 0));
      });
    case kTypeInt3: return Guarded(Name(), [&] { return ProcessInt3(inputs, outputs); });
    case kTypeFloat3: return Guarded(Name(), [&] { return ProcessFloat3(inputs, outputs); });
    default: return Guarded(Name(), [&] { return ProcessComplex3(inputs, outputs); });
  }
}

int ProcStandardOut::ResetOutputs(OutputImages& outputs) {
  ResetFrameCounter();
  TypeList inTypes{}, outTypes{};
  if (!InferOutputTypes(inTypes, outTypes)) return 0;  // a process with inputs keeps its outputs
  for (int i = 0; i < OutputCount(); ++i) {
    if (!EnsureOutput(outputs, i, outTypes[i])) return 1;
    outputs[i]->Fill(0);
    outputs[i]->RefreshWindow();
  }
  return 0;
}

int ProcStandardOut::ProcessInt3(const InputImages& inputs, const InputImages& outputs) {
  return ProcessThreeChannels<Int3Image>(Name(), inputs, outputs, [this](const auto& in, const auto& out) {
    return ProcessIntChannel(in, out);
  });
}

int ProcStandardOut::ProcessFloat3(const InputImages& inputs, const InputImages& outputs) {
  return ProcessThreeChannels<Float3Image>(Name(), inputs, outputs, [this](const auto& in, const auto& out) {
    return ProcessFloatChannel(in, out);
  });
}

int ProcStandardOut::ProcessComplex3(const InputImages& inputs, const InputImages& outputs) {
  return ProcessThreeChannels<Complex3Image>(Name(), inputs, outputs, [this](const auto& in, const auto& out) {
    return ProcessComplexChannel(in, out);
  });
}

int ProcStandardOut::ProcessIntChannel(const InArrays<int>& in, const OutArrays<int>& out) {
  std::array<FloatArray, kMaxPorts> floatIn, floatOut;
  InArrays<float> floatInPtrs{};
  OutArrays<float> floatOutPtrs{};
  for (int k = 0; k < kMaxPorts; ++k) {
    if (in[k] != nullptr) {
      floatIn[k].Resize(in[k]->Width(), in[k]->Height());
      std::transform(in[k]->begin(), in[k]->end(), floatIn[k].begin(),
                     [](int s) { return static_cast<float>(s); });
      floatInPtrs[k] = &floatIn[k];
    }
    if (out[k] != nullptr) floatOutPtrs[k] = &floatOut[k];
  }
  const int r = ProcessFloatChannel(floatInPtrs, floatOutPtrs);
  for (int k = 0; k < kMaxPorts; ++k) {
    if (out[k] == nullptr) continue;
    out[k]->Resize(floatOut[k].Width(), floatOut[k].Height());
    std::transform(floatOut[k].begin(), floatOut[k].end(), out[k]->begin(),
                   [](float s) { return RoundHalfAwayFromZero(s); });
  }
  return r;
}

int ProcStandardOut::ProcessFloatChannel(const InArrays<float>&, const OutArrays<float>&) {
  Message("処理が実装されていません。");
  return 0;
}

int ProcStandardOut::ProcessComplexChannel(const InArrays<std::complex<float>>& in,
                                           const OutArrays<std::complex<float>>& out) {
  // Real and imaginary parts go through the Float handler independently, on two threads.
  std::array<FloatArray, kMaxPorts> reIn, imIn, reOut, imOut;
  InArrays<float> reInPtrs{}, imInPtrs{};
  OutArrays<float> reOutPtrs{}, imOutPtrs{};
  for (int k = 0; k < kMaxPorts; ++k) {
    if (in[k] != nullptr) {
      reIn[k].Resize(in[k]->Width(), in[k]->Height());
      imIn[k].Resize(in[k]->Width(), in[k]->Height());
      std::transform(in[k]->begin(), in[k]->end(), reIn[k].begin(), [](auto z) { return z.real(); });
      std::transform(in[k]->begin(), in[k]->end(), imIn[k].begin(), [](auto z) { return z.imag(); });
      reInPtrs[k] = &reIn[k];
      imInPtrs[k] = &imIn[k];
    }
    if (out[k] != nullptr) {
      reOutPtrs[k] = &reOut[k];
      imOutPtrs[k] = &imOut[k];
    }
  }
  std::vector<std::function<int()>> parts;
  parts.push_back([&] { return ProcessFloatChannel(reInPtrs, reOutPtrs) != 0 ? 1 : 0; });
  parts.push_back([&] { return ProcessFloatChannel(imInPtrs, imOutPtrs) != 0 ? 1 : 0; });
  if (RunConcurrently(Name(), std::move(parts)) != 0) return 1;
  for (int k = 0; k < kMaxPorts; ++k) {
    if (out[k] == nullptr || !reOut[k].SameSize(imOut[k])) continue;
    out[k]->Resize(reOut[k].Width(), reOut[k].Height());
    std::transform(reOut[k].begin(), reOut[k].end(), imOut[k].begin(), out[k]->begin(),
                   [](float re, float im) { return std::complex<float>(re, im); });
  }
  return 0;
}

}  // namespace kandrel
