#include "platform/InPlaceCaveat.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <filesystem>
#include <fstream>

#include "platform/JournalCheckpoint.h"
#include "platform/MountTable.h"

namespace omrek {

namespace {

struct KnownFileSystem {
  unsigned long magic;
  const char* reason;
};

// The magic numbers statfs reports.
constexpr KnownFileSystem kWritesElsewhere[] = {
    {0x9123683E, "btrfs writes changed data to new places (copy on write)"},
    {0x2FC12FC1, "zfs writes changed data to new places (copy on write)"},
    {0xCA451A4E, "bcachefs writes changed data to new places (copy on write)"},
    {0xF2F52010, "f2fs writes changed data to new places (log-structured)"},
    {0x3434, "nilfs2 writes changed data to new places (log-structured)"},
    {0x794C7630, "an overlay writes changed files to its upper layer, leaving the lower copy"},
    {0x65735546, "a FUSE file system decides itself where data goes"},
    {0x6969, "an NFS server decides itself where data goes"},
    {0xFF534D42, "a CIFS server decides itself where data goes"},
    {0xFE534D42, "an SMB server decides itself where data goes"},
};

// Whether the block device (or the disk holding the partition) spins; a
// device that does not say counts as spinning.
bool Rotational(dev_t device) {
  const std::string block = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
    std::ifstream setting(block + queue);
    int rotational = 1;
    if (setting >> rotational) return rotational != 0;
  }
  return true;
}

}  // namespace

std::optional<InPlaceCaveat> InPlaceCaveats::Of(const std::string& path) {
  struct statfs fileSystem {};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (const auto known = byDevice_.find(st.st_dev); known != byDevice_.end()) return known->second;
  std::optional<InPlaceCaveat>& caveat = byDevice_[st.st_dev];
  if (::statfs(path.c_str(), &fileSystem) != 0) return std::nullopt;
  std::string reason;
  for (const KnownFileSystem& known : kWritesElsewhere) {
    if (static_cast<unsigned long>(fileSystem.f_type) == known.magic) reason = known.reason;
  }
  if (reason.empty() && major(st.st_dev) != 0 && !Rotational(st.st_dev)) {
    reason = "the device is solid-state or flash, which moves rewritten blocks elsewhere";
  }
  if (reason.empty()) return std::nullopt;
  const std::string folder = S_ISDIR(st.st_mode) ? path : std::filesystem::path(path).parent_path().string();
  if (const auto journal = JournalLeftUncleared(folder.empty() ? "." : folder)) reason += "; " + *journal;
  // Named by its mount rather than by device, so a file in a btrfs
  // subvolume is named by its mount.
  caveat = InPlaceCaveat{MountPointHolding(path).value_or("/"), reason};
  return caveat;
}

}  // namespace omrek
