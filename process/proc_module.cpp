#include "process/proc_module.h"

#include <algorithm>
#include <unordered_set>

#include "process/catalogue.h"
#include "process/process_file.h"

namespace kandrel {

namespace {

std::unordered_set<ProcModule*>& LiveModules() {
  static std::unordered_set<ProcModule*> modules;
  return modules;
}

// Links made while a module is read from a stream, or dropped while one is destroyed, are in no
// open editor: repainting every editor for each of them would make loading and closing a graph
// take time in proportion to the square of its size.
int g_repaintHolds = 0;

class RepaintHold {
 public:
  RepaintHold() { ++g_repaintHolds; }
  ~RepaintHold() { --g_repaintHolds; }
  RepaintHold(const RepaintHold&) = delete;
  RepaintHold& operator=(const RepaintHold&) = delete;
};

// Modules being read from a stream, outermost first, and whether one lay too deep.
int g_loadDepth = 0;
bool g_loadTooDeep = false;

// Counts a module being read for as long as it is read.
class LoadLevel {
 public:
  LoadLevel() {
    if (g_loadDepth == 0) g_loadTooDeep = false;
    ++g_loadDepth;
  }
  ~LoadLevel() { --g_loadDepth; }
  LoadLevel(const LoadLevel&) = delete;
  LoadLevel& operator=(const LoadLevel&) = delete;
  bool TooDeep() const { return g_loadDepth > kMaxModuleDepth; }

 private:
  RepaintHold hold_;
};

ProcModule* g_activeModule = nullptr;

MemoryStream& CopyBuffer() {
  static MemoryStream buffer;
  return buffer;
}

}  // namespace

ProcModule* ActiveModule() { return g_activeModule; }
void SetActiveModule(ProcModule* module) { g_activeModule = module; }

// ---- ProcThrough ----

ProcThrough::ProcThrough(const ProcModule& module) : ProcVirtual(0) {
  SetLinkOwner(&module);
  SetDefaultName("Through");
  SetPortCounts(3, 3);
}

Image* ProcThrough::GetOutput(int i) const {
  if (i < 0 || i >= OutputCount() || busy_) return nullptr;
  busy_ = true;
  Image* image = GetInput(i);
  busy_ = false;
  return image;
}

bool ProcThrough::InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) {
  for (int i = 0; i < OutputCount(); ++i) outTypes[i] = inTypes[i];
  return true;
}

int ProcThrough::Process(const InputImages&, OutputImages&) { return 0; }

// ---- ProcModule ----

ProcModule::ProcModule(int processId)
    : ProcVirtual(processId),
      inThrough_(std::make_unique<ProcThrough>(*this)),
      outThrough_(std::make_unique<ProcThrough>(*this)) {
  SetDefaultName("Module " + std::to_string(LiveModules().size()));
  LiveModules().insert(this);
  SetPortCounts(3, 3);
  std::unique_ptr<ModuleEditor> editor = GetHost().CreateModuleEditor(*this);
  editor_ = editor.get();
  InstallDialog(std::move(editor));
}

ProcModule::~ProcModule() {
  const RepaintHold hold;
  verilogWindow_.reset();  // it reads the module while it lives
  if (g_activeModule == this) g_activeModule = nullptr;
  // An input may read this module's own output: it must let go while the output port exists.
  inThrough_->DisconnectAll();
  outThrough_->DisconnectAll();
  for (int i = childCount_ - 1; i >= 0; --i) children_[i]->DisconnectAll();
  for (int i = childCount_ - 1; i >= 0; --i) children_[i].reset();
  childCount_ = 0;
  outThrough_.reset();
  inThrough_.reset();
  LiveModules().erase(this);
  editor_ = nullptr;
}

void ProcModule::ShowVerilog() {
  if (verilogWindow_ == nullptr) verilogWindow_ = GetHost().CreateVerilogWindow(*this);
  if (verilogWindow_ != nullptr) verilogWindow_->Show();
}

int ProcModule::LiveModuleCount() { return static_cast<int>(LiveModules().size()); }

Image* ProcModule::GetOutput(int i) const { return outThrough_->GetOutput(i); }
Image* ProcModule::GetInput(int i) const { return inThrough_->GetInput(i); }
ProcessLink ProcModule::GetInputLink(int i) const { return inThrough_->GetInputLink(i); }
int ProcModule::GetInputType(int i) { return inThrough_->GetOutputType(i); }
int ProcModule::GetOutputType(int i) { return outThrough_->GetOutputType(i); }
void ProcModule::AddOutputRef(int i) { outThrough_->AddOutputRef(i); }
void ProcModule::ReleaseOutputRef(int i) { outThrough_->ReleaseOutputRef(i); }
int ProcModule::GetOutputRefCount(int i) const { return outThrough_->GetOutputRefCount(i); }
void ProcModule::SetOutputType(int i, int type) { outThrough_->SetOutputType(i, type); }

