#include "process/proc_virtual.h"

#include <algorithm>
#include <cstdio>

#include "process/param_record.h"

namespace kandrel {

namespace {
constexpr int kModuleProcessId = 10003;

template <class... Args>
std::string Format(const char* pattern, Args... args) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}
}  // namespace

std::string FrameStatusText(int frame) { return Format("%03d", frame); }

ProcVirtual::ProcVirtual(int processId) : processId_(processId) {}

ProcVirtual::~ProcVirtual() {
  for (auto& output : outputs_) output.reset();
  dialog_.reset();
  DisconnectAll();
}

Image* ProcVirtual::GetOutput(int i) const {
  return i >= 0 && i < outputCount_ ? outputs_[i].get() : nullptr;
}

Image* ProcVirtual::GetInput(int i) const {
  if (i < 0 || i >= inputCount_ || inputLinks_[i].source == nullptr ||
      ReadsOwnOutput(inputLinks_[i]))
    return nullptr;
  return inputLinks_[i].source->GetOutput(inputLinks_[i].sourceOutput);
}

ProcessLink ProcVirtual::GetInputLink(int i) const {
  return i >= 0 && i < kMaxPorts ? inputLinks_[i] : ProcessLink{};
}

int ProcVirtual::GetInputType(int i) {
  const ProcessLink link = GetInputLink(i);
  return link.source != nullptr && !ReadsOwnOutput(link)
             ? link.source->GetOutputType(link.sourceOutput)
             : 0;
}

namespace {

// One outermost type query and everything it asks on the way. An output found unknown is not
// asked again within the query, unless a cycle guard took part in that answer (a later answer
// could then differ): without this, every port of nested modules would be asked once per path
// to it, and the paths multiply with every level.
struct TypeQuery {
  int depth = 0;
  unsigned serial = 0;
  unsigned cycleGuardsMet = 0;
};
TypeQuery g_typeQuery;

class TypeQueryLevel {
 public:
  TypeQueryLevel() {
    // Serial 0 is what outputs never found unknown hold.
    if (g_typeQuery.depth++ == 0 && ++g_typeQuery.serial == 0) ++g_typeQuery.serial;
  }
  ~TypeQueryLevel() { --g_typeQuery.depth; }
  TypeQueryLevel(const TypeQueryLevel&) = delete;
  TypeQueryLevel& operator=(const TypeQueryLevel&) = delete;
};

}  // namespace

int ProcVirtual::GetOutputType(int i) {
  if (i < 0 || i >= kMaxPorts) return 0;
  if (outputTypes_[i] == -1) {  // inference of this output is already under way: a cycle
    ++g_typeQuery.cycleGuardsMet;
    return 0;
  }
  if (const Image* image = GetOutput(i)) return outputTypes_[i] = image->TypeId();
  if (outputTypes_[i] != 0) return outputTypes_[i];
  const TypeQueryLevel level;
  if (unknownInQuery_[i] == g_typeQuery.serial) return 0;
  const unsigned guardsBefore = g_typeQuery.cycleGuardsMet;
  outputTypes_[i] = -1;
  TypeList inTypes{}, outTypes{};
  for (int k = 0; k < inputCount_; ++k) inTypes[k] = GetInputType(k);
  outputTypes_[i] = InferOutputTypes(inTypes, outTypes) ? outTypes[i] : 0;
  if (outputTypes_[i] == 0 && g_typeQuery.cycleGuardsMet == guardsBefore)
    unknownInQuery_[i] = g_typeQuery.serial;
  return outputTypes_[i];
}

void ProcVirtual::AddOutputRef(int i) { ++outputRefCounts_[i]; }
void ProcVirtual::ReleaseOutputRef(int i) { --outputRefCounts_[i]; }
int ProcVirtual::GetOutputRefCount(int i) const { return outputRefCounts_[i]; }

int ProcVirtual::TotalOutputRefs() const {
  int total = 0;
  for (int i = 0; i < outputCount_; ++i) total += GetOutputRefCount(i);
  return total;
}

