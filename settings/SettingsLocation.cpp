#include "settings/SettingsLocation.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/PrivateFolder.h"
#include "settings/SettingsFile.h"

namespace omrek {

namespace fs = std::filesystem;

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string XdgFolder(const std::string& given, const UserFolders& user, const char* underHome) {
  if (given.starts_with('/')) return given;
  if (user.home.starts_with('/')) return user.home + underHome;
  return {};
}

}  // namespace

UserFolders UserFoldersOfEnvironment() {
  return {Variable("XDG_CONFIG_HOME"), Variable("HOME"), Variable("XDG_DATA_HOME")};
}

std::string ConfigHome(const UserFolders& user) { return XdgFolder(user.configHome, user, "/.config"); }

std::string DataHome(const UserFolders& user) { return XdgFolder(user.dataHome, user, "/.local/share"); }

ProgramPlaces PlacesOf(const std::string& executablePath, const UserFolders& user) {
  const fs::path executable(executablePath);
  const fs::path folder = executable.parent_path();
  const std::string beside = SettingsPathFor(executablePath);
  const fs::path share = folder.parent_path() / "share";
  std::error_code ignored;
  const bool installed = folder.filename() == "bin" && fs::is_directory(share / "omrek", ignored);
  if (!installed) return {beside, folder.string(), folder.string(), (folder / kWindowModuleName).string()};

  ProgramPlaces places{beside, (share / "omrek").string(), (share / "doc" / "omrek").string(),
                       (folder.parent_path() / "lib" / "omrek" / "modules" / kWindowModuleName).string()};
  const std::string configHome = ConfigHome(user);
  if (!fs::exists(beside, ignored) && !configHome.empty()) places.settingsFile = configHome + "/omrek/omrek.ini";
  return places;
}

ProgramPlaces PlacesOf(const std::string& executablePath) {
  return PlacesOf(executablePath, UserFoldersOfEnvironment());
}

void CreatePrivateFolders(const std::string& folder) {
  if (!folder.empty()) MakePrivateFolders(folder);
}

void CreateSettingsFolder(const std::string& settingsFile) {
  try {
    CreatePrivateFolders(fs::path(settingsFile).parent_path().string());
  } catch (const std::runtime_error&) {
    // The save that follows names the settings file and says why.
  }
}

}  // namespace omrek
