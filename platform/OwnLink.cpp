#include "platform/OwnLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace omrek {

std::string OwnFileBehindLink(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode) || link.st_uid != ::geteuid()) return path;
  const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr), &std::free);
  if (!target) return path;
  struct stat file {};
  if (::lstat(target.get(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_uid != ::geteuid()) return path;
  return target.get();
}

}  // namespace omrek
