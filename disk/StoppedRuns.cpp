#include "disk/StoppedRuns.h"

#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/ChunkDigest.h"
#include "intake/ReadablePath.h"
#include "platform/Directory.h"
#include "platform/IoError.h"
#include "platform/MountProbe.h"
#include "platform/PinnedFile.h"
#include "platform/ReservedClusters.h"
#include "platform/WorkJournal.h"

namespace omrek {

namespace {

std::string Left(const std::string& path, const std::string& why) { return "left " + ReadablePath(path) + ": " + why; }

// Local time to the nanosecond, as `ls --full-time` shows it.
std::string TimeText(const FileTime& time) {
  const std::time_t seconds = static_cast<std::time_t>(time.seconds);
  std::tm local{};
  char text[64] = "";
  // Recovery runs before any other thread: the shared result is safe here.
  const std::tm* converted = std::localtime(&seconds);
  if (converted == nullptr) return std::to_string(time.seconds) + " seconds";
  local = *converted;
  const std::size_t date = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(text + date, sizeof text - date, ".%09lld", static_cast<long long>(time.nanoseconds));
  const std::size_t at = std::char_traits<char>::length(text);
  std::strftime(text + at, sizeof text - at, " %z", &local);
  return text;
}

// Whether the file is still as the stopped wipe's own last change left it:
// the same change time and the same bytes past its own end, or the bytes
// the write it had begun puts there. A write changes the change time before
// its bytes land, so one begun and killed before landing leaves neither:
// the file is left and named. A record of an earlier version keeps no
// trace and proves nothing.
bool AsTheWipeLeftIt(const FileHandle& open, const JournalRecord& record) {
  if (!record.trace) return false;
  std::vector<std::uint8_t> tail(record.lengthenedTo - record.length);
  if (open.ReadAt(tail.data(), tail.size(), record.length) != tail.size()) return false;
  const std::uint64_t digest = ChunkDigest(tail.data(), tail.size());
  const JournalRecord::Trace& trace = *record.trace;
  return (open.ChangeTime() == trace.changed && digest == trace.tail) || trace.landing == digest;
}

class JournalRepair {
 public:
  explicit JournalRepair(StoppedRunRepairs& repairs) : repairs_(repairs) {}

  // True once the record has nothing more to do; false to keep it for a
  // later start.
  bool PutRight(const JournalRecord& record) {
    const bool renamed = record.kind == JournalRecord::Kind::Renamed;
    // A route to the record's file or, for renamed files, into their folder.
    const std::string route = renamed ? PathInFolder(record.path, ".") : record.path;
    // A drive that does not answer is not waited for at every start.
    if (!MountProbe::MountHoldingAnswers(route)) {
      repairs_.waiting.push_back(Left(record.path, "its drive does not respond; put right when it does"));
      return false;
    }
    // A drive that is not mounted where it was may come back: its file
    // waits for it.
    if (PinnedFile::NearestFileSystem(route) != record.fileSystem) {
      repairs_.waiting.push_back(Left(record.path, "its drive is not there; put right when it is"));
      return false;
    }
    if (renamed) {
      try {
        DeleteEmptied(record);
        return true;
      } catch (const IoError& error) {
        repairs_.waiting.push_back(Left(record.path, std::string(error.what()) + "; tried again at the next start"));
        return false;
      }
    }
    const bool filler = record.kind == JournalRecord::Kind::Filler;
    const std::optional<PinnedFile> file = PinnedFile::ReachOnFileSystem(record.path, record.fileSystem, record.inode);
    try {
      // A filler is the program's own, and the record's lock shows that no
      // copy is filling with it: no need to wait for a lease.
      std::optional<FileHandle> open;
      if (file) open = filler ? file->Open(FileHandle::Access::Read) : file->OpenExclusive();
      if (!open || open->BirthTime() != record.born) {
        // A filler gone is what its run would have done.
        if (!filler) repairs_.left.push_back(Left(record.path, "no longer the file a stopped run changed"));
        return true;
      }
      if (filler) {
        DeleteFiller(*file, *open, record);
      } else {
        CutBack(*open, record);
      }
      return true;
    } catch (const IoError& error) {
      repairs_.waiting.push_back(Left(record.path, std::string(error.what()) + "; tried again at the next start"));
      return false;
    }
  }

 private:
  void DeleteFiller(const PinnedFile& file, FileHandle& open, const JournalRecord& record) {
    if (!open.Ownership().runningUsers) {
      repairs_.left.push_back(Left(record.path, "owned by another user"));
      return;
    }
    const std::uint64_t bytes = open.AllocatedBytes();
    open.Close();
    file.Delete();
    ++repairs_.fillers.files;
    repairs_.fillers.bytes += bytes;
  }

  // A destroy empties a file, then renames it to names that tell nothing,
  // then deletes it. Killed in between, it leaves the emptied file under
  // such a name; that file goes now, found by its inode, provided it is
  // still the one emptied (born when it was), empty and with no other name.
  // Anything else is left and named.
  void DeleteEmptied(const JournalRecord& record) {
    std::optional<Directory> folder;
    try {
      folder.emplace(Directory::Walk(record.path));
    } catch (const IoError& error) {
      repairs_.left.push_back(
          Left(record.path, std::string(error.what()) + "; look there for empty files a stopped destroy renamed"));
      return;
    }
    if (folder->FileSystemId() != record.fileSystem || folder->Inode() != record.inode) {
      repairs_.left.push_back(Left(record.path, "no longer the folder a stopped destroy emptied files in"));
      return;
    }
    std::map<std::uint64_t, FileTime> born;
    for (const JournalRecord::RenamedFile& file : record.renamed) born[file.inode] = file.born;
    for (const Directory::Entry& entry : folder->Entries()) {
      if (!entry.facts || !entry.facts->regularFile || entry.facts->identity.device != folder->Device()) continue;
      const auto found = born.find(entry.facts->identity.inode);
      if (found != born.end()) DeleteIfEmptied(*folder, entry, found->second, record.path);
    }
  }

