#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "disk/FreeSpaceWipe.h"
#include "engine/TargetOutcome.h"
#include "intake/TargetRows.h"

namespace omrek {

// The drives a Destroy's files lie on, found before it starts (once per
// device: the files are gone afterwards), and those where a destroyed file
// left its blocks free for a wipe of the free space to overwrite.
class FreedDrives {
 public:
  explicit FreedDrives(const TargetRows& rows);

  // Every lettered drive a listed file lies on, in the order the rows reach
  // it: what a wipe afterwards would fill.
  std::vector<DriveToWipe> Lettered() const;

  // Notes a file the command is done with.
  void Note(const TargetOutcome& done);

  // The drives a destroyed file freed blocks on, in the order of the rows,
  // that are still the file systems they were; the others, each told why
  // they are not wiped.
  struct Freed {
    std::vector<DriveToWipe> drives;
    std::vector<TargetOutcome> notWiped;
  };
  Freed TakeFreed(bool verify) const;

 private:
  struct Found {
    DriveToWipe drive;  // letter 0: a file system without a letter
    std::string fileSystem;
    bool freed = false;
  };
  std::vector<Found> found_;
  // Each listed path's drive, as an index into found_.
  std::unordered_map<std::string, std::size_t> driveOfPath_;
};

}  // namespace omrek
