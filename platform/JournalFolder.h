#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/IoError.h"

namespace omrek {

// The folder where the program notes what it has in flight, so that a later
// start can undo what a crash left: /var/lib/omrek for root, for anyone else
// $XDG_STATE_HOME/omrek, or ~/.local/state/omrek when that is unset or not
// an absolute path. It lies off the drives being wiped, so a drive that
// dies mid-wipe takes none of it along.
std::string JournalFolderPath();

// The journal cannot be kept: its folder cannot be made, opened, read or
// written. Its text says so, and it never reads as a failure of the drive
// being worked on ("Disk full" or "File not found" there means something
// else); RoomRanOut() tells that the journal's own drive is full.
class JournalError : public IoError {
 public:
  JournalError(const std::string& folder, int err);
  JournalError(const std::string& folder, const std::string& why);
  bool RoomRanOut() const { return roomRanOut_; }

 private:
  bool roomRanOut_ = false;
};

// The folder, open; made when missing, readable by its owner only. Its
// last name is never followed as a link, and a folder that is not the
// running user's own is refused: another user could read or plant records
// there. Failures raise JournalError.
class JournalFolder {
 public:
  static JournalFolder Open();
  // The folder opened once for all the records held at a time, so that a
  // record costs one open file, not two.
  static std::shared_ptr<const JournalFolder> Shared();
  JournalFolder(JournalFolder&& other) noexcept;
  JournalFolder& operator=(JournalFolder&&) = delete;
  JournalFolder(const JournalFolder&) = delete;
  JournalFolder& operator=(const JournalFolder&) = delete;
  ~JournalFolder();

  const std::string& Path() const { return path_; }
  int Fd() const { return fd_; }

 private:
  JournalFolder(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

  std::string path_;
  int fd_ = -1;
};

}  // namespace omrek