int ProcVirtual::SelfReferences() const {
  int count = 0;
  for (int k = 0; k < InputCount(); ++k) count += GetInputLink(k).source == this ? 1 : 0;
  return count;
}

void ProcVirtual::SetOutputType(int i, int type) {
  if (i >= 0 && i < kMaxPorts) outputTypes_[i] = type;
}

void ProcVirtual::ConnectAll(const LinkList& links) {
  for (int i = 0; i < kMaxPorts; ++i) Connect(i, links[i].source, links[i].sourceOutput);
}

void ProcVirtual::Connect(int input, ProcVirtual* source, int sourceOutput) {
  if (input < 0 || input >= inputCount_) return;
  if (inputLinks_[input].source == source && inputLinks_[input].sourceOutput == sourceOutput) return;
  Disconnect(input);
  // A link to one of the process's own outputs is kept (a file may hold one) but never read.
  if (source == nullptr || sourceOutput < 0 || sourceOutput >= source->OutputCount()) return;
  inputLinks_[input] = ProcessLink{source, sourceOutput};
  source->AddOutputRef(sourceOutput);
  for (int k = 0; k < outputCount_; ++k) outputTypes_[k] = 0;
}

void ProcVirtual::DisconnectAll() {
  for (int i = 0; i < kMaxPorts; ++i) Disconnect(i);
}

void ProcVirtual::Disconnect(int input) {
  if (input < 0 || input >= kMaxPorts) return;
  status_ = "-";
  ProcessLink& link = inputLinks_[input];
  if (link.source == nullptr) return;
  link.source->ReleaseOutputRef(link.sourceOutput);
  link.source = nullptr;  // the output index stays as it was
}

void ProcVirtual::ShowDialog() {
  if (dialog_ == nullptr) {
    dialog_ = GetHost().CreateNoParamDialog(*this);
    if (dialog_ != nullptr) dialog_->Show();
  } else if (dialog_->IsVisible()) {
    dialog_->Hide();
  } else {
    dialog_->Show();
  }
}

bool ProcVirtual::HasDialog() const { return dialog_ != nullptr; }

InputImages ProcVirtual::CollectInputs() const {
  InputImages inputs{};
  for (int k = 0; k < inputCount_; ++k) inputs[k] = GetInput(k);
  return inputs;
}

int ProcVirtual::Step() {
  if (int r = Prepare(); r != 0) return r;
  if (int r = Execute(); r != 0) return r;
  if (Image* first = GetOutput(0)) first->ShowWindow();
  return 0;
}

int ProcVirtual::Reset() {
  status_ = "Rst";
  return ResetOutputs(outputs_);
}

int ProcVirtual::Prepare() {
  status_ = "-";
  return PrepareOutputs(CollectInputs(), outputs_);
}

int ProcVirtual::Execute() {
  status_ = FrameStatusText(frameCounter_);
  if (int r = Process(CollectInputs(), outputs_); r != 0) return r;
  for (int i = 0; i < outputCount_; ++i) {
    if (Image* image = GetOutput(i)) {
      image->RefreshWindow();
      SetOutputType(i, image->TypeId());
    }
  }
  ++frameCounter_;
  return 0;
}

int ProcVirtual::FrameCount() { return 1; }

void ProcVirtual::Save(ByteStream& stream) {
  WriteI32(stream, processId_);
  SaveParams(stream);
}

int ProcVirtual::SaveParams(ByteStream& stream) {
  header_.name = name_;
  // Until the dialog has a place of its own (shown, or put there by the file) the geometry read
  // from the file is kept, so that the file saves back as it was loaded.
  if (dialog_ != nullptr && dialog_->Geometry() != DialogGeometry{})
    header_.dialog = dialog_->Geometry();
  header_.inputCount = inputCount_;
  header_.outputCount = outputCount_;
  for (int i = 0; i < kMaxPorts; ++i) header_.outputTypes[i] = static_cast<std::int8_t>(outputTypes_[i]);
  WriteRecord(stream, header_);
  modified_ = false;
  return 0;
}

