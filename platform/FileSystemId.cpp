#include "platform/FileSystemId.h"

#include <sys/statfs.h>

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
  return ::fstatfs(fd, &facts) == 0 ? Formatted(facts) : std::string();
}

std::string FileSystemIdOf(const std::string& path) {
  struct statfs facts {};
  return ::statfs(path.c_str(), &facts) == 0 ? Formatted(facts) : std::string();
}

}  // namespace omrek
