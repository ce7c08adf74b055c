#include "app/command/JournalClearing.h"

#include <set>

#include "intake/ReadablePath.h"
#include "platform/FileSystemId.h"
#include "platform/JournalCheckpoint.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void JournalClearing::Note(const TargetOutcome& done) {
  switch (done.outcome) {
    case Outcome::Destroyed:
    case Outcome::DeletedUnwritten:
    case Outcome::EmptiedNotDeleted:
      folders_.push_back(FolderOf(done.target));
      break;
    case Outcome::DriveWiped:
    case Outcome::DriveStopped:
    case Outcome::DriveFailed:
      folders_.push_back(done.target);
      break;
    default:
      break;
  }
}

std::vector<std::string> JournalClearing::ClearAll() {
  std::vector<std::string> uncleared;
  std::set<std::string> cleared;
  for (const std::string& folder : folders_) {
    const std::string fileSystem = FileSystemIdOf(folder);
    if (!cleared.insert(fileSystem.empty() ? folder : fileSystem).second) continue;
    if (const auto why = ClearJournal(folder)) {
      const auto volume = VolumeHoldingPath(folder);
      uncleared.push_back(ReadablePath(volume ? volume->RootDirectory : folder) + ": " + *why);
    }
  }
  folders_.clear();
  return uncleared;
}

}  // namespace omrek
