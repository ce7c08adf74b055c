#include "platform/GuardedFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Directory.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

[[noreturn]] void ThrowErrno(int error) { throw IoError::FromErrno(error); }

// Root runs with others' folders only at their owners' mercy, so root
// trusts root alone; anyone else trusts themselves and root.
bool TrustedOwner(uid_t owner) { return owner == ::geteuid() || owner == 0; }

// The new file's descriptor, closed on every path.
class NewFile {
 public:
  NewFile(int folder, const std::string& name) {
    // A ".new" left by a crash is only in the way: the entry goes, never
    // what a link there points at.
    for (int attempt = 0; attempt < 2; ++attempt) {
      fd_ = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd_ >= 0 || errno != EEXIST || attempt > 0) break;
      if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT) break;
    }
    if (fd_ < 0) ThrowErrno(errno);
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  ~NewFile() { ::close(fd_); }

  void Write(const std::string& text) const {
    for (std::size_t done = 0; done < text.size();) {
      const ssize_t written = ::write(fd_, text.data() + done, text.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) ThrowErrno(errno);
      done += static_cast<std::size_t>(written);
    }
    if (::fsync(fd_) != 0) ThrowErrno(errno);
  }

  void SetMode(mode_t mode) const {
    if (::fchmod(fd_, mode) != 0) ThrowErrno(errno);
  }

  struct stat Facts() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) ThrowErrno(errno);
    return st;
  }

 private:
  int fd_ = -1;
};

}  // namespace

GuardedFolder::GuardedFolder(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      throw UntrustedPlace("the folder " + path + " is a symbolic link");
    }
    ThrowErrno(error);
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int error = errno;
    ::close(fd_);
    ThrowErrno(error);
  }
  if (!TrustedOwner(st.st_uid)) {
    ::close(fd_);
    throw UntrustedPlace("the folder " + path + " belongs to another user");
  }
}

GuardedFolder::~GuardedFolder() { ::close(fd_); }

void GuardedFolder::Replace(const std::string& name, const std::string& text) const {
  mode_t mode = 0600;
  struct stat old {};
  if (::fstatat(fd_, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!TrustedOwner(old.st_uid)) {
      throw UntrustedPlace("the file " + PathInFolder(path_, name) + " belongs to another user");
    }
    // A read-only file is not replaced, even for root: its owner made it
    // read-only to keep it as it is.
    if (!S_ISREG(old.st_mode) || (old.st_mode & S_IWUSR) == 0) ThrowErrno(EACCES);
    // The settings keep whatever access their owner gave them, without
    // set-ID bits, which a settings file has no use for.
    mode = old.st_mode & 0777;
  } else if (errno != ENOENT) {
    ThrowErrno(errno);
  }

  const std::string temporary = name + ".new";
  const NewFile file(fd_, temporary);
  try {
    file.Write(text);
    file.SetMode(mode);
    if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) ThrowErrno(errno);
  } catch (...) {
    ::unlinkat(fd_, temporary.c_str(), 0);
    throw;
  }
  // Someone with rights in the folder may have put another entry in the
  // temporary's place before the rename: then the save did not happen.
  const struct stat written = file.Facts();
  struct stat now {};
  if (::fstatat(fd_, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || now.st_dev != written.st_dev ||
      now.st_ino != written.st_ino) {
    ThrowErrno(EACCES);
  }
  // The new name, too, must be on the medium before the save counts.
  if (::fsync(fd_) != 0) ThrowErrno(errno);
}

}  // namespace omrek
