#include "platform/KernelFileSystem.h"

#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include <map>
#include <mutex>
#include <utility>

#include "platform/MountTable.h"
#include "platform/MountWatch.h"

namespace omrek {

namespace {

struct KernelFileSystem {
  unsigned long magic;
  const char* name;
};

// Not every kernel header names these.
constexpr unsigned long kConfigFsMagic = 0x62656570;
constexpr unsigned long kMqueueMagic = 0x19800202;
constexpr unsigned long kFuseControlMagic = 0x65735543;

// The magic numbers statfs reports.
constexpr KernelFileSystem kKernelFileSystems[] = {
    {PROC_SUPER_MAGIC, "proc"},
    {SYSFS_MAGIC, "sysfs"},
    {DEBUGFS_MAGIC, "debugfs"},
    {SECURITYFS_MAGIC, "securityfs"},
    {SELINUX_MAGIC, "selinuxfs"},
    {SMACK_MAGIC, "smackfs"},
    {CGROUP_SUPER_MAGIC, "cgroup"},
    {CGROUP2_SUPER_MAGIC, "cgroup2"},
    {RDTGROUP_SUPER_MAGIC, "resctrl"},
    {TRACEFS_MAGIC, "tracefs"},
    {BPF_FS_MAGIC, "bpf"},
    {kConfigFsMagic, "configfs"},
    {PSTOREFS_MAGIC, "pstore"},
    {EFIVARFS_MAGIC, "efivarfs"},
    {HUGETLBFS_MAGIC, "hugetlbfs"},
    {kMqueueMagic, "mqueue"},
    {DEVPTS_SUPER_MAGIC, "devpts"},
    {BINFMTFS_MAGIC, "binfmt_misc"},
    {NSFS_MAGIC, "nsfs"},
    {kFuseControlMagic, "fusectl"},
};

// devtmpfs reports tmpfs's magic number; only the mount table tells the
// two apart. A tmpfs of the user's (/tmp) holds ordinary files. The table
// is read again only once the kernel marks it changed (POLLPRI on an open
// descriptor of it, cleared by that poll): reading and parsing it for
// every file opened on a tmpfs cost more than the file's own writes.
class DeviceFileSystems {
 public:
  bool Holds(dev_t device) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!loaded_ || Changed()) Reload();
    const auto found = devtmpfs_.find({major(device), minor(device)});
    return found != devtmpfs_.end() && found->second;
  }

 private:
  bool Changed() const {
    if (watch_.Descriptor() < 0) return true;
    pollfd table{watch_.Descriptor(), POLLPRI, 0};
    return ::poll(&table, 1, 0) != 0;
  }

  // Of several mounts of one device, the first listed tells its type.
  void Reload() {
    devtmpfs_.clear();
    for (const MountEntry& mount : ReadMountTable()) {
      devtmpfs_.emplace(std::make_pair(mount.Major, mount.Minor), mount.Type == "devtmpfs");
    }
    loaded_ = true;
  }

  std::mutex mutex_;
  // Opened before the first reading, so no change can fall between the two.
  MountWatch watch_;
  bool loaded_ = false;
  std::map<std::pair<unsigned, unsigned>, bool> devtmpfs_;
};

bool IsDeviceFileSystem(dev_t device) {
  static DeviceFileSystems mounts;
  return mounts.Holds(device);
}

}  // namespace

std::optional<std::string> KernelFileSystemOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return KernelFileSystemOf(fd, st.st_dev);
}

std::optional<std::string> KernelFileSystemOf(int fd, std::uint64_t device) {
  bool told = false;
  return KernelFileSystemOf(fd, device, told);
}

std::optional<std::string> KernelFileSystemOf(int fd, std::uint64_t device, bool& told) {
  struct statfs fileSystem {};
  told = ::fstatfs(fd, &fileSystem) == 0;
  if (!told) return std::nullopt;
  const auto type = static_cast<unsigned long>(fileSystem.f_type);
  for (const KernelFileSystem& known : kKernelFileSystems) {
    if (type == known.magic) return known.name;
  }
  if (type == TMPFS_MAGIC && IsDeviceFileSystem(static_cast<dev_t>(device))) return "devtmpfs";
  return std::nullopt;
}

}  // namespace omrek
