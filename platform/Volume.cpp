#include "platform/Volume.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/BlockDevice.h"
#include "platform/Ext4Cluster.h"

namespace omrek {

namespace {

bool IsOneOf(const std::string& value, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&](const char* name) { return value == name; });
}

DriveKind KindOf(const MountEntry& entry, const BlockDeviceFacts* block) {
  if (IsOneOf(entry.Type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs", "9p"})) {
    return DriveKind::Remote;
  }
  if (IsOneOf(entry.Type, {"iso9660", "udf"})) return DriveKind::CdRom;
  if (IsOneOf(entry.Type, {"tmpfs", "ramfs"})) return DriveKind::RamDisk;
  if (block == nullptr) {
    // No disk of its own (overlay layers, FUSE mounts, cluster file
    // systems): listed like a network drive, so it is wiped only when the
    // user picks it, never by the preselection of fixed drives.
    return DriveKind::Remote;
  }
  return block->Removable ? DriveKind::Removable : DriveKind::Fixed;
}

// FAT volumes carry the names Windows gives them, told apart by their count
// of clusters as FAT itself does.
std::string FatName(std::uint64_t clusters) {
  if (clusters < 4085) return "FAT12";
  if (clusters < 65525) return "FAT16";
  return "FAT32";
}

std::string FileSystemName(const MountEntry& entry, const BlockDeviceFacts* block, const struct statvfs* space) {
  const std::string type =
      entry.Type == "fuseblk" && block != nullptr && !block->Type.empty() ? block->Type : entry.Type;
  if (IsOneOf(type, {"vfat", "msdos", "fat"})) return space != nullptr ? FatName(space->f_blocks) : "FAT32";
  if (IsOneOf(type, {"ntfs", "ntfs3"})) return "NTFS";
  if (type == "exfat") return "exFAT";
  return type;
}

bool IsBlockDevice(const MountEntry& entry) {
  struct stat st {};
  return entry.Major != 0 && entry.Source.starts_with("/dev/") && ::stat(entry.Source.c_str(), &st) == 0 &&
         S_ISBLK(st.st_mode);
}

// Blocks this process may fill: root may also use the blocks the file
// system keeps back from other users, and a wipe run as root must reach them.
std::uint64_t BlocksFreeToCaller(const struct statvfs& space) {
  return ::geteuid() == 0 ? space.f_bfree : space.f_bavail;
}

// The allocation unit: ext4's cluster where its superblock can be read,
// else the fragment size statvfs reports.
std::uint32_t ClusterBytes(int fd, const struct statvfs& space) {
  const std::uint32_t cluster = Ext4ClusterSize(fd);
  return cluster != 0 ? cluster : static_cast<std::uint32_t>(space.f_frsize);
}

std::uint32_t ClusterBytes(const std::string& path, const struct statvfs& space) {
  const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return static_cast<std::uint32_t>(space.f_frsize);
  const std::uint32_t cluster = ClusterBytes(fd, space);
  ::close(fd);
  return cluster;
}

}  // namespace

DiskSpace QueryDiskSpace(const std::string& path) {
  struct statvfs space {};
  if (::statvfs(path.c_str(), &space) != 0) return {};
  return {static_cast<std::int64_t>(space.f_blocks * space.f_frsize),
          static_cast<std::int64_t>(BlocksFreeToCaller(space) * space.f_frsize)};
}

std::uint32_t ClusterSizeOf(const std::string& path) {
  struct statvfs space {};
  return ::statvfs(path.c_str(), &space) == 0 ? ClusterBytes(path, space) : 0;
}

std::uint32_t ClusterSizeOfOpen(int fd) {
  struct statvfs space {};
  return ::fstatvfs(fd, &space) == 0 ? ClusterBytes(fd, space) : 0;
}

ClusterSizeMemo::ClusterSizeMemo(ClusterSizeMemo&& other) noexcept : sizes_(std::exchange(other.sizes_, {})) {}

ClusterSizeMemo& ClusterSizeMemo::operator=(ClusterSizeMemo&& other) noexcept {
  if (this != &other) {
    Forget();
    sizes_ = std::exchange(other.sizes_, {});
  }
  return *this;
}

ClusterSizeMemo::~ClusterSizeMemo() { Forget(); }

void ClusterSizeMemo::Forget() {
  for (const auto& [device, measured] : sizes_) ::close(measured.pin);
  sizes_.clear();
}

std::uint32_t ClusterSizeMemo::OfOpen(int fd, std::uint64_t device) {
  if (const auto known = sizes_.find(device); known != sizes_.end()) return known->second.size;
  const std::uint32_t measured = ClusterSizeOfOpen(fd);
  // A file system that could not be measured is asked again next time.
  if (measured == 0) return 0;
  const int pin = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (pin >= 0) sizes_.emplace(device, Measured{measured, pin});
  return measured;
}

std::int64_t FreeBytesOfOpen(int fd) {
  struct statvfs space {};
  if (::fstatvfs(fd, &space) != 0) return -1;
  return static_cast<std::int64_t>(BlocksFreeToCaller(space) * space.f_frsize);
}

Volume DescribeVolume(const MountEntry& entry, const std::string& path) {
  Volume volume;
  volume.RootDirectory = entry.MountPoint;
  volume.Device = entry.Source;

  std::optional<BlockDeviceFacts> block;
  if (IsBlockDevice(entry)) block = ProbeBlockDevice(entry.Source, entry.Major, entry.Minor);
  const BlockDeviceFacts* blockFacts = block ? &*block : nullptr;

  struct statvfs space {};
  const bool measured = ::statvfs(path.c_str(), &space) == 0 && space.f_frsize > 0;
  volume.FileSystem = FileSystemName(entry, blockFacts, measured ? &space : nullptr);
  volume.Kind = KindOf(entry, blockFacts);
  if (block) {
    volume.Label = block->Label;
    volume.Serial = SerialFromUuid(block->Uuid);
  }
  if (measured) {
    volume.TotalBytes = static_cast<std::int64_t>(space.f_blocks * space.f_frsize);
    volume.FreeBytes = static_cast<std::int64_t>(BlocksFreeToCaller(space) * space.f_frsize);
    // A cluster is the file system's allocation unit; it is counted in
    // sectors when it divides evenly, else taken whole as one sector.
    const std::uint32_t cluster = ClusterBytes(path, space);
    const std::uint32_t sector = block ? block->LogicalSectorSize : 512;
    volume.BytesPerSector = cluster % sector == 0 ? sector : cluster;
    volume.SectorsPerCluster = cluster / volume.BytesPerSector;
  }
  return volume;
}

std::optional<Volume> VolumeHoldingPath(const std::string& path) {
  const std::optional<MountEntry> mount = MountHoldingPath(path, ReadMountTable());
  if (!mount) return std::nullopt;
  return DescribeVolume(*mount, path);
}

}  // namespace omrek
