// ProcVirtual: the base of every block of a process graph. It holds the links to the outputs
// that feed its inputs (each holding a reference count on that output), the images it publishes,
// the cached output types used for inference before any frame has run, the status shown on its
// icon, its dialog, and the 148-byte header every process writes first. It fixes the frame
// protocol that modules and the run controller drive: Reset, then per frame Prepare and Execute
// (together Step).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/byte_stream.h"
#include "image/image.h"
#include "process/host.h"

namespace kandrel {

constexpr int kMaxPorts = 10;

class ProcVirtual;

struct ProcessLink {
  ProcVirtual* source = nullptr;
  int sourceOutput = 0;
  bool operator==(const ProcessLink&) const = default;
};

using LinkList = std::array<ProcessLink, kMaxPorts>;
using TypeList = std::array<int, kMaxPorts>;
using InputImages = std::array<Image*, kMaxPorts>;
using OutputImages = std::array<std::unique_ptr<Image>, kMaxPorts>;

// The persisted base state of a process, 148 bytes in files.
struct ProcessHeader {
  static constexpr std::int32_t kSize = 148;
  static constexpr std::size_t kNameSize = 100;

  std::string name;
  std::int32_t iconX = 0;
  std::int32_t iconY = 0;
  DialogGeometry dialog;
  std::int32_t inputCount = 0;
  std::int32_t outputCount = 0;
  std::array<std::int8_t, kMaxPorts> outputTypes{};

  template <class F>
  void Fields(F& f) {
    f.Text(name, kNameSize);
    f.I32(iconX);
    f.I32(iconY);
    f.I32(dialog.left);
    f.I32(dialog.top);
    f.I32(dialog.width);
    f.I32(dialog.height);
    f.I32(inputCount);
    f.I32(outputCount);
    for (std::int8_t& t : outputTypes) f.I8(t);
    f.Zeros(6);
  }
};

class ProcVirtual {
 public:
  explicit ProcVirtual(int processId);
  ProcVirtual(const ProcVirtual&) = delete;
  ProcVirtual& operator=(const ProcVirtual&) = delete;
  // Only valid once no input anywhere links to this process (TotalOutputRefs() == 0).
  virtual ~ProcVirtual();

  virtual Image* GetOutput(int i) const;
  virtual Image* GetInput(int i) const;
  virtual ProcessLink GetInputLink(int i) const;
  virtual int GetInputType(int i);
  virtual int GetOutputType(int i);
  virtual void AddOutputRef(int i);
  virtual void ReleaseOutputRef(int i);
  virtual int GetOutputRefCount(int i) const;
  virtual int TotalOutputRefs() const;
  // How many of the references above are this process's own inputs reading its outputs.
  int SelfReferences() const;
  virtual void SetOutputType(int i, int type);
  virtual void ConnectAll(const LinkList& links);
  virtual void Connect(int input, ProcVirtual* source, int sourceOutput);
  virtual void DisconnectAll();
  virtual void Disconnect(int input);
  virtual void ShowDialog();
  virtual bool HasDialog() const;
  virtual int Step();
  virtual int Reset();
  virtual int Prepare();
  virtual int Execute();
  virtual int FrameCount();
  virtual void Save(ByteStream& stream);
  virtual int SaveParams(ByteStream& stream);
  virtual int LoadParams(ByteStream& stream);
  virtual bool IsModified() const;
  virtual void SetName(const std::string& text);
  virtual bool InferOutputTypes(const TypeList& inTypes, TypeList& outTypes);
  virtual int Process(const InputImages& inputs, OutputImages& outputs);
  virtual int PrepareOutputs(const InputImages& inputs, OutputImages& outputs);
  virtual int ResetOutputs(OutputImages& outputs);
  // The parameter lines of this kind's hardware cell, instantiated as instance, appended to lines
  // of its Verilog text; none by default.
  virtual void WriteVerilogParams(std::vector<std::string>& lines, const std::string& instance) const;

  int ProcessId() const { return processId_; }
  const std::string& Name() const { return name_; }
  const std::string& Status() const { return status_; }
  int InputCount() const { return inputCount_; }
  int OutputCount() const { return outputCount_; }
  int FrameCounter() const { return frameCounter_; }
  const std::string& VerilogName() const { return verilogName_; }
  int IconX() const { return header_.iconX; }
  int IconY() const { return header_.iconY; }
  void SetIconPosition(int x, int y) {
    header_.iconX = x;
    header_.iconY = y;
  }
  ProcessDialog* Dialog() const { return dialog_.get(); }
  void SetModified(bool modified) { modified_ = modified; }
  // The cached type of output i, without inference (0 unknown, -1 while inferring).
  int CachedOutputType(int i) const { return outputTypes_[i]; }

 protected:
  // The images on the inputs, null past InputCount().
  InputImages CollectInputs() const;
  // Message box with the given text.
  static void Message(const std::string& text);
  void SetStatus(std::string status) { status_ = std::move(status); }
  // The kind's default name, set by its constructor (not an edit, so not "modified").
  void SetDefaultName(std::string name) { name_ = std::move(name); }
  void SetPortCounts(int inputs, int outputs);
  // The hardware cell name of the kind, for kinds that have one; set by its constructor.
  void SetVerilogName(std::string name) { verilogName_ = std::move(name); }
  // Creates the parameter dialog of a kind that has one; called by its constructor.
  void CreateParameterDialog(const std::string& formClass);
  void InstallDialog(std::unique_ptr<ProcessDialog> dialog) { dialog_ = std::move(dialog); }
  void ResetFrameCounter() { frameCounter_ = 0; }
  OutputImages& Outputs() { return outputs_; }
  const OutputImages& Outputs() const { return outputs_; }
  // The process whose own outputs this one's inputs never read (a loop the editor refuses, kept
  // as a link when a file holds it): the process itself, or for a module's port the module.
  void SetLinkOwner(const ProcVirtual* owner) { linkOwner_ = owner; }
  bool ReadsOwnOutput(const ProcessLink& link) const { return link.source == linkOwner_; }

 private:
  void ReportInputError(const TypeList& inTypes);

  std::string name_ = "Virtual";
  const int processId_;
  ProcessHeader header_;
  std::unique_ptr<ProcessDialog> dialog_;
  std::string status_ = "-";
  int inputCount_ = 0;
  int outputCount_ = 0;
  int frameCounter_ = 0;
  bool modified_ = false;
  std::string verilogName_;
  const ProcVirtual* linkOwner_ = this;
  LinkList inputLinks_{};
  OutputImages outputs_;
  std::array<int, kMaxPorts> outputRefCounts_{};
  std::array<int, kMaxPorts> outputTypes_{};
  // The type query in which an output was last found unknown (see GetOutputType).
  std::array<unsigned, kMaxPorts> unknownInQuery_{};
};

// Text of a frame number as icons show it ("%03d").
std::string FrameStatusText(int frame);

}  // namespace kandrel
