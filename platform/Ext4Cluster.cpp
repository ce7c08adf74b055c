#include "platform/Ext4Cluster.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <array>

#include "platform/BlockDevice.h"

namespace omrek {

namespace {

// Where the superblock lies and the fields read from it.
constexpr off_t kSuperblockOffset = 1024;
constexpr std::size_t kLogBlockSize = 0x18;
constexpr std::size_t kLogClusterSize = 0x1C;
constexpr std::size_t kMagic = 0x38;
constexpr std::size_t kFeatureRoCompat = 0x64;
constexpr std::uint32_t kRoCompatBigalloc = 0x0200;
// Sizes beyond this are no ext4 cluster but a damaged superblock.
constexpr std::uint32_t kLargestLog = 20;

std::uint32_t LittleEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

std::uint32_t Ext4ClusterSize(int fd) {
  struct statfs fileSystem {};
  struct stat st {};
  if (::fstatfs(fd, &fileSystem) != 0 || fileSystem.f_type != EXT4_SUPER_MAGIC || ::fstat(fd, &st) != 0) {
    return 0;
  }
  const std::string name = KernelDeviceName(st.st_dev);
  if (name.empty()) return 0;
  const int deviceFd = ::open(("/dev/" + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (deviceFd < 0) return 0;
  struct stat device {};
  std::array<unsigned char, 1024> superblock{};
  // The node must be the very device the file lies on, not whatever took
  // its name in /dev.
  const bool read =
      ::fstat(deviceFd, &device) == 0 && S_ISBLK(device.st_mode) && device.st_rdev == st.st_dev &&
      ::pread(deviceFd, superblock.data(), superblock.size(), kSuperblockOffset) ==
          static_cast<ssize_t>(superblock.size());
  ::close(deviceFd);
  if (!read || LittleEndian(&superblock[kMagic], 2) != EXT4_SUPER_MAGIC) return 0;
  const bool bigalloc = (LittleEndian(&superblock[kFeatureRoCompat], 4) & kRoCompatBigalloc) != 0;
  const std::uint32_t log = LittleEndian(&superblock[bigalloc ? kLogClusterSize : kLogBlockSize], 4);
  return log <= kLargestLog ? 1024u << log : 0;
}

}  // namespace omrek
