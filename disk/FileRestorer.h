#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/FileHandle.h"
#include "platform/IoError.h"
#include "platform/WorkJournal.h"

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
//
// Before anything changes, the journal notes the file, its length and time,
// so that a start after a crash or a kill puts it back all the same; the
// note goes once the file is back on the medium. `path` names the file
// for that start: a route without links to it.
class FileRestorer {
 public:
  // `reach`: how far past its end a pass may write, when that is further
  // than its slack.
  FileRestorer(FileHandle& file, const std::string& path, std::uint32_t clusterSize, std::uint64_t reach = 0)
      : file_(file),
        length_(file.Size()),
        time_(file.LastWriteTime()),
        slack_(clusterSize - length_ % clusterSize),
        journal_({JournalRecord::Kind::Lengthened, file.FileSystemId(), file.Identity().inode, path, file.BirthTime(),
                  length_, length_ + std::max(slack_, reach), time_}) {
    // Lengthened at once as far as any pass goes, so that wherever a kill
    // or a power cut stops the passes, the file has one of two lengths:
    // its own or this one. A later start can tell the wipe's doing from
    // any other writer's by that alone.
    file_.SetLength(length_ + std::max(slack_, reach));
  }
  FileRestorer(const FileRestorer&) = delete;
  FileRestorer& operator=(const FileRestorer&) = delete;

  ~FileRestorer() {
    if (restored_) return;
    try {
      Restore();
    } catch (const std::exception&) {
      // Already on an error's way out; it is that error the caller reports.
      // The journal keeps the file for the next start.
    }
  }

  std::uint64_t Length() const { return length_; }
  // From the file's end to its last cluster's: what the passes write.
  std::uint64_t SlackLength() const { return slack_; }

  void Restore() {
    PutBack();
    file_.Flush();
    journal_.Done();
  }

  // The same without waiting for the medium: the record is handed over, to
  // be cleared once the caller has flushed the whole file system, which is
  // far cheaper for many files than a flush each.
  JournalEntry RestoreUnflushed() {
    PutBack();
    return std::move(journal_);
  }

 private:
  void PutBack() {
    if (file_.Lease() == FileHandle::LeaseState::Lost) {
      restored_ = true;
      journal_.Done();
      throw LeaseLost();
    }
    file_.SetLength(length_);
    file_.SetLastWriteTime(time_);
    restored_ = true;
  }

  FileHandle& file_;
  std::uint64_t length_;
  FileTime time_;
  std::uint64_t slack_;
  JournalEntry journal_;
  bool restored_ = false;
};

}  // namespace omrek
