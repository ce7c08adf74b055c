#pragma once

#include <string>
#include <vector>

namespace omrek {

// One line of the kernel's mount table (/proc/self/mountinfo).
struct MountEntry {
  unsigned Major = 0;
  unsigned Minor = 0;
  std::string MountPoint;
  std::string Type;
  std::string Source;
};

// The mounts of this process in the kernel's order (a later mount on the
// same point hides an earlier one). Empty when the table cannot be read.
std::vector<MountEntry> ReadMountTable();

// Parses the text of a mountinfo file.
std::vector<MountEntry> ParseMountTable(const std::string& text);

}  // namespace omrek