int ProcVirtual::LoadParams(ByteStream& stream) {
  const int result = ReadRecord(stream, header_);
  SetName(header_.name);
  if (dialog_ != nullptr && header_.dialog.width != 0 && header_.dialog.height != 0)
    dialog_->RestoreGeometry(header_.dialog, processId_ == kModuleProcessId);
  // Counts outside 0..10 cannot come from a valid file; they are clamped so that no port table
  // is ever indexed past its end.
  inputCount_ = std::clamp<int>(header_.inputCount, 0, kMaxPorts);
  outputCount_ = std::clamp<int>(header_.outputCount, 0, kMaxPorts);
  if (inputCount_ != header_.inputCount || outputCount_ != header_.outputCount) stream.MarkDamaged();
  for (int i = 0; i < kMaxPorts; ++i) outputTypes_[i] = header_.outputTypes[i];
  modified_ = false;
  return result;
}

bool ProcVirtual::IsModified() const { return modified_; }

void ProcVirtual::SetName(const std::string& text) {
  name_ = text;
  modified_ = true;
}

bool ProcVirtual::InferOutputTypes(const TypeList&, TypeList&) { return false; }

void ProcVirtual::WriteVerilogParams(std::vector<std::string>&, const std::string&) const {}

int ProcVirtual::Process(const InputImages&, OutputImages&) {
  Message("処理が実装されていません。");
  return 1;
}

int ProcVirtual::PrepareOutputs(const InputImages& inputs, OutputImages&) {
  TypeList inTypes{}, outTypes{};
  for (int k = 0; k < inputCount_; ++k) inTypes[k] = inputs[k] != nullptr ? inputs[k]->TypeId() : 0;
  if (InferOutputTypes(inTypes, outTypes)) return 0;
  if (inputCount_ < 1) {
    Message(name_ + "が準備できませんでした。");
    status_ = "err";
  } else {
    ReportInputError(inTypes);
    status_ = "in?";
  }
  return 1;
}

int ProcVirtual::ResetOutputs(OutputImages&) {
  frameCounter_ = 0;
  return 0;
}

void ProcVirtual::ReportInputError(const TypeList& inTypes) {
  std::vector<std::string> lines;
  lines.push_back(name_ + "への入力エラー。");
  for (int n = 1; n <= inputCount_; ++n)
    lines.push_back(Format("　　入力%d = %s", n, ImageTypeName(inTypes[n - 1])));
  lines.push_back("入力数とその型を確認し、接続し直して下さい。");
  lines.push_back(" ");
  if (inputCount_ == 1 || inputCount_ == 2) {
    lines.push_back(name_ + "が受け入れ可能な入力：");
    int example = 0;
    const int secondTypes = inputCount_ == 2 ? kImageTypeCount : 1;
    for (int t1 = 1; t1 <= kImageTypeCount; ++t1) {
      for (int t2 = 1; t2 <= secondTypes; ++t2) {
        TypeList trial{}, outTypes{};
        trial[0] = t1;
        if (inputCount_ == 2) trial[1] = t2;
        if (!InferOutputTypes(trial, outTypes)) continue;
        lines.push_back(Format("　　例%d：入力1 = %s", ++example, ImageTypeName(t1)));
        if (inputCount_ == 2) lines.push_back(Format("　　　　　入力2 = %s", ImageTypeName(t2)));
      }
    }
  }
  GetHost().ShowInputError(lines);
}

void ProcVirtual::Message(const std::string& text) { GetHost().ShowMessage(text); }

void ProcVirtual::SetPortCounts(int inputs, int outputs) {
  inputCount_ = inputs;
  outputCount_ = outputs;
}

void ProcVirtual::CreateParameterDialog(const std::string& formClass) {
  dialog_ = GetHost().CreateParameterDialog(*this, formClass);
}

}  // namespace kandrel
