#include "platform/PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/GuardedFolder.h"

namespace omrek {

namespace {

[[noreturn]] void FailWithErrno(const std::string& path) {
  throw std::runtime_error(path + ": " + std::strerror(errno));
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }

 private:
  int fd_;
};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Only a link of root's in a folder of root's is followed: nobody else can
// have made it or put it there.
int OpenThroughRootsLink(int parent, const std::string& name, const std::string& path) {
  const int err = errno;
  struct stat link {};
  struct stat folder {};
  if (::fstatat(parent, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || ::fstat(parent, &folder) != 0) {
    FailWithErrno(path);
  }
  if (!S_ISLNK(link.st_mode)) {
    errno = err;
    FailWithErrno(path);
  }
  if (link.st_uid != 0 || folder.st_uid != 0) throw UntrustedPlace("the folder " + path + " is a symbolic link");
  const int fd = ::openat(parent, name.c_str(), kFolderFlags);
  if (fd < 0) FailWithErrno(path);
  return fd;
}

// The folder `name` in `parent`, made private when it is missing.
Descriptor OpenStep(int parent, const std::string& name, const std::string& path) {
  int fd = ::openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
  if (fd < 0 && errno == ENOENT) {
    // Made private at once: the umask can only take bits away, and no
    // change of mode by name follows that a swapped-in link could steer.
    if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) FailWithErrno(path);
    fd = ::openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW);
  }
  // A link opened with O_NOFOLLOW fails with ELOOP, or ENOTDIR when a folder
  // is asked for.
  if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) fd = OpenThroughRootsLink(parent, name, path);
  if (fd < 0) FailWithErrno(path);
  Descriptor folder(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0) FailWithErrno(path);
  if (status.st_uid != ::geteuid() && status.st_uid != 0) {
    throw UntrustedPlace("the folder " + path + " belongs to another user (uid " + std::to_string(status.st_uid) + ")");
  }
  return folder;
}

Descriptor OpenPrivateFolders(const std::string& folder) {
  const bool absolute = folder.starts_with('/');
  Descriptor current(::open(absolute ? "/" : ".", kFolderFlags));
  if (current.Get() < 0) FailWithErrno(absolute ? "/" : ".");
  std::string path = absolute ? "" : ".";
  std::size_t start = 0;
  while (start <= folder.size()) {
    const std::size_t end = std::min(folder.find('/', start), folder.size());
    const std::string name = folder.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") continue;
    path += "/" + name;
    current = OpenStep(current.Get(), name, path);
  }
  return current;
}

void WriteAll(int fd, const std::string& text, const std::string& path) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) FailWithErrno(path);
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace

void MakePrivateFolders(const std::string& folder) { OpenPrivateFolders(folder); }

void ReplaceFileInPrivateFolder(const std::string& folder, const std::string& name, const std::string& text,
                                unsigned mode) {
  const Descriptor place = OpenPrivateFolders(folder);
  const std::string path = folder + "/" + name;
  struct stat earlier {};
  if (::fstatat(place.Get(), name.c_str(), &earlier, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(earlier.st_mode)) {
    throw UntrustedPlace("the file " + path +
                         (S_ISLNK(earlier.st_mode) ? " is a symbolic link" : " is not a plain file"));
  }
  const std::string temporary = "." + name + ".new" + std::to_string(::getpid());
  const std::string temporaryPath = folder + "/" + temporary;
  ::unlinkat(place.Get(), temporary.c_str(), 0);  // left by a run that was killed
  const int fd = ::openat(place.Get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) FailWithErrno(temporaryPath);
  try {
    const Descriptor file(fd);
    WriteAll(fd, text, temporaryPath);
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) FailWithErrno(temporaryPath);
    if (::fsync(fd) != 0) FailWithErrno(temporaryPath);
    if (::renameat(place.Get(), temporary.c_str(), place.Get(), name.c_str()) != 0) FailWithErrno(path);
  } catch (...) {
    ::unlinkat(place.Get(), temporary.c_str(), 0);
    throw;
  }
}

}  // namespace omrek