void ProcModule::Connect(int input, ProcVirtual* source, int sourceOutput) {
  inThrough_->Connect(input, source, sourceOutput);
  RefreshEditor();
  RepaintAllEditors();
}

void ProcModule::Disconnect(int input) {
  inThrough_->Disconnect(input);
  RefreshEditor();
  RepaintAllEditors();
}

int ProcModule::FrameCount() {
  int frames = 1;
  for (int i = 0; i < childCount_; ++i) frames = std::max(frames, children_[i]->FrameCount());
  return frames;
}

bool ProcModule::IsModified() const {
  if (ProcVirtual::IsModified()) return true;
  for (int i = 0; i < childCount_; ++i)
    if (children_[i]->IsModified()) return true;
  return false;
}

void ProcModule::SetName(const std::string& text) {
  ProcVirtual::SetName(text);
  RefreshEditor();
}

bool ProcModule::InferOutputTypes(const TypeList&, TypeList&) { return true; }

int ProcModule::PrepareOutputs(const InputImages&, OutputImages&) {
  int moves = 0;
  for (int pos = 0; pos < childCount_; ++pos) {
    ProcVirtual& child = *children_[pos];
    int lastSource = -1;
    for (int k = 0; k < child.InputCount(); ++k) {
      const ProcessLink link = child.GetInputLink(k);
      const int code = EncodeLink(link.source, link.sourceOutput);
      const int q = code < 0 ? -1 : code / 100;
      // A frame-delay buffer delivers the previous frame, so it need not run first.
      if (q > lastSource && children_[q]->ProcessId() != kFrameBufferProcessId) lastSource = q;
    }
    if (lastSource > pos) {
      MoveProcess(pos, lastSource);
      if (++moves > childCount_) {
        Message(Name() + " 内のループ処理が解決できません。");
        SetStatus("lop：ループ処理が解決できません。");
        return 1;
      }
      --pos;  // the child now at pos is examined again
    }
  }
  for (int i = 0; i < childCount_; ++i) {
    if (int r = children_[i]->Prepare(); r != 0) {
      SetStatus("err");
      return r;
    }
  }
  RefreshEditor();
  return 0;
}

int ProcModule::Process(const InputImages&, OutputImages&) {
  for (int i = 0; i < childCount_; ++i) {
    if (int r = children_[i]->Execute(); r != 0) {
      SetStatus("err");
      return r;
    }
  }
  RefreshEditor();
  return 0;
}

int ProcModule::ResetOutputs(OutputImages&) {
  ResetFrameCounter();
  inThrough_->Reset();
  for (int i = 0; i < childCount_; ++i) children_[i]->Reset();
  outThrough_->Reset();
  RefreshEditor();
  return 0;
}

void ProcModule::PlaceNewProcess(ProcVirtual& p) {
  if (childCount_ == 0) {
    p.SetIconPosition(90, 20);
    return;
  }
  for (int k = kMaxPorts - 1; k >= 0; --k) {
    if (const ProcVirtual* source = p.GetInputLink(k).source) {
      p.SetIconPosition(source->IconX() + 130, source->IconY());
      return;
    }
  }
  const ProcVirtual& last = *children_[childCount_ - 1];
  p.SetIconPosition(last.IconX(), last.IconY() + 54);
}

int ProcModule::AddProcess(std::unique_ptr<ProcVirtual> p) {
  if (childCount_ >= MAX_PROCESS) {
    Message("一つのサブプロセス内に配置できるプロセスは" + std::to_string(MAX_PROCESS) + "個までです。");
    return 1;
  }
  const int index = childCount_;
  const bool hasOutputs = p->OutputCount() >= 1;
  children_[childCount_++] = std::move(p);
  RefreshEditor();
  if (editor_ != nullptr) {
    editor_->SelectOnlyIcon(index);
    // The next inserted process links to this one's first output.
    if (hasOutputs) {
      editor_->ClearOutputMarks();
      editor_->SetOutputMark(index, 0, true);
    }
    editor_->Repaint();
  }
  SetModified(true);
  return 0;
}

void ProcModule::RemoveProcess(int index) {
  if (index < 0 || index >= childCount_) return;
  // Its reading of its own output goes with it.
  if (children_[index]->TotalOutputRefs() != children_[index]->SelfReferences()) {
    Message(children_[index]->Name() + "は他のプロセスから参照されているため、削除できません。");
    return;
  }
  children_[index].reset();
  std::move(children_.begin() + index + 1, children_.begin() + childCount_, children_.begin() + index);
  --childCount_;
  RefreshEditor();
  SetModified(true);
}

