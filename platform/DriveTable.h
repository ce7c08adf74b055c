#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Volume.h"

namespace omrek {

// A lettered file system.
struct Drive : Volume {
  char Letter = 0;

  // The label, or else the mount point, then the letter: "backup (D:)".
  std::string DisplayName() const;
};

// Drive letters for the mounted file systems, the same way every run: C: is
// the file system mounted at /, then D:, E:, ... for the other real file
// systems in the order of their mount points sorted as text. Virtual file
// systems, a second mount of a device already lettered, and RAM file systems
// inside /dev, /run, /sys and /proc get no letter; A and B are not used and
// nothing goes past Z.
class DriveTable {
 public:
  // Built fresh from the mount table, so a newly mounted file system shows.
  static DriveTable Read();
  static DriveTable FromMounts(const std::vector<MountEntry>& mounts);

  // Every lettered drive in letter order, with its facts measured now.
  std::vector<Drive> Drives() const;

  // The root folders of the lettered drives in letter order, read from the
  // mount table alone: nothing is measured, no device is probed.
  std::vector<std::string> Roots() const;

  // The drive with this letter (either case), if one is mounted.
  std::optional<Drive> Find(char letter) const;

  // The letter of the file system mounted at `mountPoint`, or 0.
  char LetterOf(const std::string& mountPoint) const;

 private:
  struct Lettered {
    char Letter;
    MountEntry Mount;
  };
  static Drive Describe(const Lettered& entry);

  // Facts are measured only when asked for: reading a device's label costs
  // a read of its superblock.
  std::vector<Lettered> lettered_;
};

}  // namespace omrek
