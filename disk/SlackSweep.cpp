#include "disk/SlackSweep.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "disk/FileRestorer.h"
#include "platform/Directory.h"
#include "platform/IoError.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

std::string Counter(int count, const char* what) {
  char text[32];
  std::snprintf(text, sizeof text, "%6d %s", count, what);
  return text;
}

bool IsHidden(const std::string& name) { return name.starts_with('.'); }

// A name with a line break must not forge a second line in the log.
std::string LogLine(const std::string& path, const std::string& why) {
  std::string line;
  for (const char c : path) {
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else {
      line += c;
    }
  }
  return line + why + "\r\n";
}

}  // namespace

SlackSweep::SlackSweep(ShredEngine& engine, JobMonitor& monitor) : engine_(engine), monitor_(monitor) {}

void SlackSweep::SweepDriveSlack(const std::string& root) {
  fileCount_ = 0;
  skipCount_ = 0;
  monitor_.SetStatus("FILE SLACK", Counter(fileCount_, "wipe"), Counter(skipCount_, "skip"));
  const Directory top = Directory::Open(root);
  rootDevice_ = top.Device();
  // ClusterSize is a power of two, as every cluster size is: the larger of
  // the two is a multiple of both.
  unit_ = std::max<std::uint64_t>(engine_.ClusterSize, ClusterSizeOf(root));
  log_ = FileHandle::Create(PathInFolder(root, kLogName));
  logEnd_ = 0;
  seenFolders_.clear();
  // One flush of the drive's caches for many files' zeros and the log,
  // also when an error ends the sweep early.
  try {
    SweepDirectory(top, root);
  } catch (...) {
    try {
      FlushPutBackFiles();
    } catch (const IoError&) {
    }
    throw;
  }
  FlushPutBackFiles();
  FileHandle log = std::move(*log_);
  log_.reset();
  log.Close();
}

void SlackSweep::FlushPutBackFiles() {
  // Should the flush fail, the records stay for the next start.
  std::vector<JournalEntry> records = std::exchange(unflushed_, {});
  log_->FlushFileSystem();
  for (JournalEntry& record : records) record.Done();
}

bool SlackSweep::SweepDirectory(const Directory& folder, const std::string& path) {
  seenFolders_.insert({folder.Device(), folder.Inode()});
  std::vector<Directory::Entry> entries;
  try {
    entries = folder.Entries();
  } catch (const IoError&) {
    // A folder that cannot be listed holds nothing this sweep can reach.
  }
  for (const Directory::Entry& entry : entries) {
    monitor_.PumpEvents();
    if (monitor_.CancelFlag()) return false;
    if (IsHidden(entry.name)) continue;
    const std::string entryPath = PathInFolder(path, entry.name);
    const bool onThisDrive = entry.facts && entry.facts->identity.device == rootDevice_;
    if (entry.kind == Directory::EntryKind::File && onThisDrive) {
      SweepFile(folder, entry.name, entryPath);
      if (unflushed_.size() >= kFilesPerFlush) FlushPutBackFiles();
    } else if (entry.kind == Directory::EntryKind::Folder && onThisDrive) {
      std::optional<Directory> child;
      try {
        child.emplace(folder.OpenChild(entry.name));
      } catch (const IoError&) {
        continue;  // a folder that cannot be read holds nothing to sweep
      }
      // Another file system mounted here is another drive. A folder seen
      // before (a bind mount of this file system into itself) would have
      // its files wiped twice, and a bound ancestor would never end.
      if (child->Device() != rootDevice_ || !FirstVisit(*child)) continue;
      if (!SweepDirectory(*child, entryPath)) return false;
    }
  }
  return true;
}

bool SlackSweep::FirstVisit(const Directory& folder) {
  return seenFolders_.count({folder.Device(), folder.Inode()}) == 0;
}

void SlackSweep::SweepFile(const Directory& folder, const std::string& name, const std::string& path) {
  bool skipped = false;
  std::string why;
  try {
    FileHandle file = folder.OpenFileExclusive(name);
    // Bound here from another file system since the folder was listed:
    // another drive's file, as at listing time.
    if (file.Identity().device != rootDevice_) return;
    try {
      ZeroSlack(file, path);
      ShowCounters();
    } catch (const IoError&) {
      skipped = true;
    } catch (const LeaseLost& lost) {
      skipped = true;
      why = std::string(" (") + lost.what() + ")";
    }
    file.Close();
  } catch (const IoError&) {
    skipped = true;
  }
  if (skipped) {
    ++skipCount_;
    LogSkipped(path, why);
  }
  ++fileCount_;
}

void SlackSweep::ZeroSlack(FileHandle& file, const std::string& path) {
  FileRestorer restorer(file, path, static_cast<std::uint32_t>(unit_));
  const std::uint64_t slack = restorer.SlackLength();
  IoBytes& zeros = engine_.IoBuffer;
  std::memset(zeros.data(), 0, static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), slack)));
  for (std::uint64_t done = 0; done < slack;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), slack - done));
    restorer.Writing(zeros.data(), count, restorer.Length() + done);
    file.WriteAt(zeros.data(), count, restorer.Length() + done);
    restorer.Wrote();
    done += count;
  }
  // Someone waits to open the file: it goes back to them as it was.
  if (file.Lease() != FileHandle::LeaseState::Held) throw IoError::SharingViolation();
  // The zeros must be on the device before the cut drops them from memory.
  file.WriteOut(restorer.Length(), slack);
  unflushed_.push_back(restorer.RestoreUnflushed());
}

void SlackSweep::ShowCounters() {
  // Shown as they stood before this file was counted.
  monitor_.SetStatus("FILE SLACK", Counter(fileCount_, "wipe"), Counter(skipCount_, "skip"));
}

void SlackSweep::LogSkipped(const std::string& path, const std::string& why) {
  const std::string line = LogLine(path, why);
  log_->WriteAt(line.data(), line.size(), logEnd_);
  logEnd_ += line.size();
}

}  // namespace omrek
