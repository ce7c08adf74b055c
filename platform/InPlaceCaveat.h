#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace omrek {

// Why overwriting a file in place on some file system may leave old copies
// of its data where no pass reaches them.
struct InPlaceCaveat {
  std::string mountPoint;  // the file system's root, as the drive list names it; never a file's path
  std::string reason;
};

// Finds the caveat for the file system holding a path, or nullopt where
// writing in place reaches the old data: copy-on-write and log-structured
// file systems (btrfs, zfs, bcachefs, f2fs, nilfs2), overlays and FUSE,
// network file systems (NFS, CIFS), and any file system on a device that is
// not a spinning disk (solid-state drives and flash move rewritten blocks).
// Where the file system's journal may keep deleted names, the reason says
// so too. Each file system is examined once, however many paths lie on it.
class InPlaceCaveats {
 public:
  std::optional<InPlaceCaveat> Of(const std::string& path);

 private:
  std::map<std::uint64_t, std::optional<InPlaceCaveat>> byDevice_;
};

}  // namespace omrek
