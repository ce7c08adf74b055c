#include "platform/FileAttributes.h"

#include <sys/stat.h>

#include <string_view>

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
  return FileAttributesOf(S_ISREG(st.st_mode), (st.st_mode & S_IWUSR) != 0, path);
}

std::uint32_t FileAttributesOf(bool regularFile, bool ownerWritable, std::string_view name) {
  std::uint32_t word = 0;
  if (!regularFile) word |= FileAttribute::Directory;
  if (!ownerWritable) word |= FileAttribute::ReadOnly;
  if (LastComponent(name).starts_with('.')) word |= FileAttribute::Hidden;
  return word;
}

}  // namespace omrek
