#include "platform/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/IoError.h"

namespace omrek {

namespace {

[[noreturn]] void ThrowErrno() { throw IoError::FromErrno(errno); }

int OpenOrThrow(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowErrno();
  return fd;
}

struct stat StatOrThrow(int fd) {
  struct stat st{};
  if (::fstat(fd, &st) != 0) ThrowErrno();
  return st;
}

bool IsWritableRegularFile(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0; }

}  // namespace

FileHandle FileHandle::OpenExisting(const std::string& path, Access access) {
  FileHandle file(OpenOrThrow(path, access == Access::Read ? O_RDONLY : O_RDWR));
  if (access == Access::ReadWrite && !IsWritableRegularFile(StatOrThrow(file.fd_))) {
    throw IoError::FromErrno(EACCES);
  }
  return file;
}

FileHandle FileHandle::Create(const std::string& path) {
  FileHandle file(OpenOrThrow(path, O_RDWR | O_CREAT | O_TRUNC, 0644));
  if (!S_ISREG(StatOrThrow(file.fd_).st_mode)) throw IoError::FromErrno(EACCES);
  return file;
}

void FileHandle::Delete(const std::string& path) {
  if (::unlink(path.c_str()) != 0) ThrowErrno();
}

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileHandle::~FileHandle() {
  if (fd_ >= 0) ::close(fd_);
}

std::uint64_t FileHandle::Size() const { return static_cast<std::uint64_t>(StatOrThrow(fd_).st_size); }

std::size_t FileHandle::ReadAt(void* buffer, std::size_t count, std::uint64_t offset) const {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno();
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void FileHandle::WriteAt(const void* buffer, std::size_t count, std::uint64_t offset, std::size_t* written) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  if (written != nullptr) *written = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno();
    // A write that makes no progress and reports no error means no room.
    if (n == 0) throw IoError::FromErrno(ENOSPC);
    done += static_cast<std::size_t>(n);
    if (written != nullptr) *written = done;
  }
}

void FileHandle::SetLength(std::uint64_t length) {
  int rc;
  do {
    rc = ::ftruncate(fd_, static_cast<off_t>(length));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) ThrowErrno();
}

void FileHandle::Flush() {
  if (::fsync(fd_) != 0) ThrowErrno();
}

void FileHandle::StartWriteback(std::uint64_t offset, std::uint64_t length) {
  ::sync_file_range(fd_, static_cast<off64_t>(offset), static_cast<off64_t>(length), SYNC_FILE_RANGE_WRITE);
}

void FileHandle::Close() {
  // The descriptor is gone after close() whatever it reports, so it is never
  // closed twice.
  const int fd = std::exchange(fd_, -1);
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) ThrowErrno();
}

}  // namespace omrek