void ProcModule::MoveProcess(int from, int to) {
  if (from < 0 || from >= childCount_ || to < 0 || to >= childCount_) return;
  if (from < to)
    std::rotate(children_.begin() + from, children_.begin() + from + 1, children_.begin() + to + 1);
  else
    std::rotate(children_.begin() + to, children_.begin() + from, children_.begin() + from + 1);
  RefreshEditor();
  SetModified(true);
}

int ProcModule::EncodeLink(const ProcVirtual* source, int k) const {
  if (source == nullptr) return kNoLink;
  if (source == inThrough_.get()) return k - 100;
  for (int i = 0; i < childCount_; ++i)
    if (children_[i].get() == source) return 100 * i + k;
  return kNoLink;
}

ProcessLink ProcModule::DecodeLink(int code) const {
  if (code < -100) return {};
  if (code < 0) return {inThrough_.get(), code + 100};
  if (code / 100 < childCount_) return {children_[code / 100].get(), code % 100};
  return {};
}

bool ProcModule::SelectInEditor(const ProcVirtual* p) {
  for (int i = 0; i < childCount_; ++i) {
    if (children_[i].get() == p) {
      if (editor_ != nullptr) {
        editor_->SelectOnlyIcon(i);
        editor_->Repaint();
      }
      return true;
    }
    if (auto* module = dynamic_cast<ProcModule*>(children_[i].get()))
      if (module->SelectInEditor(p)) return true;
  }
  return false;
}

int ProcModule::CollectSelectedOutputs(LinkList& links) const {
  links = LinkList{};
  int found = 0;
  auto visit = [&](ProcVirtual* process, int iconTag) {
    for (int k = kMaxPorts - 1; k >= 0; --k) {
      if (editor_ == nullptr || !editor_->IsOutputMarked(iconTag, k)) continue;
      std::move_backward(links.begin(), links.end() - 1, links.end());
      links[0] = ProcessLink{process, k};
      ++found;
    }
  };
  visit(inThrough_.get(), ModuleEditor::kInPortTag);
  for (int i = childCount_ - 1; i >= 0; --i) visit(children_[i].get(), i);
  return found;
}

int ProcModule::InsertCreated(std::unique_ptr<ProcVirtual> p, bool newProcess) {
  LinkList links;
  CollectSelectedOutputs(links);
  p->ConnectAll(links);
  PlaceNewProcess(*p);
  ProcVirtual* added = p.get();
  if (AddProcess(std::move(p)) != 0) return 1;
  if (newProcess) {
    added->Reset();
    // A parameter-less process shows its first result at once.
    if (added->HasDialog())
      added->ShowDialog();
    else
      added->Step();
  }
  return 0;
}

int ProcModule::InsertNewProcess(std::unique_ptr<ProcVirtual> p) {
  return InsertCreated(std::move(p), true);
}

ProcVirtual* ProcModule::InsertLoadedProcess(std::unique_ptr<ProcVirtual> p) {
  ProcVirtual* added = p.get();
  return InsertCreated(std::move(p), false) == 0 ? added : nullptr;
}

int ProcModule::AddCreatedFileProcess(int processId, const std::string& path) {
  std::unique_ptr<ProcVirtual> p = CreateById(processId);
  if (p == nullptr) return 1;
  if (auto* named = dynamic_cast<FileNamedProcess*>(p.get())) named->SetFileName(path);
  p->Reset();
  PlaceNewProcess(*p);
  return AddProcess(std::move(p));
}

int ProcModule::InsertImageFile(const std::string& path) {
  return AddCreatedFileProcess(kReadFileProcessId, path);
}

int ProcModule::InsertVideoFile(const std::string& path) {
  return AddCreatedFileProcess(kVideoFileProcessId, path);
}

int ProcModule::InsertFile(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (extension == ".knd") {
    std::unique_ptr<ProcVirtual> loaded = LoadProcessFile(path);
    if (loaded == nullptr) return 1;
    ProcVirtual* added = InsertLoadedProcess(std::move(loaded));
    if (added == nullptr) return 1;
    added->Reset();
    return 0;
  }
  if (extension == ".avi") return InsertVideoFile(path);
  return InsertImageFile(path);
}

int ProcModule::SetInputCount(int n) {
  if (n < 0 || n > kMaxPorts) return 1;
  for (int b = InputCount() - 1; b >= n; --b) {
    if (inThrough_->GetOutputRefCount(b) != 0) {
      Message("入力端子" + std::to_string(b + 1) + "番が接続されています。");
      return 1;
    }
    inThrough_->Disconnect(b);
  }
  SetPortCounts(n, OutputCount());
  inThrough_->SetPortCount(n);
  RefreshEditor();
  SetModified(true);
  return 0;
}

