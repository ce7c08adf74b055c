#pragma once

#include <string>

namespace omrek {

// Where the program at an executable path keeps its files. Two layouts:
// - beside the executable: a build tree or a portable folder. The settings
//   file is the executable's own name with ".ini", the default sound and the
//   documents lie next to it;
// - installed: the executable in a bin/ folder with share/omrek/ beside
//   that folder. The settings go to the user's configuration folder, since
//   an ordinary user cannot write next to /usr/bin/omrek; the sound is in
//   share/omrek/ and the documents in share/doc/omrek/.
// A settings file beside an installed executable still wins: whoever put it
// there wants that copy portable.
struct ProgramPlaces {
  std::string settingsFile;
  std::string dataFolder;      // holds the default sound
  std::string documentFolder;  // holds README.md and LICENSE
};

// The user's folders, as the environment gives them; empty when unset.
struct UserFolders {
  std::string configHome;  // $XDG_CONFIG_HOME
  std::string home;        // $HOME
};

ProgramPlaces PlacesOf(const std::string& executablePath, const UserFolders& user);

// The same with the user's folders read from the environment.
ProgramPlaces PlacesOf(const std::string& executablePath);

// Makes the folder the settings file lies in, and its parents, when they
// are missing. A folder that cannot be made is left for the save to report,
// with the settings file's path.
void CreateSettingsFolder(const std::string& settingsFile);

}  // namespace omrek
