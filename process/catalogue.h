// The catalogue of process kinds: every kind is known by its process ID, the int32 that names it
// in process files, menus and the factory. Each kind registers its row next to its class, one
// registration call per family; a kind that is not built has no row and is treated like an
// undefined ID.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/byte_stream.h"
#include "process/proc_virtual.h"

namespace kandrel {

struct ProcessKind {
  int processId = 0;
  std::string className;
  std::string menuCaption;  // empty for kinds without a menu item
  bool hiddenInMenu = false;
  std::function<std::unique_ptr<ProcVirtual>(int processId)> create;
};

class Catalogue {
 public:
  static Catalogue& Instance();

  // Adds or replaces the row of kind.processId.
  void Register(ProcessKind kind);
  void Unregister(int processId);
  const ProcessKind* Find(int processId) const;
  std::vector<const ProcessKind*> Kinds() const;

 private:
  Catalogue();
  std::map<int, ProcessKind> kinds_;
};

// Registers the class T for processId (T's constructor takes the process ID).
template <class T>
ProcessKind KindOf(int processId, std::string className, std::string menuCaption = {},
                   bool hiddenInMenu = false) {
  return ProcessKind{processId, std::move(className), std::move(menuCaption), hiddenInMenu,
                     [](int id) -> std::unique_ptr<ProcVirtual> { return std::make_unique<T>(id); }};
}

// A new process of the kind, not linked, placed or reset; null (with the message
// "プロセスID=<id>が定義されていません。") for an ID without a row.
std::unique_ptr<ProcVirtual> CreateById(int processId);
// Reads a process ID and the process's parameters. A process whose parameters stopped early is
// still returned as far as it was read; loadResult (when given) receives LoadParams' result.
std::unique_ptr<ProcVirtual> CreateFromStream(ByteStream& stream, int* loadResult = nullptr);

}  // namespace kandrel
