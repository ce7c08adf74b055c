#pragma once

#include <optional>
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
  unsigned Id = 0;  // the kernel's mount id, as statx reports it
};

// The mounts of this process in the kernel's order (a later mount on the
// same point hides an earlier one). Empty when the table cannot be read.
std::vector<MountEntry> ReadMountTable();

// Parses the text of a mountinfo file.
std::vector<MountEntry> ParseMountTable(const std::string& text);

// The mount of `entries` that holds the existing `path`: found by the mount
// id the kernel gives for the path, since a device number does not tell it
// (a btrfs subvolume's files carry a device number no mount lists). Where
// the kernel gives no mount id, the mount whose mount point is the longest
// prefix of the real path. Nothing when the path cannot be examined.
std::optional<MountEntry> MountHoldingPath(const std::string& path, const std::vector<MountEntry>& entries);
// The mount point of that mount, the mount table read now.
std::optional<std::string> MountPointHolding(const std::string& path);

}  // namespace omrek
