#include "platform/FileSystemLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

#include "platform/FileSystemId.h"
#include "platform/IoError.h"
#include "platform/JournalFolder.h"

namespace omrek {

namespace {

[[noreturn]] void CannotLock(const std::string& what, int err) {
  const IoError error = IoError::FromErrno(err);
  throw IoError(error.Code(), "cannot lock " + what + ": " + error.what());
}

}  // namespace

std::optional<FileSystemLock> FileSystemLock::TryTake(const std::string& root) {
  const std::string id = FileSystemIdOf(root);
  if (id.empty()) CannotLock("the file system holding " + root, ENOENT);
  // Tried again and again while another copy holds it: the folder is
  // opened once for all.
  const std::shared_ptr<const JournalFolder> folder = JournalFolder::Shared();
  // The file stays when the lock goes: removing it would let a copy that
  // opened it just before lock a file that the next copy no longer finds.
  const std::string name = "lock-" + id;
  const std::string path = folder->Path() + "/" + name;
  const int fd =
      ::openat(folder->Fd(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) CannotLock(path, errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return FileSystemLock(fd);
  const int err = errno;
  ::close(fd);
  if (err == EWOULDBLOCK) return std::nullopt;
  CannotLock(path, err);
}

FileSystemLock::FileSystemLock(FileSystemLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

// The lock this one held goes with `other`.
FileSystemLock& FileSystemLock::operator=(FileSystemLock&& other) noexcept {
  std::swap(fd_, other.fd_);
  return *this;
}

FileSystemLock::~FileSystemLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace omrek
