#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

namespace omrek {

// The path of `name` inside `folder`, with one "/" between them also when
// the folder is a root ("/").
std::string PathInFolder(const std::string& folder, const std::string& name);

// An open folder for walking a tree. Folders are opened inside their parent
// without following links, so a walk can never be led out of the tree by a
// link, whatever changes under it while it runs.
class Directory {
 public:
  enum class EntryKind { Folder, File, Other };  // Other: links, devices, FIFOs, sockets
  struct Entry {
    std::string name;
    EntryKind kind;
    // For a folder or a file, the file system it lies on, read without
    // setting off an automount: a mount point below (a folder, or a single
    // file bound over another) shows here before anything is opened.
    std::uint64_t device = 0;
  };

  // Raises IoError when the folder cannot be opened.
  static Directory Open(const std::string& path);
  Directory OpenChild(const std::string& name) const;

  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&&) = delete;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  ~Directory();

  // The entries in the order the file system gives them, without "." and
  // "..". Names beginning with a dot are hidden ones.
  std::vector<Entry> Entries() const;

  // The file system and the folder itself; a child on another device is a
  // mount point.
  std::uint64_t Device() const { return device_; }
  std::uint64_t Inode() const { return inode_; }

  // Bytes the file system has given to the entry `name`; 0 when it cannot be
  // examined.
  std::uint64_t AllocatedBytes(const std::string& name) const;

  // Deletes the entry `name` of this folder; a link goes, never its target.
  void DeleteEntry(const std::string& name) const;

  // Makes the folder's entries (a file renamed into it) reach the medium.
  void Flush() const;

  // See FileHandle::OpenExclusive.
  FileHandle OpenFileExclusive(const std::string& name) const { return FileHandle::OpenExclusiveIn(fd_, name); }

 private:
  explicit Directory(int fd);
  int fd_ = -1;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
};

}  // namespace omrek
