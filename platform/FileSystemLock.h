#pragma once

#include <optional>
#include <string>

namespace omrek {

// Keeps a file system to one copy of the program at a time. A copy filling
// a drive's free space leaves closed fillers there that another copy would
// take for a killed run's leftovers, and ext4's reserve goes back when the
// first copy ends, whoever still fills. The lock is a file named after the
// file system's id in the journal folder (JournalFolder.h), held with
// flock for as long as this object lives; the kernel lets it go with the
// process, however that ends.
class FileSystemLock {
 public:
  // The lock of the file system holding `root`; nullopt when another copy,
  // or another FileSystemLock of this one, holds it. Raises IoError when
  // the journal folder cannot be opened or the lock file not made there:
  // a wipe cannot then be kept from another copy's.
  static std::optional<FileSystemLock> TryTake(const std::string& root);

  FileSystemLock(FileSystemLock&& other) noexcept;
  FileSystemLock& operator=(FileSystemLock&& other) noexcept;
  FileSystemLock(const FileSystemLock&) = delete;
  FileSystemLock& operator=(const FileSystemLock&) = delete;
  ~FileSystemLock();

 private:
  explicit FileSystemLock(int fd) : fd_(fd) {}

  int fd_ = -1;
};

}  // namespace omrek
