#include "platform/Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int OpenFolder(int parent, const std::string& name) {
  const int fd = ::openat(parent, name.c_str(), kFolderFlags);
  if (fd < 0) throw IoError::FromErrno(errno);
  return fd;
}

Directory::EntryKind KindOf(int folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return Directory::EntryKind::Folder;
    case DT_REG:
      return Directory::EntryKind::File;
    case DT_UNKNOWN:
      break;
    default:
      return Directory::EntryKind::Other;
  }
  struct stat st {};
  if (::fstatat(folder, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Directory::EntryKind::Other;
  if (S_ISDIR(st.st_mode)) return Directory::EntryKind::Folder;
  return S_ISREG(st.st_mode) ? Directory::EntryKind::File : Directory::EntryKind::Other;
}

}  // namespace

std::string PathInFolder(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

Directory::Directory(int fd) : fd_(fd) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    ::close(fd_);
    throw IoError::FromErrno(error);
  }
  device_ = st.st_dev;
  inode_ = st.st_ino;
}

Directory Directory::Open(const std::string& path) { return Directory(OpenFolder(AT_FDCWD, path)); }

Directory Directory::OpenChild(const std::string& name) const { return Directory(OpenFolder(fd_, name)); }

Directory::Directory(Directory&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), device_(other.device_), inode_(other.inode_) {}

Directory::~Directory() {
  if (fd_ >= 0) ::close(fd_);
}

std::uint64_t Directory::AllocatedBytes(const std::string& name) const {
  struct stat st {};
  if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

void Directory::DeleteEntry(const std::string& name) const {
  if (::unlinkat(fd_, name.c_str(), 0) != 0) throw IoError::FromErrno(errno);
}

void Directory::Flush() const {
  if (::fsync(fd_) != 0) throw IoError::FromErrno(errno);
}

std::vector<Directory::Entry> Directory::Entries() const {
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
    Entry found{entry->d_name, KindOf(listing, *entry)};
    struct stat st {};
    if (found.kind != EntryKind::Other &&
        ::fstatat(listing, entry->d_name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0) {
      found.device = st.st_dev;
    }
    entries.push_back(std::move(found));
  }
  ::closedir(stream);
  return entries;
}

}  // namespace omrek
