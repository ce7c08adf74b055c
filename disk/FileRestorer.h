#pragma once

#include <cstdint>

#include "platform/FileHandle.h"
#include "platform/IoError.h"

namespace omrek {

// Puts an open file back to the length and last-write time it had, on every
// path: Restore() when all went well (its errors count), or, when an error
// ends the work first, on leaving the scope as well as it can. The slack
// operations lengthen a user's file on purpose; it must never stay so.
class FileRestorer {
 public:
  explicit FileRestorer(FileHandle& file) : file_(file), length_(file.Size()), time_(file.LastWriteTime()) {}
  FileRestorer(const FileRestorer&) = delete;
  FileRestorer& operator=(const FileRestorer&) = delete;

  ~FileRestorer() {
    if (restored_) return;
    try {
      Restore();
    } catch (const IoError&) {
      // Already on an error's way out; it is that error the caller reports.
    }
  }

  std::uint64_t Length() const { return length_; }

  void Restore() {
    file_.SetLength(length_);
    file_.SetLastWriteTime(time_);
    restored_ = true;
  }

 private:
  FileHandle& file_;
  std::uint64_t length_;
  FileTime time_;
  bool restored_ = false;
};

}  // namespace omrek
