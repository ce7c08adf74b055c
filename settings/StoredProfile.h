#pragma once

#include <string>

#include "engine/WipeProfile.h"
#include "settings/SettingsFile.h"

namespace omrek {

// The wipe options of one mode as the settings file holds them, for the
// command line, which has no configuration dialog to read them from. Read
// as a start of the program reads them into the dialog: missing keys and
// bad numbers give the defaults, the pass count is held to 0..100, and the
// custom byte keeps its first two characters.
StoredWipeProfile ReadStoredProfile(const SettingsFile& file, const std::string& section);

// Disk mode's "Wipe slack at end of used clusters".
bool ReadStoredWipeSlack(const SettingsFile& file);

}  // namespace omrek
