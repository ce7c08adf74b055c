#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Volume.h"

namespace omrek {

// A lettered file system.
struct Drive : Volume {
  char Letter = 0;
  // False when the mount did not answer in time (a stopped FUSE server, a
  // dead network share): its facts are unknown, and nothing may wait for it.
  bool Responding = true;

  // The label, or else the mount point, then the letter: "backup (D:)".
  std::string DisplayName() const;
};

// Drive letters for the mounted file systems, the same way every run: C: is
// the file system mounted at /, then D:, E:, ... for the other real file
// systems in the order of their mount points sorted as text. Virtual file
// systems, a second mount of a device already lettered, and RAM file systems
// inside /dev, /run, /sys and /proc get no letter; A and B are not used and
// nothing goes past Z. A mount that does not answer keeps its letter and
// is marked as not responding.
class DriveTable {
 public:
  // Built fresh from the mount table, so a newly mounted file system shows.
  static DriveTable Read();
  static DriveTable FromMounts(const std::vector<MountEntry>& mounts);

  // Every lettered drive in letter order, with its facts measured now;
  // one that does not answer in time is marked, with no facts.
  std::vector<Drive> Drives() const;

  // The root folders of the lettered drives in letter order that answered
  // when the table was read; their facts are not measured.
  std::vector<std::string> Roots() const;

  // The drive with this letter (either case), if one is mounted.
  std::optional<Drive> Find(char letter) const;

  // The letter of the file system mounted at `mountPoint`, or 0.
  char LetterOf(const std::string& mountPoint) const;
  // The lettered mount of the file system mounted at `mountPoint`: that
  // mount itself, or, for a second mount of a lettered device (a btrfs
  // subvolume such as /home, a bind mount), the device's lettered one.
  // Nothing when the file system has no letter.
  std::optional<std::pair<char, std::string>> LetteredMountOf(const std::string& mountPoint) const;

 private:
  struct Lettered {
    char Letter;
    MountEntry Mount;
    bool Responding;
  };
  static Drive Describe(const Lettered& entry);

  // Facts are measured only when asked for: reading a device's label costs
  // a read of its superblock.
  std::vector<Lettered> lettered_;
  // Mounts of devices lettered at another mount point.
  std::vector<MountEntry> secondMounts_;
};

}  // namespace omrek