  void DeleteIfEmptied(const Directory& folder, const Directory::Entry& entry, const FileTime& born,
                       const std::string& folderPath) {
    const std::string path = PathInFolder(folderPath, entry.name);
    FileHandle open = folder.OpenFile(entry.name, FileHandle::Access::Read);
    // A file made since in the inode the emptied one had is none of this.
    if (open.Identity() != entry.facts->identity || open.BirthTime() != born) return;
    // Where the file system keeps no birth time, any empty file that took
    // the inode since would pass for the emptied one: it is only named.
    if (born == FileTime{}) {
      repairs_.left.push_back(Left(path,
                                   "perhaps emptied and renamed by a stopped destroy; its file system cannot "
                                   "tell, so check it and delete it if it is empty and unknown to you"));
      return;
    }
    if (open.Size() != 0) {
      repairs_.left.push_back(Left(path, "emptied and renamed by a stopped destroy, and written to since"));
      return;
    }
    if (open.Ownership().links != 1) {
      repairs_.left.push_back(Left(path, "emptied and renamed by a stopped destroy; it has other names"));
      return;
    }
    open.Close();
    folder.RemoveEntryOf(entry.name, entry.facts->identity);
    ++repairs_.emptiedDeleted;
    repairs_.repaired.push_back("deleted " + ReadablePath(path) + ": emptied and renamed by a stopped destroy");
  }

  void CutBack(FileHandle& open, const JournalRecord& record) {
    const std::uint64_t size = open.Size();
    // Stopped before it lengthened the file, or after it put it all back.
    if (size == record.length && open.LastWriteTime() == record.time) return;
    if (size == record.lengthenedTo && AsTheWipeLeftIt(open, record)) {
      open.SetLength(record.length);
      open.SetLastWriteTime(record.time);
      open.Flush();
      ++repairs_.filesPutBack;
      repairs_.repaired.push_back("put back " + ReadablePath(record.path) + ": its " + std::to_string(record.length) +
                                  " bytes and its time");
      return;
    }
    // Whatever its owner did since is theirs to keep: only they can tell
    // which of the bytes and which time are the ones they want.
    std::string why;
    if (size == record.lengthenedTo) {
      why = "changed since the run stopped; check its end: it may hold " +
            std::to_string(record.lengthenedTo - record.length) + " bytes the wipe added";
    } else if (size == record.length) {
      why = "changed since the run stopped; check its last-write time: it was " + TimeText(record.time) +
            " before the wipe";
    } else {
      why = "changed since a stopped slack wipe (" + std::to_string(size) + " bytes, " + std::to_string(record.length) +
            " before)";
    }
    repairs_.left.push_back(Left(record.path, why));
  }

  StoppedRunRepairs& repairs_;
};

void AddNameProvedFillers(StoppedRunRepairs& repairs, const LeftoverFillers& found) {
  repairs.fillers.files += found.files;
  repairs.fillers.bytes += found.bytes;
  repairs.fillers.left = found.left;
}

void ShowRepairs(JobMonitor& monitor, const StoppedRunRepairs& repairs) {
  if (repairs.filesPutBack > 0) {
    monitor.SetStatus("REPAIRED",
                      std::to_string(repairs.filesPutBack) + (repairs.filesPutBack == 1 ? " file" : " files"),
                      "put back");
  } else if (repairs.fillers.files > 0) {
    monitor.SetStatus("LEFTOVERS", repairs.fillers.FilesText(), repairs.fillers.FreedText());
  } else if (repairs.emptiedDeleted > 0) {
    monitor.SetStatus("LEFTOVERS",
                      std::to_string(repairs.emptiedDeleted) + (repairs.emptiedDeleted == 1 ? " file" : " files"),
                      "deleted");
  } else if (!repairs.repaired.empty()) {
    monitor.SetStatus("REPAIRED", "ext4 reserve", "put back");
  }
}

}  // namespace

std::vector<std::string> StoppedRunRepairs::SaidOnce() const {
  std::vector<std::string> lines = repaired;
  lines.insert(lines.end(), left.begin(), left.end());
  return lines;
}

std::vector<std::string> StoppedRunRepairs::All() const {
  std::vector<std::string> lines = SaidOnce();
  lines.insert(lines.end(), waiting.begin(), waiting.end());
  return lines;
}

StoppedRunRepairs RepairStoppedRuns(JobMonitor& monitor) {
  StoppedRunRepairs repairs;
  JournalRepair journal(repairs);
  try {
    const UnfinishedSteps steps =
        TakeUnfinishedSteps([&](const JournalRecord& record) { return journal.PutRight(record); });
    for (const std::string& damaged : steps.damaged) {
      repairs.left.push_back("set aside the damaged journal record " + ReadablePath(damaged) + ": nothing done");
    }
  } catch (const IoError& error) {
    repairs.left.push_back(error.what());
  }
  for (const std::string& root : PutBackReservesOfKilledRuns()) {
    repairs.repaired.push_back("put back the ext4 reserve of " + ReadablePath(root));
  }
  AddNameProvedFillers(repairs, DeleteLeftoverFillersOfAllDrives());
  if (repairs.fillers.files > 0) {
    repairs.repaired.push_back("leftovers of a stopped run deleted: " + repairs.fillers.FilesText() + ", " +
                               repairs.fillers.FreedText());
  }
  ShowRepairs(monitor, repairs);
  return repairs;
}

}  // namespace omrek
