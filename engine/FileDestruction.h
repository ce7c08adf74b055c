#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "engine/JobMonitor.h"
#include "engine/PassWriter.h"
#include "engine/RowWalk.h"
#include "engine/ShredEngine.h"
#include "engine/WipeProfile.h"
#include "intake/TargetFile.h"
#include "intake/TargetRows.h"
#include "platform/Directory.h"
#include "platform/Volume.h"
#include "platform/WorkJournal.h"

namespace omrek {

class WavePlayer;

// What the destroy command does beyond the passes.
struct DestroyOptions {
  // Read each file back, past the page cache, after its last pass and
  // compare it with what that pass wrote; a file that differs is kept.
  bool verify = false;
  // Rename each file to names that tell nothing before deleting it, so its
  // folder's blocks keep no trace of the old name.
  bool wipeNames = true;
};

// Destroys listed files: each is overwritten from its first byte to the end
// of its last cluster by the passes of the file-mode profile, cut to zero
// length and deleted.
//
// What this cannot promise: file systems that write new data elsewhere
// (copy-on-write, log-structured, some journaling modes) and drives that
// remap or compress blocks may keep old copies the passes never reach.
class FileDestruction {
 public:
  FileDestruction(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile, WavePlayer& sound,
                  DestroyOptions options = {});

  // Each file the command then goes through is told to `sink`.
  void TellOutcomes(OutcomeSink sink) { sink_ = std::move(sink); }

  // The destroy command over every row: a destroyed file's row goes, any
  // other row reads "skipped". Stops between rows when CancelFlag is set,
  // and sets it when it ends.
  void DestroyListedFiles(TargetRows& rows);
  // Whether Cancel (or a signal) ended the last command before its end.
  bool Stopped() const { return stopped_; }

  // Destroyed when the file was overwritten, emptied and deleted without
  // error (DeletedUnwritten when every pass is off). Refused, untouched,
  // when it is not a file on a disk. A folder, link, device, or a file no
  // longer where it was listed, is left alone with no status change, its
  // detail saying which; any other failure shows "ERROR" and keeps the file
  // at its old length, told as Stopped or FailedMidway with the passes it
  // got when that came in the middle of its passes. A file is deleted only
  // once every pass reached the medium; one the passes could not fill for
  // want of free space is kept untouched. Of a file with other names, only the listed one goes;
  // the outcome's detail says how many are left, and also whether another
  // file or a snapshot shares its blocks and so still holds its content.
  // A file of a walked folder that has names outside it (a backup tree's
  // hard link) keeps its content for them: its name goes, nothing is
  // written (NameRemoved). Where all its names lie inside, it is destroyed
  // at the first and the others are then names of an empty file.
  TargetOutcome DestroyFile(const ListedFile& target);

  // Clears read-only (and the rest where this system has them) on the file
  // as just reached, so it can be opened for writing; returns whether the
  // look that reached it may no longer stand for the open's (it opened the
  // file, or tried to). Failures are ignored: opening the file then reports
  // them.
  static bool ClearAttributes(const PinnedFile& file);

  // Cuts WorkFile to zero length, closes it and deletes WorkTarget, the
  // listed file it was opened as, under its wiped name or, where that could
  // not be wiped, its own. Where the cut fails, the engine keeps the file
  // open; past it, the file is closed whatever fails.
  void DiscardFile();

 private:
  // Raises, before anything is written, when the passes would need more new
  // space than the file system has free: the holes of a sparse file, and
  // the rest of its last cluster.
  void RefuseWithoutRoom(const PinnedFile& file) const;
  void RunPasses();
  // How many names of the file, as just reached, lie outside the folder
  // walk it came of and are not to lose its content; 0 for a file listed
  // by itself.
  std::uint64_t NamesOutside(const ListedFile& target, const PinnedFile& file);
  // Removes the file's name, its name wiped first, and writes nothing.
  void RemoveNameOnly(PinnedFile& file, std::uint64_t outside);
  // The listed names of files with other names in the same walked folder.
  const std::set<std::string>& ListedNames();
  // Wipes the file's name; what the report should say of it, "" when the
  // name went as always.
  static std::string WipeNameOf(PinnedFile& target);
  // Closes a file that is to stay, cut back to `length` if the passes grew it.
  void KeepFile(std::uint64_t length);
  // The folders of files whose names were wiped reach the medium once per
  // run of files from the same folder, and once more at the end, instead
  // of once per file. A failed flush is told. So does the journal's record
  // of the emptied files renamed there: it is written with the first and
  // grows with each, and goes once the folder is flushed (a file whose
  // deletion failed is named on its line, not left to the record).
  void NoteRenaming(const PinnedFile& target, const JournalRecord::RenamedFile& file);
  void FlushWipedFolder();

  ShredEngine& engine_;
  JobMonitor& monitor_;
  const WipeProfile& profile_;
  WavePlayer& sound_;
  DestroyOptions options_;
  PassWriter writer_;
  OutcomeSink sink_ = [](const TargetOutcome&) {};
  // What came of the file DestroyFile works on.
  TargetOutcome done_;
  // Set once the file is cut to nothing: a failure past that point cannot
  // put its length back, and is not told as a file kept.
  bool emptied_ = false;
  bool stopped_ = false;
  // What its outcome says of another file or a snapshot sharing the
  // blocks of the file DestroyFile works on; "" when none does.
  std::string sharedNote_;
  // Each file system's cluster size, measured once per command, and the
  // folder last walked to.
  ClusterSizeMemo clusterSizes_;
  FolderWalks folderWalks_;
  std::shared_ptr<const Directory> wipedFolder_;
  std::string wipedFolderPath_;
  // The rows of the command under way, and their names of files with
  // several names inside a walked folder, once asked for.
  const TargetRows* rows_ = nullptr;
  std::optional<std::set<std::string>> listedNames_;
  // None where the journal could not be written to.
  std::optional<JournalEntry> renamed_;
  // The route DestroyFile walked to its file.
  std::string route_;
};

}  // namespace omrek
