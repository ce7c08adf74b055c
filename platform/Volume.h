#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "platform/MountTable.h"

namespace omrek {

// Drive kinds, numbered as Windows numbers them.
enum class DriveKind : std::uint8_t { Unknown, NoRootDirectory, Removable, Fixed, Remote, CdRom, RamDisk };

// The facts of one mounted file system.
struct Volume {
  std::string RootDirectory;  // the mount point
  std::string Device;         // the mount source
  std::string FileSystem;     // "ext4", "FAT32", "NTFS", ...
  std::string Label;
  std::uint32_t Serial = 0;
  DriveKind Kind = DriveKind::Unknown;
  std::int64_t TotalBytes = -1;  // -1 when the space query fails
  std::int64_t FreeBytes = -1;   // free to this process; -1 when the query fails
  std::uint32_t BytesPerSector = 0;
  std::uint32_t SectorsPerCluster = 0;

  // 0 when the geometry could not be measured.
  std::uint32_t ClusterSize() const { return BytesPerSector * SectorsPerCluster; }
};

// Total bytes and bytes free to this user of the file system holding a path.
struct DiskSpace {
  std::int64_t TotalBytes = -1;
  std::int64_t FreeBytes = -1;
};
DiskSpace QueryDiskSpace(const std::string& path);

// Bytes per cluster (allocation unit) of the file system holding `path`, or
// 0 when it cannot be measured. A statvfs, and on ext4 a read of the
// superblock: cheap enough for every file of a list, unlike a full
// description with the device's label.
std::uint32_t ClusterSizeOf(const std::string& path);
// The same for the file system holding the open file or folder `fd`.
std::uint32_t ClusterSizeOfOpen(int fd);

// The cluster sizes of the file systems one command meets, each measured
// once (on ext4 that opens the device and reads its superblock) and then
// known by its device number alone, with no call per file. The memo keeps
// a descriptor on each file system it measured: while one is open the
// kernel keeps that file system's device number, so no file system mounted
// while the command runs can come to share it.
class ClusterSizeMemo {
 public:
  ClusterSizeMemo() = default;
  ClusterSizeMemo(ClusterSizeMemo&& other) noexcept;
  ClusterSizeMemo& operator=(ClusterSizeMemo&& other) noexcept;
  ~ClusterSizeMemo();

  // As ClusterSizeOfOpen, for `fd` on the device numbered `device`.
  std::uint32_t OfOpen(int fd, std::uint64_t device);

 private:
  struct Measured {
    std::uint32_t size;
    int pin;
  };
  void Forget();
  std::map<std::uint64_t, Measured> sizes_;
};

// Bytes free to this user on the file system holding the open file or
// folder `fd`; -1 when the query fails.
std::int64_t FreeBytesOfOpen(int fd);

// Describes the file system that `entry` mounts, measured at `path` (the
// mount point or any path inside it).
Volume DescribeVolume(const MountEntry& entry, const std::string& path);

// The file system that holds `path`, whether or not it has a drive letter.
// Nothing when the path cannot be examined.
std::optional<Volume> VolumeHoldingPath(const std::string& path);

}  // namespace omrek
