// What a process's parameters were at one moment, to go back to: the bytes of its SaveParams
// (header block and own parameters) and its modified flag.
#pragma once

#include "image/byte_stream.h"

namespace kandrel {

class ProcVirtual;

class ParamSnapshot {
 public:
  void Take(ProcVirtual& process);
  void Restore(ProcVirtual& process);

 private:
  MemoryStream stream_;
  bool modified_ = false;
};

}  // namespace kandrel
