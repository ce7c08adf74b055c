#include "intake/TargetFile.h"

#include <cerrno>

#include "intake/ReadablePath.h"
#include "platform/IoError.h"

namespace omrek {

NameWithNul::NameWithNul(const std::string& path)
    : std::invalid_argument("Refused " + ReadablePath(path) + ": a file name cannot hold a NUL byte") {}

ListedFile ListFile(const std::string& path) {
  PathNoter noter;
  return ListFile(path, noter);
}

ListedFile ListFile(const std::string& path, PathNoter& noter) { return NoteFile(path, noter).file; }

NotedFile NoteFile(const std::string& path, PathNoter& noter) {
  if (path.find('\0') != std::string::npos) throw NameWithNul(path);
  PathNote note = noter.Note(path);
  return {{path, std::move(note.route), note.identity}, note.regularFile};
}

std::optional<PinnedFile> ReachListedFile(const ListedFile& file) {
  if (!file.identity) return std::nullopt;
  return PinnedFile::Reach(file.route, *file.identity);
}

std::optional<PinnedFile> ReachListedFile(const ListedFile& file, FolderWalks& walks) {
  if (!file.identity) return std::nullopt;
  return PinnedFile::Reach(file.route, *file.identity, walks);
}

std::string WhyNotReached(const ListedFile& file) {
  if (!file.identity) return IoError::FromErrno(ENOENT).what();
  const PathNote now = NotePath(file.route);
  if (now.identity == file.identity && !now.regularFile) return "not a file: a folder, link or device";
  // Gone, renamed, or a folder on the way swapped for a link since it was listed.
  return "no longer where it was listed";
}

std::uint64_t FileSizeOf(const PinnedFile& file) { return file.Open(FileHandle::Access::Read).Size(); }

std::string SizeToKbText(std::uint64_t bytes) {
  std::uint64_t kb = bytes >> 10;
  if ((bytes & 1023) != 0) ++kb;
  return std::to_string(kb);
}

}  // namespace omrek
