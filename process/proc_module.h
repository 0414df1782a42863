// Modules: processes that contain up to 20 child processes behind two port processes, order
// their children so that each runs after its sources, and offer the editing operations of the
// module editor (add, remove, move, insert, port counts). Seen from the parent a module is an
// ordinary process with inputs and outputs.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "process/proc_virtual.h"

namespace kandrel {

constexpr int MAX_PROCESS = 20;
constexpr int kModuleProcessId = 10003;
constexpr int kFrameBufferProcessId = 10005;
constexpr int kReadFileProcessId = 10001;
constexpr int kVideoFileProcessId = 10002;
constexpr int kPasteProcessId = 10012;
constexpr int kNoLink = -999;
// Modules nest as deep as a user builds them, but every walk of the tree (frames, saving,
// describing, the windows) goes down one call per level: a stream nested deeper than this is
// refused instead of exhausting the stack.
constexpr int kMaxModuleDepth = 1000;

// Carries images across a module boundary: output i is whatever arrives on input i.
class ProcModule;

class ProcThrough final : public ProcVirtual {
 public:
  explicit ProcThrough(const ProcModule& module);
  Image* GetOutput(int i) const override;
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  void SetPortCount(int n) { SetPortCounts(n, n); }

 private:
  // Set while output i is being resolved, so that a path through the same port twice yields
  // null instead of recursing forever.
  mutable bool busy_ = false;
};

// Processes that take a file name when inserted for a dropped or opened file.
class FileNamedProcess {
 public:
  virtual ~FileNamedProcess() = default;
  // An empty name lets the process ask the user for one.
  virtual void SetFileName(const std::string& name) = 0;
};

class ProcModule final : public ProcVirtual {
 public:
  explicit ProcModule(int processId = kModuleProcessId);
  ~ProcModule() override;

  Image* GetOutput(int i) const override;
  Image* GetInput(int i) const override;
  ProcessLink GetInputLink(int i) const override;
  int GetInputType(int i) override;
  int GetOutputType(int i) override;
  void AddOutputRef(int i) override;
  void ReleaseOutputRef(int i) override;
  int GetOutputRefCount(int i) const override;
  void SetOutputType(int i, int type) override;
  void Connect(int input, ProcVirtual* source, int sourceOutput) override;
  void Disconnect(int input) override;
  int FrameCount() override;
  int SaveParams(ByteStream& stream) override;
  int LoadParams(ByteStream& stream) override;
  bool IsModified() const override;
  void SetName(const std::string& text) override;
  bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes) override;
  int Process(const InputImages& inputs, OutputImages& outputs) override;
  int PrepareOutputs(const InputImages& inputs, OutputImages& outputs) override;
  int ResetOutputs(OutputImages& outputs) override;
  // Sets the icon position of a process about to be added.
  virtual void PlaceNewProcess(ProcVirtual& p);

  // Appends p as the last child; 1 (with the limit message) when the module is full, in which
  // case p is destroyed.
  int AddProcess(std::unique_ptr<ProcVirtual> p);
  void RemoveProcess(int index);
  void MoveProcess(int from, int to);
  int EncodeLink(const ProcVirtual* source, int k) const;
  ProcessLink DecodeLink(int code) const;
  bool SelectInEditor(const ProcVirtual* p);
  int CollectSelectedOutputs(LinkList& links) const;
  int InsertNewProcess(std::unique_ptr<ProcVirtual> p);
  // Adds a process read from a file or the copy buffer; returns it (null on failure).
  ProcVirtual* InsertLoadedProcess(std::unique_ptr<ProcVirtual> p);
  int InsertImageFile(const std::string& path);
  int InsertVideoFile(const std::string& path);
  int InsertFile(const std::string& path);
  int SetInputCount(int n);
  int SetOutputCount(int n);

  int ChildCount() const { return childCount_; }
  ProcVirtual* Child(int index) const {
    return index >= 0 && index < childCount_ ? children_[index].get() : nullptr;
  }
  ProcThrough* InputPort() const { return inThrough_.get(); }
  ProcThrough* OutputPort() const { return outThrough_.get(); }
  ModuleEditor* Editor() const { return editor_; }
  // Shows the window of the module's Verilog text (made when first shown).
  void ShowVerilog();
  ProcessDialog* VerilogWindow() const { return verilogWindow_.get(); }
  // Modules alive in this program; names new modules "Module <n>".
  static int LiveModuleCount();

 private:
  int InsertCreated(std::unique_ptr<ProcVirtual> p, bool newProcess);
  int AddCreatedFileProcess(int processId, const std::string& path);
  void RefreshEditor();
  // Every open editor repaints: a link that crosses this module's boundary changed.
  void RepaintAllEditors();
  void ConnectCodes(ProcVirtual& p, ByteStream& stream);

  std::unique_ptr<ProcThrough> inThrough_;
  std::unique_ptr<ProcThrough> outThrough_;
  std::array<std::unique_ptr<ProcVirtual>, MAX_PROCESS> children_;
  int childCount_ = 0;
  ModuleEditor* editor_ = nullptr;  // owned as the module's dialog
  std::unique_ptr<ProcessDialog> verilogWindow_;
};

// Whether the last module read from a stream was refused for holding modules nested deeper
// than kMaxModuleDepth.
bool LastLoadWasTooDeep();

// The module into which menu commands insert, or null for the root.
ProcModule* ActiveModule();
void SetActiveModule(ProcModule* module);

// The editor's copy buffer: one process record in memory.
void CopyToBuffer(ProcVirtual& p);
// Inserts the buffered process (or a pasted bitmap) into module; 0 when something was inserted.
int PasteFromBuffer(ProcModule& module);

}  // namespace kandrel
