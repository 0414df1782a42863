#include "process/catalogue.h"

#include "process/proc_module.h"

namespace kandrel {

Catalogue& Catalogue::Instance() {
  static Catalogue catalogue;
  return catalogue;
}

Catalogue::Catalogue() {
  // The module belongs to the framework itself; every other family registers its own kinds.
  Register(KindOf<ProcModule>(kModuleProcessId, "ProcModule"));
}

void Catalogue::Register(ProcessKind kind) { kinds_[kind.processId] = std::move(kind); }

void Catalogue::Unregister(int processId) { kinds_.erase(processId); }

const ProcessKind* Catalogue::Find(int processId) const {
  const auto it = kinds_.find(processId);
  return it != kinds_.end() ? &it->second : nullptr;
}

std::vector<const ProcessKind*> Catalogue::Kinds() const {
  std::vector<const ProcessKind*> kinds;
  for (const auto& [id, kind] : kinds_) kinds.push_back(&kind);
  return kinds;
}

std::unique_ptr<ProcVirtual> CreateById(int processId) {
  const ProcessKind* kind = Catalogue::Instance().Find(processId);
  if (kind == nullptr) {
    GetHost().ShowMessage("プロセスID=" + std::to_string(processId) + "が定義されていません。");
    return nullptr;
  }
  return kind->create(processId);
}

std::unique_ptr<ProcVirtual> CreateFromStream(ByteStream& stream, int* loadResult) {
  const std::int32_t processId = ReadI32(stream, 0);
  if (stream.Damaged()) {
    if (loadResult != nullptr) *loadResult = 1;
    return nullptr;
  }
  std::unique_ptr<ProcVirtual> p = CreateById(processId);
  if (p == nullptr) return nullptr;
  const int result = p->LoadParams(stream);
  if (loadResult != nullptr) *loadResult = result;
  return p;
}

}  // namespace kandrel
