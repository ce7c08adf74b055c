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

  // Every drive a listed file lies on, in the order the rows reach it.
  const std::vector<DriveToWipe>& All() const { return drives_; }

  // Notes a file the command is done with.
  void Note(const TargetOutcome& done);

  // The drives a destroyed file freed blocks on, in the order of All().
  std::vector<DriveToWipe> Freed() const;

 private:
  std::vector<DriveToWipe> drives_;
  std::vector<bool> freed_;
  // Each listed path's drive, as an index into drives_.
  std::unordered_map<std::string, std::size_t> driveOfPath_;
};

}  // namespace omrek
