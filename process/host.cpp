#include "process/host.h"

#include <stdexcept>

#include "process/proc_module.h"

namespace kandrel {

namespace {
Host* g_host = nullptr;
}

Host& GetHost() {
  if (g_host == nullptr) throw std::logic_error("no host installed");
  return *g_host;
}

void SetHost(Host* host) {
  g_host = host;
  SetImageWindowFactory(host);
}

void ModuleEditor::SelectOnlyIcon(int childIndex) {
  selected_.fill(false);
  SetIconSelected(childIndex, true);
}

void ModuleEditor::SetIconSelected(int childIndex, bool selected) {
  if (childIndex >= 0 && childIndex < kChildIcons) selected_[childIndex] = selected;
}

bool ModuleEditor::IsIconSelected(int childIndex) const {
  return childIndex >= 0 && childIndex < kChildIcons && selected_[childIndex];
}

void ModuleEditor::ClearOutputMarks() {
  for (auto& row : outputMarks_) row.fill(false);
}

void ModuleEditor::SetOutputMark(int iconTag, int output, bool marked) {
  if (iconTag < kInPortTag || iconTag >= kChildIcons || output < 0 || output >= 10) return;
  outputMarks_[Row(iconTag)][output] = marked;
}

bool ModuleEditor::IsOutputMarked(int iconTag, int output) const {
  if (iconTag < kInPortTag || iconTag >= kChildIcons || output < 0 || output >= 10) return false;
  if (!outputMarks_[Row(iconTag)][output]) return false;
  const ProcVirtual* p = iconTag == kInPortTag ? module_.InputPort() : module_.Child(iconTag);
  return p != nullptr && output < p->OutputCount() && p->GetOutput(output) != nullptr;
}

}  // namespace kandrel
