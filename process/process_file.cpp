#include "process/process_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "process/catalogue.h"
#include "process/proc_module.h"
#include "image/replace_file.h"

namespace kandrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProcessFileFilter = "Kandrel処理(*.knd)|*.knd";
constexpr const char* kProcessFileExtension = "knd";

std::string& LastUsed() {
  static std::string directory = fs::current_path().string();
  return directory;
}

std::string WithSeparator(std::string text, char from, char to) {
  for (char& c : text)
    if (c == from) c = to;
  return text;
}

std::string SystemError(int error) { return std::strerror(error); }

// Paths inside the records are stored relative to the file's own directory.
bool WriteProcess(ProcVirtual& p, const std::string& path, std::string& error) {
  SetLastUsedDirectory(DirectoryOf(path));
  return ReplaceFile(
      path,
      [&p](ByteStream& file) {
        p.Save(file);
        return true;
      },
      error);
}

// The modified flags of a process and everything below it, each process's own.
class ModifiedFlags {
 public:
  explicit ModifiedFlags(ProcVirtual& top) { Collect(top); }
  void Restore() const {
    for (const auto& [p, modified] : flags_) p->SetModified(modified);
  }

 private:
  void Collect(ProcVirtual& p) {
    flags_.emplace_back(&p, p.ProcVirtual::IsModified());
    auto* module = dynamic_cast<ProcModule*>(&p);
    if (module == nullptr) return;
    Collect(*module->InputPort());
    Collect(*module->OutputPort());
    for (int i = 0; i < module->ChildCount(); ++i) Collect(*module->Child(i));
  }

  std::vector<std::pair<ProcVirtual*, bool>> flags_;
};

}  // namespace

std::string ExtensionOf(const std::string& path) {
  const std::size_t nameStart = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return {};
  return path.substr(dot);
}

std::string DirectoryOf(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::path(path), error);
  return (error ? fs::path(path) : absolute).lexically_normal().parent_path().string();
}

std::string ProgramDirectory() {
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path().string() : executable.lexically_normal().parent_path().string();
}

const std::string& LastUsedDirectory() { return LastUsed(); }
void SetLastUsedDirectory(const std::string& directory) { LastUsed() = directory; }

std::string StoredPath(const std::string& absolutePath) {
  if (absolutePath.empty()) return {};
  const fs::path path(absolutePath);
  if (!path.is_absolute()) return WithSeparator(absolutePath, '/', '\\');
  const fs::path relative = path.lexically_normal().lexically_relative(fs::path(LastUsed()));
  return WithSeparator((relative.empty() ? path : relative).string(), '/', '\\');
}

std::string ResolvePath(const std::string& storedPath) {
  if (storedPath.empty()) return {};
  const fs::path path(WithSeparator(storedPath, '\\', '/'));
  return (path.is_absolute() ? path : fs::path(LastUsed()) / path).lexically_normal().string();
}

std::unique_ptr<ProcVirtual> LoadProcessFile(const std::string& requestedPath) {
  std::string path = requestedPath;
  if (path.empty()) {
    FileBoxRequest request;
    request.filter = kProcessFileFilter;
    request.defaultExtension = kProcessFileExtension;
    request.initialDirectory = LastUsed();
    request.mustExist = true;
    std::optional<std::string> chosen = GetHost().AskOpenFile(request);
    if (!chosen) return nullptr;
    path = *chosen;
  }
  SetLastUsedDirectory(DirectoryOf(path));
  FileStream file;
  if (!file.Open(path, FileStream::Mode::kRead)) {
    GetHost().ShowMessage("ファイル " + path + " を開けません。" + SystemError(errno));
    return nullptr;
  }
  int loadResult = 0;
  std::unique_ptr<ProcVirtual> p = CreateFromStream(file, &loadResult);
  const bool damaged = file.Damaged();
  file.Close();
  if (LastLoadWasTooDeep()) {
    GetHost().ShowMessage("ファイル " + path + " はモジュールの入れ子が" +
                          std::to_string(kMaxModuleDepth) + "階層を超えるため、読み込めません。");
    return nullptr;
  }
  // A graph that was read only in part would lose the rest when saved again: refuse it.
  if (damaged) {
    GetHost().ShowMessage("ファイル " + path + " は壊れているか途中で切れているため、読み込めません。");
    return nullptr;
  }
  if (loadResult != 0) return nullptr;
  return p;
}

std::optional<std::string> ChosenOpenPath(const std::string& name, const std::string& filter) {
  std::string chosen = name;
  if (chosen.empty()) {
    FileBoxRequest request;
    request.filter = filter;
    request.initialDirectory = LastUsed();
    request.mustExist = true;
    std::optional<std::string> answer = GetHost().AskOpenFile(request);
    if (!answer) return std::nullopt;
    chosen = *answer;
  }
  return fs::absolute(fs::path(chosen)).lexically_normal().string();
}

std::optional<std::string> AskSavePath(const std::string& filter, const std::string& extension,
                                       const std::string& name) {
  FileBoxRequest request;
  request.filter = filter;
  request.defaultExtension = extension;
  request.initialDirectory = LastUsed();
  request.initialName = (fs::path(LastUsed()) / name).string();
  request.confirmOverwrite = true;
  return GetHost().AskSaveFile(request);
}

std::string SaveProcessFile(ProcVirtual* p, const std::string& requestedPath) {
  if (p == nullptr) return {};
  std::string path = requestedPath;
  if (path.empty()) {
    std::optional<std::string> chosen =
        AskSavePath(kProcessFileFilter, kProcessFileExtension, p->Name());
    if (!chosen) return {};
    path = *chosen;
  }
  std::string error;
  if (!WriteProcess(*p, path, error)) {
    p->SetModified(true);  // nothing was saved
    GetHost().ShowMessage("ファイル " + path + " に書き込めません。" + error);
    return {};
  }
  return path;
}

bool WriteProcessCopy(ProcVirtual& p, const std::string& path, std::string& error) {
  const std::string lastUsed = LastUsedDirectory();
  const ModifiedFlags flags(p);
  const bool written = WriteProcess(p, path, error);
  flags.Restore();
  SetLastUsedDirectory(lastUsed);
  return written;
}

}  // namespace kandrel
