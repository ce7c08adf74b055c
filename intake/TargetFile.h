#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "intake/ExpandedFolder.h"
#include "platform/FileIdentity.h"
#include "platform/PinnedFile.h"

namespace omrek {

// A row's file: the path exactly as it was added (any bytes; what the row
// shows and the user edits), and what it led to then: the route to walk and
// the identity of the file found there. A command acts on that file or on
// none, however the path's folders are renamed or swapped meanwhile.
struct ListedFile {
  std::string path;
  std::string route;
  std::optional<FileIdentity> identity;
  // The folder this file was listed from, when it came of one walked
  // whole; shared by all its files.
  std::shared_ptr<const ExpandedFolder> expandedFrom = {};
};

// A path no file can have: it holds a NUL byte, where every look-up of the
// path would stop and find another file.
class NameWithNul : public std::invalid_argument {
 public:
  explicit NameWithNul(const std::string& path);
};

// Notes what `path` leads to now. Raises NameWithNul for a path holding a
// NUL byte.
ListedFile ListFile(const std::string& path);
// The same for one path of a list noted by `noter`, which resolves each
// folder once for a run of paths in it.
ListedFile ListFile(const std::string& path, PathNoter& noter);
// The same, with what the noting's one look told: whether the path led to
// a regular file.
struct NotedFile {
  ListedFile file;
  bool regularFile = false;
};
NotedFile NoteFile(const std::string& path, PathNoter& noter);

// The listed file, held by its folder; nullopt when it is a folder, a link,
// a device or the like, or when the path no longer leads to it (gone,
// renamed, a folder on the way swapped for a link): such a row counts as a
// folder and is never measured or written.
std::optional<PinnedFile> ReachListedFile(const ListedFile& file);
// The same, its folder walked to through `walks`.
std::optional<PinnedFile> ReachListedFile(const ListedFile& file, FolderWalks& walks);

// Why ReachListedFile found nothing, in words for the user: the path names
// a folder, link or device, no longer leads to the file listed, or led to
// nothing when listed. Looks again, so only for a file not reached.
std::string WhyNotReached(const ListedFile& file);

// The file's length in bytes. Raises IoError when the file cannot be opened
// for reading.
std::uint64_t FileSizeOf(const PinnedFile& file);

// The size column's text: whole kilobytes of 1024 bytes, rounded up.
std::string SizeToKbText(std::uint64_t bytes);

}  // namespace omrek
