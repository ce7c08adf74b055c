#include "engine/FileDestruction.h"

#include <cerrno>
#include <stdexcept>
#include <string>

#include "engine/EmptiedFolders.h"
#include "engine/OverwritePasses.h"
#include "engine/PassPlan.h"
#include "engine/StopRequest.h"
#include "engine/WorkTotal.h"
#include "intake/ReadablePath.h"
#include "platform/FileAttributes.h"
#include "platform/FileHandle.h"
#include "platform/IoError.h"
#include "platform/WavePlayer.h"

namespace omrek {

namespace {

std::string OtherNamesNote(std::uint64_t others) {
  if (others == 0) return "";
  return std::to_string(others) + (others == 1 ? " other name still points at it" : " other names still point at it") +
         ", now empty";
}

std::string OutsideNote(std::uint64_t outside) {
  return "its content stays under " + std::to_string(outside) + (outside == 1 ? " other name" : " other names") +
         " outside the folder";
}

std::string JoinedNotes(const std::string& first, const std::string& second) {
  if (first.empty() || second.empty()) return first + second;
  return first + "; " + second;
}

// Overwriting a file whose blocks are shared writes new blocks for it alone:
// its old content stays with whatever shares them.
std::string SharedContentNote(const FileHandle& file) {
  try {
    return file.SharesBlocks() ? "its content is still held by another file or a snapshot" : "";
  } catch (const IoError& failure) {
    return std::string("whether another file or a snapshot holds its content could not be told: ") + failure.what();
  }
}

}  // namespace

FileDestruction::FileDestruction(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile,
                                 WavePlayer& sound, DestroyOptions options)
    : engine_(engine),
      monitor_(monitor),
      profile_(profile),
      sound_(sound),
      options_(options),
      writer_(engine, monitor, kDestroyPasses, engine.BlockBuffer, options.verify) {}

void FileDestruction::DestroyListedFiles(TargetRows& rows) {
  clusterSizes_ = {};
  folderWalks_.Forget();
  rows_ = &rows;
  listedNames_.reset();
  engine_.WorkTotal = 0;
  if (monitor_.ShowsMeter()) {
    ComputeWorkTotal(WorkKind::PerSector, engine_, rows, profile_, clusterSizes_, folderWalks_);
  }
  monitor_.ResetProgress();
  EmptiedFolders emptied;
  try {
    WalkRows(
        engine_, monitor_, rows, RowPump::BeforeEachRow, options_.verify,
        [this, &emptied](const ListedFile& file) {
          emptied.Note(file);
          return DestroyFile(file);
        },
        sink_);
  } catch (...) {
    FlushWipedFolder();
    throw;
  }
  FlushWipedFolder();
  // A command stopped early leaves every folder as it is.
  if (!monitor_.CancelFlag()) emptied.RemoveEmptied(monitor_, options_.wipeNames, sink_);
  stopped_ = monitor_.CancelFlag();
  monitor_.SetCancelFlag(true);
  monitor_.ResetProgress();
}

TargetOutcome FileDestruction::DestroyFile(const ListedFile& target) {
  done_ = TargetOutcome::Before(target.path, options_.verify);
  done_.passesPlanned = PassCount(PassOrder::Destroy, profile_);
  route_ = target.route;
  emptied_ = false;
  sharedNote_.clear();
  // Events run before the file is looked at, never between that look and
  // the open: where clearing its attributes opened nothing, the file is
  // opened on that one look.
  monitor_.PumpEvents();
  std::optional<PinnedFile> file = ReachListedFile(target, folderWalks_);
  if (!file) {
    done_.detail = WhyNotReached(target);
    return done_;
  }
  // Asked before its attributes are cleared: a file whose content stays
  // keeps them for its other names.
  if (const std::uint64_t outside = NamesOutside(target, *file); outside > 0) {
    RemoveNameOnly(*file, outside);
    ShowOutcome(monitor_, done_);
    return done_;
  }
  const bool openedToClear = ClearAttributes(*file);
  std::uint64_t size = 0;
  // Whether an error came in the middle of the passes, which the report
  // then counts.
  bool inPasses = false;
  try {
    // Opened once, and measured through that opening; the engine holds it
    // only once its length is known, as a kept file is cut back to that.
    FileHandle opened = openedToClear ? file->Open(FileHandle::Access::ReadWrite) : file->OpenAsReached();
    size = opened.Size();
    ComputeSectorCount(engine_, *file, size, clusterSizes_);
    done_.bytes = static_cast<std::uint64_t>(engine_.SectorCount) * ShredEngine::kSectorSize;
    engine_.WorkFile = std::move(opened);
    // What is written is about to be deleted: no reason to cache it and
    // push the user's own files out of memory.
    engine_.WorkFile->BypassCache();
    engine_.WorkTarget.emplace(std::move(*file));
    RefuseWithoutRoom(*engine_.WorkTarget);
    // Asked before the passes: once they have written, the file no longer
    // shares the blocks that still hold its content.
    sharedNote_ = SharedContentNote(*engine_.WorkFile);

    // A file the passes did not all reach stays where it is: deleted, its
    // old data would live on in blocks nobody can find again, and its row
    // would read "skipped" for a file that is gone and cannot be retried.
    inPasses = true;
    RunPasses();
    // The last pass flushed already: every file gets one flush per pass.
    inPasses = false;
    // With no pass written there is nothing of this file's to read back.
    if (options_.verify && done_.passesDone > 0) done_.Verify([this] { writer_.VerifyLastPass(*engine_.WorkFile); });
    DiscardFile();
    done_.outcome = done_.passesPlanned == 0 ? Outcome::DeletedUnwritten : Outcome::Destroyed;
  } catch (const NotOnDisk& refusal) {
    KeepFile(size);
    done_.outcome = Outcome::Refused;
    done_.detail = refusal.what();
  } catch (const StopRequested&) {
    KeepFile(size);
    done_.outcome = Outcome::Stopped;
  } catch (const std::exception& failure) {
    KeepFile(size);
    done_.outcome = inPasses ? Outcome::FailedMidway : emptied_ ? Outcome::EmptiedNotDeleted : Outcome::Kept;
    done_.detail = failure.what();
  }
  ShowOutcome(monitor_, done_);
  return done_;
}

const std::set<std::string>& FileDestruction::ListedNames() {
  // Read once, and only for a run that meets such a file: the rows gone
  // by then are names removed, which lead to no file anyway.
  if (!listedNames_) {
    listedNames_.emplace();
    for (int row = 0; row < rows_->RowCount(); ++row) {
      const ListedFile file = rows_->RowFile(row);
      if (file.expandedFrom && file.identity && file.expandedFrom->namesInside.contains(*file.identity)) {
        listedNames_->insert(file.path);
      }
    }
  }
  return *listedNames_;
}

std::uint64_t FileDestruction::NamesOutside(const ListedFile& target, const PinnedFile& file) {
  // Counted as the file is now: a name may have come or gone since the walk.
  const std::uint64_t links = file.LinksWhenReached();
  if (!target.expandedFrom || links <= 1) return 0;
  // The names that lose the file with this command: this one, and those
  // the walk found that are still listed and still lead to it. A name
  // taken off the list is kept, and so is its content; a name removed
  // since, here or by anyone, no longer counts.
  std::uint64_t inside = 1;
  if (const auto walked = target.expandedFrom->namesInside.find(*target.identity);
      walked != target.expandedFrom->namesInside.end()) {
    for (const std::string& name : walked->second) {
      if (name != target.path && ListedNames().contains(name) && ListFile(name).identity == target.identity) ++inside;
    }
  }
  return links > inside ? links - inside : 0;
}

void FileDestruction::RemoveNameOnly(PinnedFile& file, std::uint64_t outside) {
  try {
    const std::string nameNote = options_.wipeNames ? WipeNameOf(file) : "";
    file.Delete();
    done_.outcome = Outcome::NameRemoved;
    done_.detail = JoinedNotes(OutsideNote(outside), nameNote);
    // Its folder is flushed at once, apart from the emptied files' folder
    // and its record: a name removed leaves no emptied file to record.
    if (options_.wipeNames) file.Folder()->Flush();
  } catch (const IoError& failure) {
    if (done_.outcome == Outcome::NameRemoved) {
      monitor_.ShowMessage("The folder of " + ReadablePath(done_.target) + " could not be flushed (" + failure.what() +
                           "): its old name may come back after a power cut.");
      return;
    }
    done_.outcome = Outcome::Kept;
    done_.detail = failure.what();
  }
}

void FileDestruction::RefuseWithoutRoom(const PinnedFile& file) const {
  // A sparse file's holes take no space until the passes write them: a
  // file far larger than its drive would fill the drive, then fail with
  // every byte taken and no reason given.
  const std::uint64_t allocated = file.AllocatedBytesWhenReached();
  if (done_.passesPlanned == 0 || done_.bytes <= allocated) return;
  const std::uint64_t needed = done_.bytes - allocated;
  const std::int64_t free = file.FreeBytes();
  if (free < 0 || needed <= static_cast<std::uint64_t>(free)) return;
  throw std::runtime_error("needs " + SizeText(static_cast<std::int64_t>(needed)) + " of new space for its holes, " +
                           SizeText(free) + " free");
}

void FileDestruction::KeepFile(std::uint64_t length) {
  // The passes write on to the end of the last cluster; a file kept after
  // they failed goes back to its own length, never longer than it was.
  if (engine_.WorkFile) {
    try {
      if (engine_.WorkFile->Size() > length) engine_.WorkFile->SetLength(length);
    } catch (const IoError&) {
      // The failure that kept the file is the one to report.
    }
  }
  engine_.WorkFile.reset();
  engine_.WorkTarget.reset();
}

void FileDestruction::RunPasses() {
  monitor_.SetStatus("wiping", "", "");
  sound_.PlayAsync();
  // An invert pass that ended early is made good by any whole pass after
  // it; a failed flush, though, leaves the pass unconfirmed whatever
  // follows. The plan runs to its end either way, so the file gets every
  // pass it can; a write that fails ends it.
  bool lastPassComplete = true;
  bool allFlushed = true;
  WalkPasses(PassOrder::Destroy, profile_, [&](const Pass& pass, bool flushAfter) {
    lastPassComplete = RunPass(writer_, engine_, pass, flushAfter);
    if (lastPassComplete) ++done_.passesDone;
    if (!lastPassComplete && pass.kind != PassKind::Invert) allFlushed = false;
  });
  if (!lastPassComplete || !allFlushed) throw IoError::FromErrno(EIO);
}

bool FileDestruction::ClearAttributes(const PinnedFile& file) {
  constexpr std::uint32_t kInTheWay =
      FileAttribute::ReadOnly | FileAttribute::Hidden | FileAttribute::System | 0x08 | FileAttribute::Directory;
  constexpr std::uint32_t kCleared = FileAttribute::ReadOnly | FileAttribute::Hidden | FileAttribute::System;
  const std::uint32_t word = file.AttributesWhenReached();
  if ((word & kInTheWay) == 0) return false;
  try {
    return file.SetAttributes(word & ~kCleared);
  } catch (const IoError&) {
    return true;
  }
}

void FileDestruction::DiscardFile() {
  // Cut while the engine still holds the file: where cutting fails, the
  // file is kept, and cut back to its own length.
  engine_.WorkFile->SetLength(0);
  emptied_ = true;
  FileHandle file = std::move(*engine_.WorkFile);
  engine_.WorkFile.reset();
  PinnedFile target = std::move(*engine_.WorkTarget);
  engine_.WorkTarget.reset();
  // Renamed, the file no longer tells whose it was: the journal knows it
  // first, so that a run killed before it goes leaves it to the next start.
  if (options_.wipeNames) NoteRenaming(target, {file.Identity().inode, file.BirthTime()});
  file.Close();
  // Once the passes are done the file goes, whatever its name's wiping met.
  const std::string nameNote = options_.wipeNames ? WipeNameOf(target) : "";
  // Other names share the data the passes overwrote; only the listed one
  // goes, and the user is told the others are left, empty.
  const std::uint64_t links = target.Delete();
  done_.detail = JoinedNotes(JoinedNotes(nameNote, OtherNamesNote(links > 1 ? links - 1 : 0)), sharedNote_);
}

void FileDestruction::NoteRenaming(const PinnedFile& target, const JournalRecord::RenamedFile& file) {
  const Directory& folder = *target.Folder();
  try {
    if (wipedFolder_ && wipedFolder_->Device() == folder.Device() && wipedFolder_->Inode() == folder.Inode()) {
      if (renamed_) renamed_->Add(file);
      return;
    }
    FlushWipedFolder();
    wipedFolder_ = target.Folder();
    wipedFolderPath_ = FolderOfPath(done_.target);
    JournalRecord record;
    record.kind = JournalRecord::Kind::Renamed;
    record.fileSystem = folder.FileSystemId();
    record.inode = folder.Inode();
    record.path = FolderOfPath(route_);
    record.renamed = {file};
    renamed_.emplace(record);
  } catch (const IoError& failure) {
    // Left in the journal, a record holds only files that are gone or
    // still to be put right.
    renamed_.reset();
    monitor_.ShowMessage("The journal could not note the files emptied in " + ReadablePath(wipedFolderPath_) + " (" +
                         failure.what() + "): a run killed before they are deleted leaves them there, empty.");
  }
}

void FileDestruction::FlushWipedFolder() {
  if (!wipedFolder_) return;
  try {
    wipedFolder_->Flush();
    // Where the flush failed, the record stays: the next start finds its
    // files gone, or deletes them.
    if (renamed_) renamed_->Done();
  } catch (const IoError& failure) {
    monitor_.ShowMessage("The folder " + ReadablePath(wipedFolderPath_) + " could not be flushed (" + failure.what() +
                         "): names of files destroyed there may come back after a power cut.");
  }
  renamed_.reset();
  wipedFolder_.reset();
}

std::string FileDestruction::WipeNameOf(PinnedFile& target) {
  try {
    return NameWipingNote(target.WipeName());
  } catch (const IoError& failure) {
    // A name that no longer names the file is left to Delete, which refuses it.
    return std::string("name wiping stopped: ") + failure.what();
  }
}

}  // namespace omrek
