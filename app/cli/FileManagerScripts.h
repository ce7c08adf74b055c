#pragma once

#include <string>
#include <vector>

#include "settings/SettingsLocation.h"

namespace omrek {

// "Shred with Omrek" for the file managers that take no system-wide action
// files, only scripts of the user's own: Nautilus's Scripts menu
// ($XDG_DATA_HOME/nautilus/scripts) and Caja's ($XDG_CONFIG_HOME/caja/scripts).
// They run a script with the selected files as its arguments, named relative
// to the folder shown and started in it; the script lists them, made whole,
// in `program`'s window. Nothing is destroyed until the user asks there.

// The script's text, starting `program` (any bytes but a NUL).
std::string FileManagerScript(const std::string& program);

// Writes the script, executable, into each file manager's scripts folder,
// making the folders (private to the user) when they are missing, and
// returns the scripts' paths. An earlier copy is replaced by a rename, never
// written through: a link at the script's place, or a folder on the way
// that is a link or another user's, is refused. Raises std::runtime_error
// with the path and the system's reason when one cannot be written.
std::vector<std::string> InstallFileManagerScripts(const std::string& program, const UserFolders& user);

}  // namespace omrek
