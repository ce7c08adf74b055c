#include "settings/SettingsLocation.h"

#include <cstdlib>
#include <filesystem>

#include "settings/SettingsFile.h"

namespace omrek {

namespace fs = std::filesystem;

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// XDG_CONFIG_HOME counts only as an absolute path; else ~/.config. Nothing
// when neither can be told.
std::string ConfigHome(const UserFolders& user) {
  if (user.configHome.starts_with('/')) return user.configHome;
  if (user.home.starts_with('/')) return user.home + "/.config";
  return {};
}

}  // namespace

ProgramPlaces PlacesOf(const std::string& executablePath, const UserFolders& user) {
  const fs::path executable(executablePath);
  const fs::path folder = executable.parent_path();
  const std::string beside = SettingsPathFor(executablePath);
  const fs::path share = folder.parent_path() / "share";
  std::error_code ignored;
  const bool installed = folder.filename() == "bin" && fs::is_directory(share / "omrek", ignored);
  if (!installed) return {beside, folder.string(), folder.string()};

  ProgramPlaces places{beside, (share / "omrek").string(), (share / "doc" / "omrek").string()};
  const std::string configHome = ConfigHome(user);
  if (!fs::exists(beside, ignored) && !configHome.empty()) places.settingsFile = configHome + "/omrek/omrek.ini";
  return places;
}

ProgramPlaces PlacesOf(const std::string& executablePath) {
  return PlacesOf(executablePath, {Variable("XDG_CONFIG_HOME"), Variable("HOME")});
}

void CreateSettingsFolder(const std::string& settingsFile) {
  std::error_code ignored;
  fs::create_directories(fs::path(settingsFile).parent_path(), ignored);
}

}  // namespace omrek
