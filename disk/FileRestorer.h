#pragma once

#include <cstdint>
#include <stdexcept>

#include "platform/FileHandle.h"
#include "platform/IoError.h"

namespace omrek {

// A slack wipe's file that another program may have written to meanwhile,
// left lengthened rather than cut back.
class LeaseLost : public std::runtime_error {
 public:
  LeaseLost() : std::runtime_error("in use, left lengthened") {}
};

// Puts an open file back to the length and last-write time it had, on every
// path: Restore() when all went well (its errors count), or, when an error
// ends the work first, on leaving the scope as well as it can. The slack
// operations lengthen a user's file on purpose; it must never stay so.
// Except in one case: once its lease is lost, another program may have
// written past the old end, and cutting would destroy that; the file then
// stays as it is and Restore() raises LeaseLost.
class FileRestorer {
 public:
  explicit FileRestorer(FileHandle& file) : file_(file), length_(file.Size()), time_(file.LastWriteTime()) {}
  FileRestorer(const FileRestorer&) = delete;
  FileRestorer& operator=(const FileRestorer&) = delete;

  ~FileRestorer() {
    if (restored_) return;
    try {
      Restore();
    } catch (const std::exception&) {
      // Already on an error's way out; it is that error the caller reports.
    }
  }

  std::uint64_t Length() const { return length_; }

  void Restore() {
    if (file_.Lease() == FileHandle::LeaseState::Lost) {
      restored_ = true;
      throw LeaseLost();
    }
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
