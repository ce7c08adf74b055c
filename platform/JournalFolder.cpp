#include "platform/JournalFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/IoError.h"

namespace omrek {

namespace {

[[noreturn]] void CannotKeep(const std::string& path, const std::string& why, int code) {
  throw IoError(code, "cannot keep the journal of work in flight in " + path + ": " + why);
}

// Makes the folders of `path` that are missing, owner-only.
void MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(path.c_str(), 0700);
}

}  // namespace

std::string JournalFolderPath() {
  if (::geteuid() == 0) return "/var/lib/omrek";
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    return std::string(state) + "/omrek";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/state/omrek";
}

JournalFolder JournalFolder::Open() {
  const std::string path = JournalFolderPath();
  if (!path.starts_with('/')) CannotKeep(path, "no home folder", EACCES);
  MakeFolders(path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const IoError error = IoError::FromErrno(errno);
    CannotKeep(path, error.what(), error.Code());
  }
  JournalFolder folder(path, fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) CannotKeep(path, "the folder is not this user's", EACCES);
  if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) CannotKeep(path, "others may read it", EACCES);
  return folder;
}

JournalFolder::JournalFolder(JournalFolder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

JournalFolder::~JournalFolder() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace omrek
