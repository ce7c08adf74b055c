#pragma once

#include <cstdint>
#include <string>

namespace omrek {

// What the disk itself says about a block device, beyond the mount table.
struct BlockDeviceFacts {
  std::string Label;
  std::string Uuid;
  std::string Type;  // as libblkid names it: "ext4", "vfat", "ntfs", ...
  bool Removable = false;
  std::uint32_t LogicalSectorSize = 512;
};

// Reads label and UUID from the device's superblock (needs read access to
// the device; otherwise from udev's /dev/disk links where they exist), and
// the removable flag and sector size from sysfs. Fields it cannot learn keep
// their defaults.
BlockDeviceFacts ProbeBlockDevice(const std::string& devicePath, unsigned major, unsigned minor);

// The 32-bit volume serial for a UUID as Windows would show it: a FAT
// serial "2E18-17E6" is the number itself, an NTFS serial keeps its low 32
// bits, any other UUID gives its first eight hex digits.
std::uint32_t SerialFromUuid(const std::string& uuid);

// The kernel's name for the block device with this device number ("loop3",
// "sda1", "dm-0"): the name of its node in /dev and of its folders in sysfs.
// Empty when the number names no block device.
std::string KernelDeviceName(std::uint64_t device);

}  // namespace omrek
