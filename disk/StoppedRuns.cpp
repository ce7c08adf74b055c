#include "disk/StoppedRuns.h"

#include <optional>

#include "intake/ReadablePath.h"
#include "platform/IoError.h"
#include "platform/MountProbe.h"
#include "platform/PinnedFile.h"
#include "platform/ReservedClusters.h"
#include "platform/WorkJournal.h"

namespace omrek {

namespace {

std::string Left(const std::string& path, const std::string& why) { return "left " + ReadablePath(path) + ": " + why; }

class JournalRepair {
 public:
  explicit JournalRepair(StoppedRunRepairs& repairs) : repairs_(repairs) {}

  // True once the record has nothing more to do; false to keep it for a
  // later start.
  bool PutRight(const JournalRecord& record) {
    // A drive that does not answer is not waited for at every start.
    if (!MountProbe::MountHoldingAnswers(record.path)) {
      repairs_.waiting.push_back(Left(record.path, "its drive does not respond; put right when it does"));
      return false;
    }
    // A drive that is not mounted where it was may come back: its file
    // waits for it.
    if (PinnedFile::NearestFileSystem(record.path) != record.fileSystem) {
      repairs_.waiting.push_back(Left(record.path, "its drive is not there; put right when it is"));
      return false;
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

  void CutBack(FileHandle& open, const JournalRecord& record) {
    // The wipe gives a file one length besides its own; at any other,
    // someone has written to it since.
    const std::uint64_t size = open.Size();
    if (size != record.length && size != record.lengthenedTo) {
      repairs_.left.push_back(Left(record.path, "changed since a stopped slack wipe (" + std::to_string(size) +
                                                    " bytes, " + std::to_string(record.length) + " before)"));
      return;
    }
    // At its own length, the run was stopped after the cut and before the
    // time went back, or put it all back before its record went.
    const bool cut = size == record.length;
    if (cut && open.LastWriteTime() == record.time) return;
    if (!cut) open.SetLength(record.length);
    open.SetLastWriteTime(record.time);
    open.Flush();
    ++repairs_.filesPutBack;
    repairs_.repaired.push_back("put back " + ReadablePath(record.path) + ": " +
                                (cut ? "its time" : "its " + std::to_string(record.length) + " bytes and its time"));
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
