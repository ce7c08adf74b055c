#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/JournalFolder.h"

namespace omrek {

// One step in flight that leaves a drive or a user's file changed until it
// ends: a file lengthened by a slack wipe, a filler file filling a drive, or
// the emptied files of one folder that a destroy renames before deleting.
// Files are named by their file system's id (FileSystemId.h) and inode, so
// that a later start acts on the very file the step changed or on none.
struct JournalRecord {
  enum class Kind { Lengthened, Filler, Renamed };

  // Renamed only: a file of the folder, emptied, whose name is wiped next.
  struct RenamedFile {
    std::uint64_t inode = 0;
    FileTime born;

    bool operator==(const RenamedFile&) const = default;
  };

  // Lengthened only: the file as the program's own last change left it,
  // which tells that change from anyone's after the run stopped. The
  // digests are of the bytes past the file's own length (see ChunkDigest).
  struct Trace {
    FileTime changed;        // the file's change time (ctime) then
    std::uint64_t tail = 0;  // the bytes past its own length then
    // Set while a write is under way: those bytes once it has landed.
    std::optional<std::uint64_t> landing;

    bool operator==(const Trace&) const = default;
  };

  Kind kind = Kind::Lengthened;
  std::string fileSystem;
  std::uint64_t inode = 0;  // Renamed: the folder's
  // Walked without links to find the file again, Renamed: the folder; any
  // bytes.
  std::string path;
  FileTime born;  // tells the file from a later one in its inode
  // Lengthened only: the file's own length and last-write time, and the
  // length the wipe gives it.
  std::uint64_t length = 0;
  std::uint64_t lengthenedTo = 0;
  FileTime time;
  // Kept up to date through JournalEntry::Note. Missing from the records of
  // earlier versions, which vouch for nothing done after them.
  std::optional<Trace> trace;
  // Renamed only; JournalEntry::Add adds to them.
  std::vector<RenamedFile> renamed;

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

  // Puts `trace` in the record in place of the one it held; with `flush`,
  // on the medium before this returns. The record stays whole on the
  // medium at every moment: only these bytes, of the same length, change.
  void Note(const JournalRecord::Trace& trace, bool flush);

  // Adds a file to a Renamed record, without waiting for the medium: a
  // record cut short by a power cut keeps the files it held before.
  void Add(const JournalRecord::RenamedFile& file);

 private:
  std::shared_ptr<const JournalFolder> folder_;
  int fd_ = -1;  // the record, locked
  std::string name_;
  std::size_t traceAt_ = 0;  // where the record's trace begins
  std::size_t end_ = 0;      // where the next renamed file goes
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
