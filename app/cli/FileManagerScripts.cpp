#include "app/cli/FileManagerScripts.h"

#include <filesystem>
#include <stdexcept>

#include "platform/PrivateFolder.h"

namespace omrek {

namespace fs = std::filesystem;

namespace {

// The menu shows the script's file name.
constexpr const char* kScriptName = "Shred with Omrek";

// rwxr-xr-x: the file managers run only executable scripts.
constexpr unsigned kScriptMode = 0755;

// `text` as one word of the shell, whatever bytes it holds.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string FileManagerScript(const std::string& program) {
  return "#!/bin/sh\n"
         "# Lists the selected files in Omrek, Filebane; nothing is destroyed until\n"
         "# asked there. Written by omrek --install-file-manager-actions.\n"
         "for file do\n"
         "  case $file in\n"
         "    /*) ;;\n"
         "    *) file=$PWD/$file ;;\n"
         "  esac\n"
         "  set -- \"$@\" \"$file\"\n"
         "  shift\n"
         "done\n"
         "exec " +
         ShellQuoted(program) + " -- \"$@\"\n";
}

std::vector<std::string> InstallFileManagerScripts(const std::string& program, const UserFolders& user) {
  const std::string dataHome = DataHome(user);
  const std::string configHome = ConfigHome(user);
  if (dataHome.empty() || configHome.empty()) throw std::runtime_error("HOME is not set: no folder for the scripts");
  std::vector<std::string> written;
  for (const fs::path& folder : {fs::path(dataHome) / "nautilus/scripts", fs::path(configHome) / "caja/scripts"}) {
    ReplaceFileInPrivateFolder(folder.string(), kScriptName, FileManagerScript(program), kScriptMode);
    written.push_back((folder / kScriptName).string());
  }
  return written;
}

}  // namespace omrek
