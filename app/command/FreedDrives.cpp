#include "app/command/FreedDrives.h"

#include <algorithm>
#include <map>
#include <optional>

#include "platform/DriveTable.h"
#include "platform/MountProbe.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

// Whatever is left of the file on its drive once the command is done with
// it: its blocks are free (or, emptied, no longer its own).
bool FreesBlocks(Outcome outcome) {
  return outcome == Outcome::Destroyed || outcome == Outcome::DeletedUnwritten || outcome == Outcome::EmptiedNotDeleted;
}

// The drive holding `route`; nothing for one that does not answer, which
// could hold the whole command, or that is no mounted file system.
std::optional<DriveToWipe> DriveHolding(const std::string& route, const DriveTable& table) {
  if (!MountProbe::MountHoldingAnswers(route)) return std::nullopt;
  const std::optional<Volume> volume = VolumeHoldingPath(route);
  if (!volume) return std::nullopt;
  // A file system without a letter is still named: its wipe then tells
  // that there is nothing it can fill there.
  return DriveToWipe{table.LetterOf(volume->RootDirectory), volume->RootDirectory};
}

}  // namespace

FreedDrives::FreedDrives(const TargetRows& rows) {
  const DriveTable table = DriveTable::Read();
  std::map<std::uint64_t, std::optional<std::size_t>> driveOfDevice;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const ListedFile file = rows.RowFile(row);
    if (!file.identity) continue;
    auto [known, added] = driveOfDevice.try_emplace(file.identity->device);
    if (added) {
      if (const std::optional<DriveToWipe> drive = DriveHolding(file.route, table)) {
        // btrfs gives each subvolume a device of its own on one drive.
        const auto same = std::find_if(drives_.begin(), drives_.end(),
                                       [&drive](const DriveToWipe& other) { return other.root == drive->root; });
        known->second = static_cast<std::size_t>(same - drives_.begin());
        if (same == drives_.end()) drives_.push_back(*drive);
      }
    }
    if (known->second) driveOfPath_[file.path] = *known->second;
  }
  freed_.assign(drives_.size(), false);
}

void FreedDrives::Note(const TargetOutcome& done) {
  if (!FreesBlocks(done.outcome)) return;
  if (const auto drive = driveOfPath_.find(done.target); drive != driveOfPath_.end()) freed_[drive->second] = true;
}

std::vector<DriveToWipe> FreedDrives::Freed() const {
  std::vector<DriveToWipe> freed;
  for (std::size_t drive = 0; drive < drives_.size(); ++drive) {
    if (freed_[drive]) freed.push_back(drives_[drive]);
  }
  return freed;
}

}  // namespace omrek
