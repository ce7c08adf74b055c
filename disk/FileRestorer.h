#pragma once

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ChunkDigest.h"
#include "engine/PassWriter.h"
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
// for that start: a route without links to it. The note also keeps the
// file's change time and what lies past its own end as each of the
// restorer's changes left them, and before each write what that write
// will leave there: a start then puts the file back only while it is
// still as the wipe left it, and leaves it to its owner once anyone else
// changed it. Every write past the end goes through Writing and Wrote.
class FileRestorer : public ChunkWatch {
 public:
  // `reach`: how far past its end a pass may write, when that is further
  // than its slack.
  FileRestorer(FileHandle& file, const std::string& path, std::uint32_t clusterSize, std::uint64_t reach = 0)
      : file_(file),
        length_(file.Size()),
        time_(file.LastWriteTime()),
        slack_(clusterSize - length_ % clusterSize),
        lengthenedTo_(length_ + std::max(slack_, reach)),
        landing_(Digest(Zeros())),
        journal_({JournalRecord::Kind::Lengthened,
                  file.FileSystemId(),
                  file.Identity().inode,
                  path,
                  file.BirthTime(),
                  length_,
                  lengthenedTo_,
                  time_,
                  JournalRecord::Trace{file.ChangeTime(), ChunkDigest(nullptr, 0), landing_},
                  {}}) {
    // Lengthened at once as far as any pass goes, so that wherever a kill
    // or a power cut stops the passes, the file has one of two lengths:
    // its own or this one.
    file_.SetLength(lengthenedTo_);
    try {
      Wrote();
    } catch (...) {
      PutBack();
      throw;
    }
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

  void Writing(const std::uint8_t* bytes, std::size_t count, std::uint64_t offset) override {
    std::vector<std::uint8_t> tail = Tail();
    JournalRecord::Trace trace{file_.ChangeTime(), Digest(tail), std::nullopt};
    const std::uint64_t from = std::max(offset, length_);
    // A file shorter than the wipe made it (its lease lost to a writer)
    // reads back a shorter tail: nothing is put past its end.
    const std::uint64_t to = std::min({offset + count, lengthenedTo_, length_ + tail.size()});
    if (from < to) {
      std::copy_n(bytes + (from - offset), to - from, tail.begin() + static_cast<std::ptrdiff_t>(from - length_));
    }
    trace.landing = Digest(tail);
    // On the medium before the write can be: a start after a power cut may
    // find the write there.
    journal_.Note(trace, true);
    landing_ = *trace.landing;
  }

  void Wrote() override { journal_.Note({file_.ChangeTime(), landing_, std::nullopt}, false); }

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

  std::vector<std::uint8_t> Zeros() const { return std::vector<std::uint8_t>(lengthenedTo_ - length_, 0); }

  // What lies past the file's own end, as long as the wipe made it.
  std::vector<std::uint8_t> Tail() const {
    std::vector<std::uint8_t> tail = Zeros();
    tail.resize(file_.ReadAt(tail.data(), tail.size(), length_));
    return tail;
  }

  static std::uint64_t Digest(const std::vector<std::uint8_t>& bytes) {
    return ChunkDigest(bytes.data(), bytes.size());
  }

  FileHandle& file_;
  std::uint64_t length_;
  FileTime time_;
  std::uint64_t slack_;
  std::uint64_t lengthenedTo_;
  std::uint64_t landing_;  // the bytes past the end once the write under way lands
  JournalEntry journal_;
  bool restored_ = false;
};

}  // namespace omrek
