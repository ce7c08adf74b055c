#include "disk/SpaceWipeForecast.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "platform/MountProbe.h"
#include "platform/MountTable.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

// The folders a running system needs and keeps writing to: its programs,
// logs, spools and databases, and the users' files.
constexpr const char* kSystemFolders[] = {"/", "/usr", "/var", "/home"};

// The mount points holding them, the mount table read once.
std::set<std::string> SystemMountPoints() {
  const std::vector<MountEntry> table = ReadMountTable();
  std::set<std::string> roots;
  for (const char* folder : kSystemFolders) {
    if (const std::optional<MountEntry> mount = MountHoldingPath(folder, table)) roots.insert(mount->MountPoint);
  }
  return roots;
}

// The root of the drive the settings file lies on, or will lie on once
// first saved: the nearest folder of its path that exists counts.
std::string SettingsDriveRoot(const std::string& settingsFile) {
  if (settingsFile.empty()) return {};
  std::filesystem::path place(settingsFile);
  std::error_code error;
  while (!std::filesystem::exists(place, error) && place.has_parent_path() && place.parent_path() != place) {
    place = place.parent_path();
  }
  return MountPointHolding(place.string()).value_or("");
}

}  // namespace

std::optional<double> WipeSpeeds::Of(const std::string& root) const {
  const auto found = speeds_.find(root);
  if (found == speeds_.end()) return std::nullopt;
  return found->second;
}

std::vector<DriveForecast> ForecastSpaceWipe(const std::vector<DriveToWipe>& drives, const WipeSpeeds& speeds) {
  std::vector<DriveForecast> forecasts;
  const std::set<std::string> systemRoots = SystemMountPoints();
  for (const DriveToWipe& drive : drives) {
    // A drive that stopped answering since it was picked is not waited for.
    const std::int64_t free =
        MountProbe::MountHoldingAnswers(drive.root) ? QueryDiskSpace(drive.root).FreeBytes : std::int64_t{-1};
    std::optional<double> seconds;
    const std::optional<double> speed = speeds.Of(drive.root);
    if (speed && *speed > 0 && free >= 0) seconds = static_cast<double>(free) / *speed;
    forecasts.push_back({drive.letter, drive.root, free, seconds, systemRoots.contains(drive.root)});
  }
  return forecasts;
}

std::string DurationText(std::optional<double> seconds) {
  if (!seconds) return "unknown";
  const auto minutes = static_cast<std::int64_t>(std::ceil(*seconds / 60));
  if (*seconds < 60) return "under a minute";
  if (minutes < 60) return "about " + std::to_string(minutes) + " min";
  return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

std::string ForecastLine(const DriveForecast& drive) {
  return drive.root + " (" + drive.letter + ":): " + SizeText(drive.freeBytes) +
         " free, time: " + DurationText(drive.seconds);
}

std::string SpaceWipeHeading(bool sweepsSlack) {
  std::string heading =
      "Wipe Space fills the free space of these drives with filler files until each is full, then deletes them";
  if (sweepsSlack) heading += ", and lengthens then restores every file on them to wipe the slack at its end";
  return heading + ":";
}

std::vector<std::string> SpaceWipeDriveLines(const SpaceWipeQuestion& question,
                                             const std::function<std::string(const std::string&)>& shownRoot) {
  const std::string settingsRoot = SettingsDriveRoot(question.settingsFile);
  std::vector<std::string> lines;
  for (DriveForecast drive : question.drives) {
    const bool holdsSettings = !settingsRoot.empty() && drive.root == settingsRoot;
    drive.root = shownRoot(drive.root);
    lines.push_back(ForecastLine(drive));
    if (drive.holdsSystem) lines.push_back(std::string("    ") + kSystemDriveWarning);
    if (holdsSettings) lines.push_back(std::string("    ") + kSettingsDriveWarning);
  }
  return lines;
}

bool CancelByDefault(const SpaceWipeQuestion& question) {
  const std::string settingsRoot = SettingsDriveRoot(question.settingsFile);
  return std::any_of(question.drives.begin(), question.drives.end(), [&](const DriveForecast& drive) {
    return drive.holdsSystem || (!settingsRoot.empty() && drive.root == settingsRoot);
  });
}

}  // namespace omrek
