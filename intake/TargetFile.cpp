#include "intake/TargetFile.h"

#include "platform/FileAttributes.h"
#include "platform/FileHandle.h"

namespace omrek {

bool IsFolder(const std::string& path) {
  // Signed on purpose: the query's failure value (all bits set) must count as
  // a folder, so a vanished file is skipped rather than reported.
  const auto word = static_cast<std::int32_t>(ReadFileAttributes(path));
  return (word & static_cast<std::int32_t>(FileAttribute::Directory)) > 0;
}

std::uint64_t FileSizeOf(const std::string& path) {
  return FileHandle::OpenExisting(path, FileHandle::Access::Read).Size();
}

std::string SizeToKbText(std::uint64_t bytes) {
  std::uint64_t kb = bytes >> 10;
  if ((bytes & 1023) != 0) ++kb;
  return std::to_string(kb);
}

}  // namespace omrek
