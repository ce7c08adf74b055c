#pragma once

#include <string>

namespace omrek {

// Where the program at an executable path keeps its files. Two layouts:
// - beside the executable: a build tree or a portable folder. The settings
//   file is the executable's own name with ".ini", the default sound, the
//   documents and the window's module lie next to it;
// - installed: the executable in a bin/ folder with share/omrek/ beside
//   that folder. The settings go to the user's configuration folder, since
//   an ordinary user cannot write next to /usr/bin/omrek; the sound is in
//   share/omrek/, the documents in share/doc/omrek/ and the window's module
//   in lib/omrek/modules/.
// A settings file beside an installed executable still wins: whoever put it
// there wants that copy portable.
struct ProgramPlaces {
  std::string settingsFile;
  std::string dataFolder;      // holds the default sound
  std::string documentFolder;  // holds README.md and LICENSE
  // The shared module holding the window, loaded only when one is shown:
  // the command line starts without Qt's libraries.
  std::string windowModule;
};

// The window module's file name.
inline constexpr const char* kWindowModuleName = "omrek-window.so";

// The user's folders, as the environment gives them; empty when unset.
struct UserFolders {
  std::string configHome;     // $XDG_CONFIG_HOME
  std::string home;           // $HOME
  std::string dataHome = {};  // $XDG_DATA_HOME
};

UserFolders UserFoldersOfEnvironment();

// $XDG_CONFIG_HOME and $XDG_DATA_HOME count only as absolute paths; else
// ~/.config and ~/.local/share. Empty when neither can be told.
std::string ConfigHome(const UserFolders& user);
std::string DataHome(const UserFolders& user);

ProgramPlaces PlacesOf(const std::string& executablePath, const UserFolders& user);

// The same with the user's folders read from the environment.
ProgramPlaces PlacesOf(const std::string& executablePath);

// Makes `folder` and its missing parents, each one made readable by its
// owner only, as the user's configuration and data folders should be. No
// folder on the way may be a link or another user's (MakePrivateFolders).
// Raises std::runtime_error when one cannot be made.
void CreatePrivateFolders(const std::string& folder);

// Makes the folder the settings file lies in, and its parents, when they
// are missing, private to the user. A folder that cannot be made is left for
// the save to report, with the settings file's path.
void CreateSettingsFolder(const std::string& settingsFile);

}  // namespace omrek
