#include "app/command/JournalClearing.h"

#include <set>

#include "intake/ReadablePath.h"
#include "platform/Directory.h"
#include "platform/IoError.h"
#include "platform/JournalCheckpoint.h"
#include "platform/TerminationSignals.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

// The mounted file system holding `folder`: a copy of a file system
// mounted beside it (a clone, a snapshot) has the same id but a journal of
// its own.
std::string MountedFileSystemOf(const std::string& folder) {
  try {
    return std::to_string(Directory::Open(folder).Device());
  } catch (const IoError&) {
    return folder;
  }
}

}  // namespace

void JournalClearing::Note(const TargetOutcome& done) {
  switch (done.outcome) {
    case Outcome::Destroyed:
    case Outcome::DeletedUnwritten:
    case Outcome::EmptiedNotDeleted:
    case Outcome::NameRemoved:
      folders_.insert(FolderOfPath(done.target));
      break;
    case Outcome::FolderRemoved:
      folders_.insert(FolderOfPath(done.target));
      removed_.insert(done.target);
      break;
    case Outcome::DriveWiped:
    case Outcome::DriveStopped:
    case Outcome::DriveFailed:
      folders_.insert(done.target);
      break;
    default:
      break;
  }
}

std::vector<std::string> JournalClearing::ClearAll() {
  std::vector<std::string> uncleared;
  std::set<std::string> cleared;
  const bool ending = TerminationSignals::Requested() != 0;
  for (const std::string& noted : folders_) {
    std::string folder = noted;
    while (removed_.contains(folder)) folder = FolderOfPath(folder);
    if (!cleared.insert(MountedFileSystemOf(folder)).second) continue;
    if (const auto why = ending ? JournalLeftByEnding(folder) : ClearJournal(folder)) {
      const auto volume = VolumeHoldingPath(folder);
      uncleared.push_back(ReadablePath(volume ? volume->RootDirectory : folder) + ": " + *why);
    }
  }
  folders_.clear();
  removed_.clear();
  return uncleared;
}

}  // namespace omrek
