#include "app/command/FreedDrives.h"

#include <algorithm>
#include <map>
#include <optional>

#include "intake/ReadablePath.h"
#include "platform/DriveTable.h"
#include "platform/FileSystemId.h"
#include "platform/MountProbe.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

// Whatever is left of the file on its drive once the command is done with
// it: its blocks are free (or, emptied, no longer its own).
bool FreesBlocks(Outcome outcome) {
  return outcome == Outcome::Destroyed || outcome == Outcome::DeletedUnwritten || outcome == Outcome::EmptiedNotDeleted;
}

// The drive to fill for a file at `route`: its file system's lettered
// mount, which a btrfs subvolume or a bind mount shares with it. Nothing
// for a drive that does not answer (it could hold the whole command), for
// a path on no mounted file system, and for a RAM disk, whose free space
// is the machine's memory and holds nothing once it is off.
std::optional<DriveToWipe> DriveHolding(const std::string& route, const DriveTable& table) {
  if (!MountProbe::MountHoldingAnswers(route)) return std::nullopt;
  const std::optional<Volume> volume = VolumeHoldingPath(route);
  if (!volume || volume->Kind == DriveKind::RamDisk) return std::nullopt;
  if (const auto lettered = table.LetteredMountOf(volume->RootDirectory)) {
    return DriveToWipe{lettered->first, lettered->second};
  }
  return DriveToWipe{0, volume->RootDirectory};
}

}  // namespace

FreedDrives::FreedDrives(const TargetRows& rows) {
  const DriveTable table = DriveTable::Read();
  std::map<std::uint64_t, std::optional<std::size_t>> foundOfDevice;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const ListedFile file = rows.RowFile(row);
    if (!file.identity) continue;
    auto [known, added] = foundOfDevice.try_emplace(file.identity->device);
    if (added) {
      if (const std::optional<DriveToWipe> drive = DriveHolding(file.route, table)) {
        // btrfs gives each subvolume a device of its own on one drive.
        const auto same = std::find_if(found_.begin(), found_.end(),
                                       [&drive](const Found& other) { return other.drive.root == drive->root; });
        known->second = static_cast<std::size_t>(same - found_.begin());
        if (same == found_.end()) found_.push_back({*drive, FileSystemIdOf(drive->root)});
      }
    }
    if (known->second) driveOfPath_[file.path] = *known->second;
  }
}

std::vector<DriveToWipe> FreedDrives::Lettered() const {
  std::vector<DriveToWipe> lettered;
  for (const Found& found : found_) {
    if (found.drive.letter != 0) lettered.push_back(found.drive);
  }
  return lettered;
}

void FreedDrives::Note(const TargetOutcome& done) {
  if (!FreesBlocks(done.outcome)) return;
  if (const auto drive = driveOfPath_.find(done.target); drive != driveOfPath_.end())
    found_[drive->second].freed = true;
}

FreedDrives::Freed FreedDrives::TakeFreed(bool verify) const {
  Freed freed;
  const auto notWiped = [&](const Found& found, const std::string& why) {
    TargetOutcome skipped = TargetOutcome::Before(found.drive.root, verify);
    skipped.outcome = Outcome::Skipped;
    skipped.detail = why;
    freed.notWiped.push_back(std::move(skipped));
  };
  for (const Found& found : found_) {
    if (!found.freed) continue;
    if (found.drive.letter == 0) {
      notWiped(found, "its file system has no drive letter; not wiped");
    } else if (MountProbe::MountHoldingAnswers(found.drive.root) &&
               FileSystemIdOf(found.drive.root) != found.fileSystem) {
      // Unmounted during the files, and another mounted in its place: the
      // drive the user was asked about is not there to fill.
      notWiped(found, "another file system is mounted at " + ReadablePath(found.drive.root) + " now; not wiped");
    } else {
      freed.drives.push_back(found.drive);
    }
  }
  return freed;
}

}  // namespace omrek
