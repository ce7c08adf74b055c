#include "intake/TargetFile.h"

namespace omrek {

ListedFile ListFile(const std::string& path) {
  PathNote note = NotePath(path);
  return {path, std::move(note.route), note.identity};
}

std::optional<PinnedFile> ReachListedFile(const ListedFile& file) {
  if (!file.identity) return std::nullopt;
  return PinnedFile::Reach(file.route, *file.identity);
}

std::uint64_t FileSizeOf(const PinnedFile& file) { return file.Open(FileHandle::Access::Read).Size(); }

std::string SizeToKbText(std::uint64_t bytes) {
  std::uint64_t kb = bytes >> 10;
  if ((bytes & 1023) != 0) ++kb;
  return std::to_string(kb);
}

}  // namespace omrek
