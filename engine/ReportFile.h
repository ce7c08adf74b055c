#pragma once

#include <stdexcept>
#include <string>

#include "platform/FileHandle.h"
#include "platform/FileIdentity.h"

namespace omrek {

// A report refused before anything was written: its path names something
// already, which a report never replaces or writes through.
class ReportRefused : public std::runtime_error {
 public:
  explicit ReportRefused(const std::string& path);
};

// The file a report goes to, made new and held from the moment it is
// named: no one can put a file or a link of theirs in its place between the
// check and the write, nor read what it will say. A report that never gets
// written is removed again.
class ReportFile {
 public:
  // Creates the file, readable and writable by its owner only. Raises
  // ReportRefused when anything has the name already, a link or another
  // user's file included, and IoError when it cannot be made.
  explicit ReportFile(const std::string& path);
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  ~ReportFile();

  FileIdentity Identity() const { return file_.Identity(); }

  // Writes the report through the file held since its creation.
  void Write(const std::string& text);

 private:
  std::string path_;
  FileHandle file_;
  bool written_ = false;
};

}  // namespace omrek
