#include "platform/BtrfsSpace.h"

#include <fcntl.h>
#include <linux/btrfs.h>
#include <linux/btrfs_tree.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/IoError.h"

namespace omrek {

namespace {

class OpenFolder {
 public:
  explicit OpenFolder(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) throw IoError::FromErrno(errno);
  }
  ~OpenFolder() { ::close(fd_); }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// The space kinds of the file system: the first call counts them, the
// second fills them in.
std::vector<btrfs_ioctl_space_info> SpaceKinds(int fd) {
  btrfs_ioctl_space_args counted{};
  if (::ioctl(fd, BTRFS_IOC_SPACE_INFO, &counted) != 0) throw IoError::FromErrno(errno);
  std::vector<std::uint64_t> words((sizeof(btrfs_ioctl_space_args) +
                                    counted.total_spaces * sizeof(btrfs_ioctl_space_info) + sizeof(std::uint64_t) - 1) /
                                   sizeof(std::uint64_t));
  auto* args = reinterpret_cast<btrfs_ioctl_space_args*>(words.data());
  args->space_slots = counted.total_spaces;
  if (::ioctl(fd, BTRFS_IOC_SPACE_INFO, args) != 0) throw IoError::FromErrno(errno);
  return {args->spaces, args->spaces + args->total_spaces};
}

}  // namespace

std::optional<std::uint64_t> BtrfsFreeMetadataBytes(const std::string& path) {
  const OpenFolder folder(path);
  struct statfs facts {};
  if (::fstatfs(folder.Fd(), &facts) != 0) throw IoError::FromErrno(errno);
  if (static_cast<unsigned long>(facts.f_type) != BTRFS_SUPER_MAGIC) return std::nullopt;
  std::uint64_t free = 0;
  // Block groups of metadata, mixed ones too; the global reserve is an
  // account of that same space, not more of it.
  for (const btrfs_ioctl_space_info& kind : SpaceKinds(folder.Fd())) {
    if ((kind.flags & BTRFS_BLOCK_GROUP_METADATA) != 0 && (kind.flags & BTRFS_SPACE_INFO_GLOBAL_RSV) == 0 &&
        kind.total_bytes > kind.used_bytes) {
      free += kind.total_bytes - kind.used_bytes;
    }
  }
  return free;
}

}  // namespace omrek
