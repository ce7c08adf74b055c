#include "platform/ReservedClusters.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

#include "platform/BlockDevice.h"
#include "platform/FileSystemId.h"
#include "platform/IoError.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

constexpr const char* kNotes = "/run/omrek";
constexpr std::string_view kNotePrefix = "reserved-";

std::string DeviceNameOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? KernelDeviceName(st.st_dev) : std::string();
}

std::string ControlFileOf(const std::string& device) { return "/sys/fs/ext4/" + device + "/reserved_clusters"; }

// The pool's control file for the file system on `device`, or empty.
std::string ControlFileFor(const std::string& device) {
  if (device.empty()) return {};
  const std::string control = ControlFileOf(device);
  return ::access(control.c_str(), F_OK) == 0 ? control : std::string();
}

// A note of a lowered pool: "<old size> <file system id> <root>".
struct ReserveNote {
  std::string value;
  std::string fileSystem;
  std::string root;

  static std::optional<ReserveNote> Read(int fd) {
    std::string text(4096, '\0');
    const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
    if (got <= 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(got));
    std::istringstream fields(text);
    ReserveNote note;
    if (!(fields >> note.value >> note.fileSystem) || fields.get() != ' ' || !std::getline(fields, note.root)) {
      return std::nullopt;
    }
    return note;
  }

  void Write(int fd) const {
    const std::string text = value + ' ' + fileSystem + ' ' + root;
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
      throw IoError::FromErrno(errno);
    }
  }

  // True when `root` still holds the file system the note was made for,
  // on the device it was made for.
  bool StillMounted(const std::string& device) const {
    return !fileSystem.empty() && FileSystemIdOf(root) == fileSystem && DeviceNameOf(root) == device;
  }
};

std::string ReadValue(const std::string& control) {
  std::ifstream file(control);
  std::string value;
  if (!(file >> value)) throw IoError::FromErrno(EIO);
  return value;
}

void WriteValue(const std::string& control, const std::string& value) {
  const int fd = ::open(control.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw IoError::FromErrno(errno);
  const bool written = ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
  const int error = errno;
  ::close(fd);
  if (!written) throw IoError::FromErrno(error);
}

std::uint64_t PoolBytes(const std::string& path) {
  const std::string control = ControlFileFor(DeviceNameOf(path));
  if (control.empty()) return 0;
  try {
    return std::stoull(ReadValue(control)) * ClusterSizeOf(path);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

std::uint64_t FreeBytesOutOfReach(const std::string& path) {
  if (::geteuid() == 0) return PoolBytes(path);
  // statvfs leaves both the pool and root's blocks out of what others may
  // use.
  struct statvfs space {};
  if (::statvfs(path.c_str(), &space) != 0 || space.f_bfree < space.f_bavail) return 0;
  return (space.f_bfree - space.f_bavail) * space.f_frsize;
}

LoweredReserve::LoweredReserve(const std::string& path) {
  const std::string device = DeviceNameOf(path);
  const std::string control = ControlFileFor(device);
  if (control.empty()) return;
  ReserveNote mine{ReadValue(control), FileSystemIdOf(path), path};
  ::mkdir(kNotes, 0700);
  const std::string notePath = std::string(kNotes) + "/" + std::string(kNotePrefix) + device;
  const int fd = ::open(notePath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    // A note of this file system means the pool is empty already, by a copy
    // still running or one that was killed: the size it notes is the real one.
    if (const auto noted = ReserveNote::Read(fd); noted && noted->fileSystem == mine.fileSystem) {
      mine.value = noted->value;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      try {
        mine.Write(fd);
        note_ = notePath;
        noteFd_ = fd;
      } catch (const IoError&) {
        ::close(fd);
      }
    } else {
      ::close(fd);
    }
  }
  try {
    WriteValue(control, "0");
  } catch (const IoError&) {
    if (!note_.empty()) ::unlink(note_.c_str());
    if (noteFd_ >= 0) ::close(noteFd_);
    throw;
  }
  control_ = control;
  oldValue_ = mine.value;
}

LoweredReserve::~LoweredReserve() {
  if (control_.empty()) return;
  try {
    WriteValue(control_, oldValue_);
  } catch (const IoError&) {
    // Nothing more can be done here; the kernel sets the pool anew at the
    // next mount.
  }
  if (!note_.empty()) ::unlink(note_.c_str());
  if (noteFd_ >= 0) ::close(noteFd_);
}

std::vector<std::string> PutBackReservesOfKilledRuns() {
  std::vector<std::string> putBack;
  DIR* folder = ::opendir(kNotes);
  if (folder == nullptr) return putBack;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (!name.starts_with(kNotePrefix)) continue;
    const int fd = ::openat(::dirfd(folder), name.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    // A copy that is running holds its note locked.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      const std::string device = name.substr(kNotePrefix.size());
      const auto note = ReserveNote::Read(fd);
      try {
        if (note && note->StillMounted(device) && ReadValue(ControlFileOf(device)) != note->value) {
          WriteValue(ControlFileOf(device), note->value);
          putBack.push_back(note->root);
        }
      } catch (const IoError&) {
        // The kernel sets the pool anew at the next mount.
      }
      // One not written yet may be a copy's that has just made it.
      if (note) ::unlinkat(::dirfd(folder), name.c_str(), 0);
    }
    ::close(fd);
  }
  ::closedir(folder);
  return putBack;
}

}  // namespace omrek
