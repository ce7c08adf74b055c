#include "disk/SpaceWipeForecast.h"

#include <cmath>

#include "platform/MountProbe.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

// The folders a running system needs and keeps writing to: its programs,
// logs, spools and databases, and the users' files.
constexpr const char* kSystemFolders[] = {"/", "/usr", "/var", "/home"};

bool HoldsSystem(const std::string& root) {
  for (const char* folder : kSystemFolders) {
    const std::optional<Volume> volume = VolumeHoldingPath(folder);
    if (volume && volume->RootDirectory == root) return true;
  }
  return false;
}

}  // namespace

std::optional<double> WipeSpeeds::Of(const std::string& root) const {
  const auto found = speeds_.find(root);
  if (found == speeds_.end()) return std::nullopt;
  return found->second;
}

std::vector<DriveForecast> ForecastSpaceWipe(const std::vector<DriveToWipe>& drives, const WipeSpeeds& speeds) {
  std::vector<DriveForecast> forecasts;
  for (const DriveToWipe& drive : drives) {
    // A drive that stopped answering since it was picked is not waited for.
    const std::int64_t free =
        MountProbe::MountHoldingAnswers(drive.root) ? QueryDiskSpace(drive.root).FreeBytes : std::int64_t{-1};
    std::optional<double> seconds;
    const std::optional<double> speed = speeds.Of(drive.root);
    if (speed && *speed > 0 && free >= 0) seconds = static_cast<double>(free) / *speed;
    forecasts.push_back({drive.letter, drive.root, free, seconds, HoldsSystem(drive.root)});
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

}  // namespace omrek
