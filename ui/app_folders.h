// Where the desktop program keeps its own files: the settings file, the backup of an unnamed
// graph ("~backup.knd"), the autosave of the graph in use ("~autosave.knd") and the "PlugIn"
// folder. They live beside the executable when that folder
// is writable, as in a build tree; an installed program usually cannot write there, so they move
// to the user's configuration folder ($XDG_CONFIG_HOME/kandrel, by default ~/.config/kandrel).
// Plug-ins are looked for in both places.
#pragma once

#include <string>
#include <vector>

namespace kandrel {

class AppFolders {
 public:
  // programDirectory: the executable's folder; configHome and home: $XDG_CONFIG_HOME and $HOME
  // (either may be empty).
  AppFolders(std::string programDirectory, const std::string& configHome, const std::string& home);
  // From the running executable and the environment.
  static AppFolders FromEnvironment();

  const std::string& ProgramDirectory() const { return programDirectory_; }
  // The folder of the settings file and the backup; created on first use when it is the user's.
  const std::string& DataDirectory() const { return dataDirectory_; }
  // Makes sure DataDirectory exists; false when it cannot be made.
  bool EnsureDataDirectory() const;

  std::string SettingsFile() const;
  std::string BackupFile() const;
  // Kept apart from the backup: a backup from an earlier session stays until it is reopened.
  std::string AutosaveFile() const;
  // Every "*.knd" in the "PlugIn" folders, the program's first, each folder in directory order.
  std::vector<std::string> PlugInFiles() const;

 private:
  std::string programDirectory_;
  std::string dataDirectory_;
};

// Collapses every "/./" (and a trailing "/.") of a directory to "/".
std::string CollapseCurrentDirectorySteps(std::string directory);

}  // namespace kandrel
