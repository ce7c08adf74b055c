#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"
#include "platform/FileHandle.h"
#include "platform/WorkJournal.h"

namespace omrek {

class Directory;

// Zeros the slack of every file of a drive: from each file's end to the next
// ClusterSize boundary (32768 bytes when the free-space wipe calls it), or
// the drive's cluster's end where its clusters are larger, then cuts the
// file back and puts its last-write time back. Files it cannot process are
// counted and listed, one full path a line, in the skipped-files log in the
// drive's root.
//
// The walk visits regular files only. Hidden entries (names beginning with
// a dot) are passed over, links are never followed, other mounted file
// systems below the root are not entered (a single file bound there from
// elsewhere included), a folder seen once (the file system bound into
// itself) is not walked again, and a file another program has open is
// skipped, never cut back under its writer.
class SlackSweep {
 public:
  static constexpr const char* kLogName = "Omrek Slack Skipped Files.log";

  SlackSweep(ShredEngine& engine, JobMonitor& monitor);

  // Sweeps the drive whose root folder is `root`. Cancel is looked at
  // before each entry. Raises IoError when the root or the log fails: only
  // a single file's errors are handled here.
  void SweepDriveSlack(const std::string& root);

  int SweepFileCount() const { return fileCount_; }
  int SweepSkipCount() const { return skipCount_; }

 private:
  // Returns false once the walk is cancelled.
  bool SweepDirectory(const Directory& folder, const std::string& path);
  void SweepFile(const Directory& folder, const std::string& name, const std::string& path);
  bool FirstVisit(const Directory& folder);
  void ZeroSlack(FileHandle& file, const std::string& path);
  // Makes all written so far reach the medium, and clears the records of
  // the files put back meanwhile.
  void FlushPutBackFiles();
  void ShowCounters();
  // Appends the path to the log, with why it was not put back when it was
  // left lengthened.
  void LogSkipped(const std::string& path, const std::string& why);

  ShredEngine& engine_;
  JobMonitor& monitor_;
  int fileCount_ = 0;
  int skipCount_ = 0;
  std::uint64_t rootDevice_ = 0;
  std::uint64_t unit_ = 0;                                         // the zeros reach the next multiple of this
  std::set<std::pair<std::uint64_t, std::uint64_t>> seenFolders_;  // device and inode
  std::optional<FileHandle> log_;
  // Files put back since the drive was last flushed: their records go once
  // it has been.
  static constexpr std::size_t kFilesPerFlush = 64;
  std::vector<JournalEntry> unflushed_;
  std::uint64_t logEnd_ = 0;
};

}  // namespace omrek
