#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "intake/ExpandedFolder.h"
#include "intake/TargetFile.h"
#include "platform/Directory.h"
#include "platform/MountPointsInside.h"

namespace omrek {

// A file the walk found, and its length then.
struct FoundFile {
  ListedFile file;
  std::uint64_t size = 0;
};

// Lists every regular file beneath a folder, hidden ones included, one step
// at a time so a window can show how far it got and stop it. Folders are
// opened inside their parent without following links, and the walk stays on
// the folder's own mount: a folder swapped for a link while it runs fails
// to open and is noted as unread, a mount point (a bind mount of the same
// file system too) is noted and neither entered nor looked at. Links,
// FIFOs, sockets and devices are noted, never listed.
class FolderExpansion {
 public:
  // Begins at the folder `path` (any bytes); "dir/." is dir, and a path
  // ending in "." or ".." alone is taken as the folder it leads to. Raises
  // IoError when the path names no folder, names it through a link in its
  // last name, or the folder cannot be read.
  static FolderExpansion Begin(const std::string& path);

  // Walks on through at most `entries` entries; false once the whole tree
  // has been walked.
  bool Step(std::size_t entries);
  // The rest of the walk at once.
  void Finish();

  std::size_t FilesFound() const { return files_.size(); }
  std::uint64_t BytesFound() const { return bytes_; }
  // Entries looked at, and entries known of so far (those of every folder
  // opened): the first reaches the second as the walk ends.
  std::size_t EntriesSeen() const { return seen_; }
  std::size_t EntriesKnown() const { return known_; }
  const ExpandedFolder& Folder() const { return *folder_; }

  // The files found, in the order walked (by name within each folder),
  // each noting the folder it came of; ends the expansion.
  std::vector<FoundFile> TakeFiles() &&;

 private:
  struct Frame {
    Directory folder;
    std::string relative;
    std::vector<Directory::Entry> entries;
    std::size_t next = 0;
  };
  FolderExpansion(std::shared_ptr<ExpandedFolder> folder, MountPointsInside mounts)
      : folder_(std::move(folder)), mounts_(std::move(mounts)) {}
  void Enter(Directory folder, std::string relative);
  void Take(const Directory& folder, const Directory::Entry& entry, const std::string& relative);
  void TakeFolder(const Directory& parent, const Directory::Entry& entry, const std::string& relative);

  std::shared_ptr<ExpandedFolder> folder_;
  MountPointsInside mounts_;
  std::vector<Frame> frames_;
  std::vector<FoundFile> files_;
  std::uint64_t bytes_ = 0;
  std::size_t seen_ = 0;
  std::size_t known_ = 0;
};

}  // namespace omrek
