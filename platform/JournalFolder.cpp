#include "platform/JournalFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace omrek {

namespace {

std::string Why(const std::string& folder, const std::string& why) {
  return "cannot keep the journal of work in flight in " + folder + ": " + why;
}

// Makes the folders of `path` that are missing, owner-only.
void MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(path.c_str(), 0700);
}

}  // namespace

JournalError::JournalError(const std::string& folder, int err)
    : IoError(IoError::FromErrno(EIO).Code(), Why(folder, IoError::FromErrno(err).what())),
      roomRanOut_(IoError::FromErrno(err).DiskFull()) {}

JournalError::JournalError(const std::string& folder, const std::string& why)
    : IoError(IoError::FromErrno(EIO).Code(), Why(folder, why)) {}

std::string JournalFolderPath() {
  if (::geteuid() == 0) return "/var/lib/omrek";
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && state[0] == '/') {
    return std::string(state) + "/omrek";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return std::string(home) + "/.local/state/omrek";
  }
  // Started without a home in its environment (a service, cron): the
  // user's home from the password database.
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return std::string(found->pw_dir) + "/.local/state/omrek";
  }
  return {};
}

JournalFolder JournalFolder::Open() {
  const std::string path = JournalFolderPath();
  if (path.empty()) throw JournalError("~/.local/state/omrek", "no home folder");
  MakeFolders(path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) throw JournalError(path, errno);
  JournalFolder folder(path, fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) throw JournalError(path, "the folder is not this user's");
  if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0) throw JournalError(path, "others may read it");
  return folder;
}

std::shared_ptr<const JournalFolder> JournalFolder::Shared() {
  static std::mutex guard;
  static std::weak_ptr<const JournalFolder> open;
  const std::lock_guard<std::mutex> lock(guard);
  std::shared_ptr<const JournalFolder> folder = open.lock();
  if (!folder) {
    folder = std::make_shared<const JournalFolder>(Open());
    open = folder;
  }
  return folder;
}

JournalFolder::JournalFolder(JournalFolder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

JournalFolder::~JournalFolder() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace omrek
