#include "ui/app_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "process/process_file.h"

namespace kandrel {

namespace fs = std::filesystem;

namespace {

bool IsWritableDirectory(const std::string& directory) {
  std::error_code error;
  return fs::is_directory(directory, error) && ::access(directory.c_str(), W_OK) == 0;
}

std::string UserDataDirectory(const std::string& configHome, const std::string& home) {
  // A relative $XDG_CONFIG_HOME is invalid and ignored.
  if (!configHome.empty() && configHome.front() == '/') return configHome + "/kandrel";
  return (home.empty() ? std::string("/tmp") : home) + "/.config/kandrel";
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::string CollapseCurrentDirectorySteps(std::string directory) {
  for (std::size_t at; (at = directory.find("/./")) != std::string::npos;) directory.erase(at, 2);
  if (directory.size() > 2 && directory.ends_with("/.")) directory.resize(directory.size() - 2);
  return directory;
}

AppFolders::AppFolders(std::string programDirectory, const std::string& configHome,
                       const std::string& home)
    : programDirectory_(CollapseCurrentDirectorySteps(std::move(programDirectory))),
      dataDirectory_(IsWritableDirectory(programDirectory_) ? programDirectory_
                                                             : UserDataDirectory(configHome, home)) {}

AppFolders AppFolders::FromEnvironment() {
  return AppFolders(kandrel::ProgramDirectory(), Environment("XDG_CONFIG_HOME"), Environment("HOME"));
}

bool AppFolders::EnsureDataDirectory() const {
  std::error_code error;
  fs::create_directories(dataDirectory_, error);
  return fs::is_directory(dataDirectory_, error);
}

std::string AppFolders::SettingsFile() const { return dataDirectory_ + "/kandrel.INI"; }

std::string AppFolders::BackupFile() const { return dataDirectory_ + "/~backup.knd"; }

std::string AppFolders::AutosaveFile() const { return dataDirectory_ + "/~autosave.knd"; }

std::vector<std::string> AppFolders::PlugInFiles() const {
  std::vector<std::string> files;
  std::vector<std::string> folders = {programDirectory_ + "/PlugIn"};
  if (dataDirectory_ != programDirectory_) folders.push_back(dataDirectory_ + "/PlugIn");
  for (const std::string& folder : folders) {
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
      if (entry->path().extension() == ".knd" && entry->is_regular_file(error))
        files.push_back(entry->path().string());
    }
  }
  return files;
}

}  // namespace kandrel
