#include "platform/KernelFileSystem.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>

#include "platform/MountTable.h"

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
// two apart. A tmpfs of the user's (/tmp) holds ordinary files.
bool IsDeviceFileSystem(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  for (const MountEntry& mount : ReadMountTable()) {
    if (mount.Major == major(st.st_dev) && mount.Minor == minor(st.st_dev)) return mount.Type == "devtmpfs";
  }
  return false;
}

}  // namespace

std::optional<std::string> KernelFileSystemOf(int fd) {
  struct statfs fileSystem {};
  if (::fstatfs(fd, &fileSystem) != 0) return std::nullopt;
  const auto type = static_cast<unsigned long>(fileSystem.f_type);
  for (const KernelFileSystem& known : kKernelFileSystems) {
    if (type == known.magic) return known.name;
  }
  if (type == TMPFS_MAGIC && IsDeviceFileSystem(fd)) return "devtmpfs";
  return std::nullopt;
}

}  // namespace omrek