int ProcModule::SetOutputCount(int n) {
  if (n < 0 || n > kMaxPorts) return 1;
  for (int b = OutputCount() - 1; b >= n; --b) {
    if (outThrough_->GetOutputRefCount(b) != 0) {
      Message("出力端子" + std::to_string(b + 1) + "番が外部から接続されています。");
      return 1;
    }
    outThrough_->Disconnect(b);
  }
  SetPortCounts(InputCount(), n);
  outThrough_->SetPortCount(n);
  RefreshEditor();
  SetModified(true);
  return 0;
}

int ProcModule::SaveParams(ByteStream& stream) {
  ProcVirtual::SaveParams(stream);
  inThrough_->SaveParams(stream);
  WriteI32(stream, childCount_);
  for (int i = 0; i < childCount_; ++i) children_[i]->Save(stream);
  outThrough_->SaveParams(stream);
  auto writeLinks = [&](const ProcVirtual& p) {
    for (int k = 0; k < p.InputCount(); ++k) {
      const ProcessLink link = p.GetInputLink(k);
      WriteI32(stream, EncodeLink(link.source, link.sourceOutput));
    }
  };
  for (int i = 0; i < childCount_; ++i) writeLinks(*children_[i]);
  writeLinks(*outThrough_);
  SetModified(false);
  return 0;
}

void ProcModule::ConnectCodes(ProcVirtual& p, ByteStream& stream) {
  LinkList links{};
  for (int k = 0; k < p.InputCount(); ++k) links[k] = DecodeLink(ReadI32(stream, kNoLink));
  p.ConnectAll(links);
}

bool LastLoadWasTooDeep() { return g_loadTooDeep; }

int ProcModule::LoadParams(ByteStream& stream) {
  const LoadLevel level;
  if (level.TooDeep()) {
    g_loadTooDeep = true;
    stream.MarkDamaged();
    return 1;
  }
  int result = ProcVirtual::LoadParams(stream);
  result |= inThrough_->LoadParams(stream);
  const std::int32_t count = ReadI32(stream, 0);
  if (count < 0) stream.MarkDamaged();
  for (std::int32_t i = 0; i < count; ++i) {
    // A damaged stream has nothing more to give; stop before reading zeros as process IDs.
    if (stream.Damaged()) return 1;
    std::unique_ptr<ProcVirtual> p = CreateFromStream(stream);
    if (p == nullptr) return 1;
    if (AddProcess(std::move(p)) != 0) return 1;
  }
  result |= outThrough_->LoadParams(stream);
  for (int i = 0; i < childCount_; ++i) ConnectCodes(*children_[i], stream);
  ConnectCodes(*outThrough_, stream);
  RefreshEditor();
  SetModified(false);
  return result != 0 || stream.Damaged() ? 1 : 0;
}

void ProcModule::RefreshEditor() {
  if (editor_ != nullptr) editor_->RefreshEditor();
}

void ProcModule::RepaintAllEditors() {
  if (g_repaintHolds > 0) return;
  for (ProcModule* module : LiveModules())
    if (module->editor_ != nullptr && module->editor_->IsVisible()) module->editor_->Repaint();
}

void CopyToBuffer(ProcVirtual& p) {
  GetHost().ClearClipboard();
  MemoryStream& buffer = CopyBuffer();
  buffer.Clear();
  // Writing a record clears modified flags; a copy must not make unsaved edits look saved.
  const bool wasModified = p.IsModified();
  p.Save(buffer);
  p.SetModified(wasModified);
}

int PasteFromBuffer(ProcModule& module) {
  if (GetHost().ClipboardHasBitmap()) {
    std::unique_ptr<ProcVirtual> paste = CreateById(kPasteProcessId);
    return paste != nullptr ? module.InsertNewProcess(std::move(paste)) : 1;
  }
  MemoryStream& buffer = CopyBuffer();
  if (buffer.Size() == 0) return 1;
  buffer.Seek(0);
  buffer.ClearErrors();
  int loadResult = 0;
  std::unique_ptr<ProcVirtual> p = CreateFromStream(buffer, &loadResult);
  if (LastLoadWasTooDeep())
    GetHost().ShowMessage("モジュールの入れ子が" + std::to_string(kMaxModuleDepth) +
                          "階層を超えるため、貼り付けられません。");
  if (p == nullptr || loadResult != 0 || buffer.Damaged()) return 1;
  ProcVirtual* added = module.InsertLoadedProcess(std::move(p));
  if (added == nullptr) return 1;
  added->Reset();
  return 0;
}

}  // namespace kandrel
