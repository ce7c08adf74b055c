#include "platform/Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/FileSystemId.h"
#include "platform/IoError.h"
#include "platform/KernelFileSystem.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int OpenFolder(int parent, const std::string& name) {
  const int fd = ::openat(parent, name.c_str(), kFolderFlags);
  if (fd < 0) throw IoError::FromErrno(errno);
  return fd;
}

// One call for the whole walk where the kernel can refuse every link on
// the way by itself; -1 with errno set where it cannot (an older kernel, a
// path longer than it takes) or the walk fails.
int WalkInOneCall(const std::string& path) {
  if (path.size() >= PATH_MAX) {
    errno = ENAMETOOLONG;
    return -1;
  }
  open_how how{};
  how.flags = static_cast<std::uint64_t>(kFolderFlags);
  how.resolve = RESOLVE_NO_SYMLINKS;
  return static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how));
}

// The walk a name at a time, with the same refusal of links.
int WalkByName(const std::string& path) {
  int fd = ::open(path.starts_with('/') ? "/" : ".", kFolderFlags);
  for (std::size_t start = 0; fd >= 0 && start < path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    const int next = ::openat(fd, name.c_str(), kFolderFlags);
    const int error = errno;
    ::close(fd);
    fd = next;
    errno = error;
  }
  return fd;
}

