#include "app/cli/FileManagerScripts.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace omrek {

namespace fs = std::filesystem;

namespace {

// The menu shows the script's file name.
constexpr const char* kScriptName = "Shred with Omrek";

// `text` as one word of the shell, whatever bytes it holds.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void WriteScript(const fs::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error(path.string() + ": " + std::strerror(errno));
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
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
         "exec " + ShellQuoted(program) + " -- \"$@\"\n";
}

std::vector<std::string> InstallFileManagerScripts(const std::string& program, const UserFolders& user) {
  const std::string dataHome = DataHome(user);
  const std::string configHome = ConfigHome(user);
  if (dataHome.empty() || configHome.empty()) throw std::runtime_error("HOME is not set: no folder for the scripts");
  std::vector<std::string> written;
  for (const fs::path& folder : {fs::path(dataHome) / "nautilus/scripts", fs::path(configHome) / "caja/scripts"}) {
    CreatePrivateFolders(folder.string());
    const fs::path script = folder / kScriptName;
    WriteScript(script, FileManagerScript(program));
    written.push_back(script.string());
  }
  return written;
}

}  // namespace omrek
