#include "platform/FileSystemId.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <sstream>

namespace omrek {

namespace {

std::string Formatted(const struct statfs& facts) {
  std::ostringstream id;
  id << std::hex << facts.f_fsid.__val[0] << '-' << facts.f_fsid.__val[1];
  return id.str();
}

}  // namespace

std::string FileSystemIdOfOpen(int fd) {
  struct statfs facts {};
  if (::fstatfs(fd, &facts) != 0) return {};
  if (facts.f_fsid.__val[0] != 0 || facts.f_fsid.__val[1] != 0) return Formatted(facts);
  // FUSE and a few others give every file system the id 0: the device
  // at least tells those mounted now apart.
  struct stat st {};
  if (::fstat(fd, &st) != 0) return {};
  std::ostringstream id;
  id << "dev-" << std::hex << st.st_dev;
  return id.str();
}

std::string FileSystemIdOf(const std::string& path) {
  const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return {};
  const std::string id = FileSystemIdOfOpen(fd);
  ::close(fd);
  return id;
}

}  // namespace omrek
