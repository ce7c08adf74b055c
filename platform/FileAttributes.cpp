#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <string_view>

#include "platform/IoError.h"

namespace omrek {

namespace {

std::string_view LastComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const auto slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::uint32_t ReadFileAttributes(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return FileAttribute::Invalid;

  std::uint32_t word = 0;
  if (!S_ISREG(st.st_mode)) word |= FileAttribute::Directory;
  if ((st.st_mode & S_IWUSR) == 0) word |= FileAttribute::ReadOnly;
  if (LastComponent(path).starts_with('.')) word |= FileAttribute::Hidden;
  return word;
}

void WriteFileAttributes(const std::string& path, std::uint32_t word) {
  // Through a descriptor opened without following links, so the change can
  // only ever reach the regular file the path names.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw IoError::FromErrno(errno);
  struct stat st {};
  int error = 0;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = EACCES;
  } else {
    const mode_t mode =
        (word & FileAttribute::ReadOnly) != 0 ? st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : st.st_mode | S_IWUSR;
    if (mode != st.st_mode && ::fchmod(fd, mode & 07777) != 0) error = errno;
  }
  ::close(fd);
  if (error != 0) throw IoError::FromErrno(error);
}

}  // namespace omrek