// The errors of a file system that cannot rename without replacing.
bool RefusesNoReplace(int error) {
  return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

Directory::EntryKind KindOf(unsigned char type, std::uint16_t mode) {
  if (type == DT_DIR || (type == DT_UNKNOWN && S_ISDIR(mode))) return Directory::EntryKind::Folder;
  if (type == DT_REG || (type == DT_UNKNOWN && S_ISREG(mode))) return Directory::EntryKind::File;
  return Directory::EntryKind::Other;
}

Directory::EntryFacts FactsOf(const struct statx& stx) {
  return {{makedev(stx.stx_dev_major, stx.stx_dev_minor), stx.stx_ino},
          S_ISREG(stx.stx_mode),
          {stx.stx_uid == EffectiveUser(), stx.stx_nlink},
          stx.stx_blocks * 512,
          stx.stx_size,
          (stx.stx_mode & S_IWUSR) != 0};
}

// One entry as it is, not following a link nor setting off an automount;
// with no facts when it is gone already.
Directory::Entry LookAt(int listing, const dirent& entry, std::uint64_t folderDevice, std::uint64_t folderMount) {
  struct statx stx {};
  const unsigned int wanted = STATX_BASIC_STATS | STATX_MNT_ID;
  if (::statx(listing, entry.d_name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &stx) != 0) {
    return {entry.d_name, KindOf(entry.d_type, 0)};
  }
  Directory::Entry found{entry.d_name, KindOf(entry.d_type, stx.stx_mode)};
  found.facts = FactsOf(stx);
  const bool mountRoot =
      (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  const bool otherMount = (stx.stx_mask & STATX_MNT_ID) != 0 && folderMount != 0 && stx.stx_mnt_id != folderMount;
  found.mountPoint = mountRoot || otherMount || found.facts->identity.device != folderDevice;
  return found;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string PathInFolder(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

std::string CleanPath(const std::string& path) {
  std::vector<std::string> names;
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    if (name == ".." && !names.empty() && names.back() != "..") {
      names.pop_back();
    } else if (name != ".." || !path.starts_with('/')) {
      names.push_back(std::move(name));
    }
  }
  std::string clean = path.starts_with('/') ? "/" : "";
  for (const std::string& name : names) clean = clean.empty() ? name : PathInFolder(clean, name);
  return clean.empty() ? "." : clean;
}

std::string RealPath(const std::string& path) {
  // A path longer than the system resolves stays as given.
  if (path.size() >= PATH_MAX) return path;
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : path;
}

Directory::Directory(int fd) : fd_(fd) {
  struct statx stx {};
  if (::statx(fd_, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &stx) != 0) {
    const int error = errno;
    ::close(fd_);
    throw IoError::FromErrno(error);
  }
  device_ = makedev(stx.stx_dev_major, stx.stx_dev_minor);
  inode_ = stx.stx_ino;
  // 0 where the kernel cannot say which mount the folder was reached through.
  mountId_ = (stx.stx_mask & STATX_MNT_ID) != 0 ? stx.stx_mnt_id : 0;
}

Directory Directory::Open(const std::string& path) { return Directory(OpenFolder(AT_FDCWD, path)); }

Directory Directory::Walk(const std::string& path) {
  int fd = WalkInOneCall(path);
  if (fd < 0) fd = WalkByName(path);
  if (fd < 0) throw IoError::FromErrno(errno);
  return Directory(fd);
}

Directory Directory::OpenChild(const std::string& name) const { return Directory(OpenFolder(fd_, name)); }

Directory::Directory(Directory&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      device_(other.device_),
      inode_(other.inode_),
      mountId_(other.mountId_),
      fileSystemKind_(other.fileSystemKind_.load()) {}

std::optional<std::uint64_t> Directory::DiskDevice() const {
  if (fileSystemKind_.load() == FileSystemKind::Unknown) {
    // A file system that could not be told is asked again, file by file.
    bool told = false;
    const bool kernel = KernelFileSystemOf(fd_, device_, told).has_value();
    if (told) fileSystemKind_.store(kernel ? FileSystemKind::Kernel : FileSystemKind::Disk);
  }
  if (fileSystemKind_.load() == FileSystemKind::Disk) return device_;
  return std::nullopt;
}

FileHandle Directory::OpenSeenFile(const std::string& name, const EntryFacts& seen) const {
  if (fileSystemKind_.load() != FileSystemKind::Disk || !seen.regularFile) {
    return OpenFile(name, FileHandle::Access::ReadWrite);
  }
  return FileHandle::OpenForWritingIn(fd_, name, device_, seen.identity);
}

Directory::~Directory() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<Directory::EntryFacts> Directory::Examine(const std::string& name) const {
  struct statx stx {};
  if (::statx(fd_, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &stx) != 0) {
    return std::nullopt;
  }
  return FactsOf(stx);
}

Directory::Rename Directory::RenameEntry(const std::string& from, const std::string& to) const {
  if (::renameat2(fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) == 0) return Rename::Done;
  if (errno == EEXIST) return Rename::NameTaken;
  if (!RefusesNoReplace(errno)) throw IoError::FromErrno(errno);
  // Network and FUSE file systems may not take the flag. A plain rename
  // then, to a name this folder's descriptor has just shown free: nothing of
  // anyone's is replaced unless it is made in that instant.
  struct stat st {};
  if (::fstatat(fd_, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return Rename::NameTaken;
  if (errno != ENOENT) return Rename::Unsupported;
  if (::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0) return Rename::DonePlainly;
  if (RefusesNoReplace(errno)) return Rename::Unsupported;
  throw IoError::FromErrno(errno);
}

void Directory::RemoveEntry(const std::string& name) const {
  if (::unlinkat(fd_, name.c_str(), 0) != 0) throw IoError::FromErrno(errno);
}

bool Directory::Names(const std::string& name, const FileIdentity& identity) const {
  const auto facts = Examine(name);
  return facts && facts->identity == identity;
}

std::uint64_t Directory::RemoveEntryOf(const std::string& name, const FileIdentity& identity) const {
  const auto facts = Examine(name);
  if (!facts || facts->identity != identity) throw IoError::FromErrno(ENOENT);
  RemoveEntry(name);
  return facts->ownership.links;
}

void Directory::RemoveFolderOf(const std::string& name, const FileIdentity& identity) const {
  if (!Names(name, identity)) throw IoError::FromErrno(ENOENT);
  // Only an empty folder can go, so one swapped in since the check loses
  // nothing.
  if (::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) != 0) throw IoError::FromErrno(errno);
}

std::uint32_t Directory::ClusterSize() const { return ClusterSizeOfOpen(fd_); }

std::uint32_t Directory::ClusterSize(ClusterSizeMemo& memo) const { return memo.OfOpen(fd_, device_); }

std::string Directory::FileSystemId() const { return FileSystemIdOfOpen(fd_); }

std::int64_t Directory::FreeBytes() const { return FreeBytesOfOpen(fd_); }

void Directory::Flush() const {
  if (::fsync(fd_) != 0) throw IoError::FromErrno(errno);
}

std::vector<Directory::Entry> Directory::Entries(const std::set<std::string>& mounted) const {
  // A second descriptor for the listing, so this one keeps its own state.
  const int listing = ::openat(fd_, ".", kFolderFlags);
  if (listing < 0) throw IoError::FromErrno(errno);
  DIR* stream = ::fdopendir(listing);
  if (stream == nullptr) {
    const int error = errno;
    ::close(listing);
    throw IoError::FromErrno(error);
  }
  std::vector<Entry> entries;
  while (const dirent* entry = ::readdir(stream)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    if (mounted.contains(entry->d_name)) {
      entries.push_back({entry->d_name, entry->d_type == DT_DIR ? EntryKind::Folder : EntryKind::Other, true});
      continue;
    }
    entries.push_back(LookAt(listing, *entry, device_, mountId_));
  }
  ::closedir(stream);
  return entries;
}

}  // namespace omrek
