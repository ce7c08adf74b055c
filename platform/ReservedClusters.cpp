#include "platform/ReservedClusters.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/BlockDevice.h"
#include "platform/IoError.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

// The pool's control file for the file system holding `path`, or empty.
std::string ControlFileFor(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  const std::string name = KernelDeviceName(st.st_dev);
  if (name.empty()) return {};
  const std::string control = "/sys/fs/ext4/" + name + "/reserved_clusters";
  return ::access(control.c_str(), F_OK) == 0 ? control : std::string();
}

std::string ReadValue(const std::string& control) {
  std::ifstream file(control);
  std::string value;
  if (!(file >> value)) throw IoError::FromErrno(EIO);
  return value;
}

void WriteValue(const std::string& control, const std::string& value) {
  const int fd = ::open(control.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) throw IoError::FromErrno(errno);
  const bool written = ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
  const int error = errno;
  ::close(fd);
  if (!written) throw IoError::FromErrno(error);
}

std::uint64_t PoolBytes(const std::string& path) {
  const std::string control = ControlFileFor(path);
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
  const std::string control = ControlFileFor(path);
  if (control.empty()) return;
  const std::string oldValue = ReadValue(control);
  WriteValue(control, "0");
  control_ = control;
  oldValue_ = oldValue;
}

LoweredReserve::~LoweredReserve() {
  if (control_.empty()) return;
  try {
    WriteValue(control_, oldValue_);
  } catch (const IoError&) {
    // Nothing more can be done here; the kernel sets the pool anew at the
    // next mount.
  }
}

}  // namespace omrek
