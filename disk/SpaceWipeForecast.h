#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "disk/FreeSpaceWipe.h"
#include "engine/TargetOutcome.h"

namespace omrek {

// How fast the passes of a free-space wipe went over each drive's first
// megabyte, by the drive's root folder: what the next wipe of that drive is
// forecast from.
class WipeSpeeds {
 public:
  void Note(const std::string& root, double bytesPerSecond) { speeds_[root] = bytesPerSecond; }
  std::optional<double> Of(const std::string& root) const;

 private:
  std::map<std::string, double> speeds_;
};

// What a free-space wipe will do to one drive, told before it starts.
struct DriveForecast {
  char letter;
  std::string root;
  std::int64_t freeBytes;         // what the filler files will take; -1 when unknown
  std::optional<double> seconds;  // at the speed last measured on the drive
  bool holdsSystem;               // holds /, /usr, /var or /home
};

std::vector<DriveForecast> ForecastSpaceWipe(const std::vector<DriveToWipe>& drives, const WipeSpeeds& speeds);

// "about 2 h 5 min", "about 3 min", "under a minute", or "unknown".
std::string DurationText(std::optional<double> seconds);

// One line for a drive: "/mnt/backup (D:): 12.4 GiB free, time: about 3 min".
std::string ForecastLine(const DriveForecast& drive);

// Said of a drive the running system writes to.
inline constexpr char kSystemDriveWarning[] =
    "The system runs from this drive: programs writing there may fail until the wipe ends.";

// Said of the drive that holds the program's own settings file.
inline constexpr char kSettingsDriveWarning[] = "The program's settings are on this drive.";

// What the question before a free-space wipe is about: the drives with their
// forecasts, whether the slack of every file is swept first, and where the
// settings file lies.
struct SpaceWipeQuestion {
  std::vector<DriveForecast> drives;
  bool sweepsSlack = false;
  std::string settingsFile;
};

// The question's first line: what the wipe does, the slack sweep included
// when it is on.
std::string SpaceWipeHeading(bool sweepsSlack);

// Each drive's forecast line, its root shown as `shownRoot` gives it, and
// under it, indented, the warning for a drive the system runs from or that
// holds the settings.
std::vector<std::string> SpaceWipeDriveLines(const SpaceWipeQuestion& question,
                                             const std::function<std::string(const std::string&)>& shownRoot);

// Whether Enter out of habit should cancel rather than wipe: a drive the
// system runs from or that holds the program's settings is listed.
bool CancelByDefault(const SpaceWipeQuestion& question);

}  // namespace omrek
