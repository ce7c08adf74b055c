#pragma once

#include <string>
#include <vector>

#include "disk/FillerFiles.h"
#include "engine/JobMonitor.h"

namespace omrek {

// What runs that were killed or crashed (or whose machine went down) left
// half-done, and what a start made of it.
struct StoppedRunRepairs {
  int filesPutBack = 0;
  // Emptied files a destroy had renamed and not yet deleted.
  int emptiedDeleted = 0;
  // Recorded fillers and those their files prove a stopped run's; its
  // `left` names, at every start, files with a filler's name that are not.
  LeftoverFillers fillers;
  // Each said once, as the journal's record of it goes: what was put right
  // ("put back <path>: its 764 bytes and its time"), and what was left
  // alone and why.
  std::vector<std::string> repaired;
  std::vector<std::string> left;
  // What is kept for a later start, said at each until it is put right: a
  // file on a drive not mounted where it was, or one in use.
  std::vector<std::string> waiting;

  // The repaired lines, then the left ones; All() adds the waiting ones.
  std::vector<std::string> SaidOnce() const;
  std::vector<std::string> All() const;
};

// Done at every start, the window's and each command line's, before any
// command: files a slack wipe had lengthened are cut back to their own
// length and get their time back, filler files are deleted, files a destroy
// had emptied and renamed are deleted, emptied ext4 reserves are put back.
// Only what the journal of work in flight or the files themselves prove to
// be a stopped run's is touched; a file changed since is left and named.
// The status lines say what came back: "REPAIRED" "2 files" "put back", or
// else "LEFTOVERS" "3 files" "73 megs freed", or else "LEFTOVERS" "1 file"
// "deleted", or else "REPAIRED" "ext4 reserve" "put back".
StoppedRunRepairs RepairStoppedRuns(JobMonitor& monitor);

}  // namespace omrek
