#pragma once

#include <cstdint>
#include <string>

#include "engine/JobMonitor.h"

namespace omrek {

// "Omrek-Delete This File if you see it 001": three digits, four from 1000.
std::string FillerFileName(int number);

// True for the names FillerFileName gives, and only for those.
bool IsFillerFileName(const std::string& name);

// What a clean-up of leftover filler files gave back.
struct LeftoverFillers {
  int files = 0;
  std::uint64_t bytes = 0;  // the space the files held
};

// Deletes the filler files in a drive's root folder that a free-space wipe
// which never reached its end (the program killed, the machine down) left
// there, taking the drive's free space with them. Only regular files with
// the fillers' names go; one that cannot be deleted stays and is not
// counted. A root that cannot be read gives nothing back.
LeftoverFillers DeleteLeftoverFillers(const std::string& root);

// Once at start-up: the clean-up over the roots of all lettered drives. When
// it found any, the status lines say how many files went and how much space
// came back: "LEFTOVERS", "3 files", "73 megs freed". The reserved pools
// that such runs left empty are put back as well.
void DeleteLeftoverFillersOfAllDrives(JobMonitor& monitor);

}  // namespace omrek
