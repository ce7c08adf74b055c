#pragma once

#include <stdexcept>
#include <string>

namespace omrek {

// A folder or file the program will not write into or replace: it is a
// symbolic link, or it belongs to someone other than the running user and
// root. The text says which and why.
class UntrustedPlace : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A folder that a file is replaced in through descriptors only. The folder
// is opened without following a link in its last name, and only when it
// belongs to the running user or to root (for root: to root alone), since
// whoever owns a folder may swap the names in it for links while the
// program works there. Every later step works on the open folder, so a
// folder renamed or swapped meanwhile is never written into.
class GuardedFolder {
 public:
  // Raises UntrustedPlace for a link or a folder of another user's, and
  // IoError when the folder cannot be opened.
  explicit GuardedFolder(const std::string& path);
  GuardedFolder(const GuardedFolder&) = delete;
  GuardedFolder& operator=(const GuardedFolder&) = delete;
  ~GuardedFolder();

  // Puts `text` in place of the file `name` in one step: a new file (the
  // name with ".new") is made, written and flushed, given the old file's
  // access bits (owner-only for a new file), then renamed over the old one,
  // and the folder flushed. The old file, when there is one, must be a
  // regular file of the running user's or root's (UntrustedPlace
  // otherwise). Raises IoError when a step fails; the old file then stays
  // as it was.
  void Replace(const std::string& name, const std::string& text) const;

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace omrek
