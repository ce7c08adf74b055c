#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/JobMonitor.h"

namespace omrek {

// "Omrek-Delete This File if you see it 001": three digits, four from 1000.
std::string FillerFileName(int number);

// True for the names FillerFileName gives, and only for those.
bool IsFillerFileName(const std::string& name);

// What a clean-up of leftover filler files gave back, and what it left.
struct LeftoverFillers {
  int files = 0;
  std::uint64_t bytes = 0;  // the space the files held
  // "left <path>: more than one link", one for each file of this user's
  // with a filler's name that is not provably a leftover of its runs.
  std::vector<std::string> left;
  // "left <path>: owned by another user": named only where this user fills
  // the drive, not at every start, where they are none of its business.
  std::vector<std::string> others;

  // "3 files" and "73 megs freed"; megabytes rounded up, so a leftover of a
  // few kilobytes still shows that space came back.
  std::string FilesText() const;
  std::string FreedText() const;
};

// Deletes the filler files in a drive's root folder that a free-space wipe
// which never reached its end (the program killed, the machine down) left
// there, taking the drive's free space with them. A file goes only when the
// open file proves it one: a regular file with a filler's name, owned by
// the running user, with no other name, that no other process holds open;
// it is then removed only while its name still leads to that file. Any
// other file with a filler's name stays: one that is another user's or has
// more names is listed in `left`. A root that cannot be read gives nothing
// back.
LeftoverFillers DeleteLeftoverFillers(const std::string& root);

// Each file the clean-up left, as a message of its own.
void TellLeftFillers(JobMonitor& monitor, const LeftoverFillers& found);

// Once at start-up: the clean-up over the roots of all lettered drives but
// those another copy of the program is wiping (FileSystemLock.h) and those
// that do not respond, which the start must not wait for. Returns
// the whole of what was found, the files left included, for the caller to
// tell.
LeftoverFillers DeleteLeftoverFillersOfAllDrives();

}  // namespace omrek
