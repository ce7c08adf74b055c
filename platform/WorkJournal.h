#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/JournalFolder.h"

namespace omrek {

// One step in flight that leaves a drive or a user's file changed until it
// ends: a file lengthened by a slack wipe, or a filler file filling a drive.
// Files are named by their file system's id (FileSystemId.h) and inode, so
// that a later start acts on the very file the step changed or on none.
struct JournalRecord {
  enum class Kind { Lengthened, Filler };

  Kind kind = Kind::Lengthened;
  std::string fileSystem;
  std::uint64_t inode = 0;
  std::string path;  // walked without links to find the file again; any bytes
  FileTime born;     // tells the file from a later one in its inode
  // Lengthened only: the file's own length and last-write time, and the
  // length the wipe gives it.
  std::uint64_t length = 0;
  std::uint64_t lengthenedTo = 0;
  FileTime time;

  bool operator==(const JournalRecord&) const = default;
};

// A record written to the journal folder and on the medium before the step
// it guards begins (JournalError when it cannot be: the step must not begin
// then). It is held for as long as this object lives, so no other copy of
// the program takes the step for an unfinished one. Done() removes it: the
// step is over. Dropped without Done(), by a failure that left the step
// half-way, it stays for the next start to put right.
class JournalEntry {
 public:
  explicit JournalEntry(const JournalRecord& record);
  JournalEntry(JournalEntry&& other) noexcept;
  JournalEntry& operator=(JournalEntry&&) = delete;
  JournalEntry(const JournalEntry&) = delete;
  JournalEntry& operator=(const JournalEntry&) = delete;
  ~JournalEntry();

  void Done();

 private:
  std::shared_ptr<const JournalFolder> folder_;
  int fd_ = -1;  // the record, locked
  std::string name_;
};

// What a start found in the journal that no running copy holds: the steps
// killed or crashed runs left unfinished.
struct UnfinishedSteps {
  // Records that cannot be read are never acted on: each is set aside
  // (renamed with ".damaged" at the end) and named here once.
  std::vector<std::string> damaged;
};

// Hands each record of a step no running copy is in to `putRight`, holding
// it meanwhile; it leaves the journal when `putRight` returns true, and
// stays for a later start when false. Raises JournalError when the journal
// folder cannot be opened or read.
UnfinishedSteps TakeUnfinishedSteps(const std::function<bool(const JournalRecord&)>& putRight);

}  // namespace omrek
