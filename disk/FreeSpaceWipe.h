#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "disk/FillerFiles.h"
#include "engine/JobMonitor.h"
#include "engine/PassWriter.h"
#include "engine/ShredEngine.h"
#include "engine/TargetOutcome.h"
#include "engine/WipeProfile.h"
#include "platform/FileIdentity.h"
#include "platform/FileSystemLock.h"
#include "platform/WorkJournal.h"

namespace omrek {

class TDiskInfo;

// A drive as the user picked it: its letter then, and its root folder.
struct DriveToWipe {
  char letter;
  std::string root;
};

// Overwrites the free space of drives: temporary filler files in a drive's
// root take its free space a megabyte (a chunk of 32 blocks of 32768 bytes)
// at a time, each chunk written with every pass of the disk-mode profile;
// a pass over a chunk reaches the medium before the next pass overwrites
// it, and the last passes of many chunks share one flush. Below a megabyte
// the chunks shrink to the whole blocks left, and a last block takes the
// final bytes, until the drive is full. Then the filler files are deleted.
// With the disk-mode WipeSlack option the drive's slack is swept first.
//
// One copy of the program at a time works on a drive, from the clean-up
// below to its last filler deleted (FileSystemLock.h); a drive another copy
// holds is waited for, saying so, until `longestWait` is over or Cancel, and
// then reads "BUSY", untouched. Where the lock cannot be kept (no journal
// folder), the drive fails with the reason before anything is done.
//
// Filler files an earlier run left in the drive's root are deleted first;
// files with their names that are not provably such leftovers are named in
// a message and left, and the fillers take the next free numbers.
// As root, ext4's reserved pool is emptied for the filler phase, so that no
// free cluster keeps its old data; where free blocks stay out of reach (not
// root, or a pool that cannot be lowered) a message after the drive says
// how many MiB stayed unwritten and why. On btrfs, whose metadata keeps
// small files where no filler reaches, a wiped drive's outcome tells the
// metadata space left unwritten.
//
// Only a full disk ends the filler phase quietly. Any other error shows
// "FAILED" for the drive and goes on to the caller (the window's error box). Whatever ends
// the phase (the disk full, Cancel, any error), every filler file made for
// the drive is deleted, so it is never left full, and the pool is put back.
class FreeSpaceWipe {
 public:
  static constexpr std::uint64_t kBlockSize = 32768;
  static constexpr std::int64_t kChunkBlocks = 32;
  static constexpr std::uint64_t kChunkSize = kBlockSize * kChunkBlocks;
  // The smallest write tried before a drive counts as full is the file
  // system's block, a page at most: a file system of 1 KiB blocks keeps up
  // to three free blocks from a page-sized write.
  static constexpr std::uint64_t kLargestSmallestPiece = 4096;
  // Chunks whose last passes share one flush: nothing overwrites them
  // again, so their flush only has to come before the fillers go. Each
  // flush of a growing filler commits the file system's journal too.
  static constexpr std::int64_t kChunksPerFlush = 64;

  // With `verify`, each chunk is read back, past the page cache, after its
  // last pass, and a chunk the device does not give back as written ends
  // the drive with an error.
  FreeSpaceWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile, std::function<bool()> wipeSlack,
                TDiskInfo& diskInfo, bool verify = false);

  // The command over the picked drives, in order; stops between drives when
  // CancelFlag is set. An error that ends a drive goes on to the caller,
  // unless `goOnAfterFailure` says the next drive is to be tried.
  void WipeSelectedDrives(const std::vector<DriveToWipe>& drives);

  // Each drive the command then goes through is told to `sink`.
  void TellOutcomes(OutcomeSink sink) { sink_ = std::move(sink); }
  bool goOnAfterFailure = false;

  void WipeDriveFreeSpace(const DriveToWipe& drive);

  // How long a drive another copy of the program is wiping is waited for;
  // none: until Cancel.
  std::optional<std::chrono::seconds> longestWait;
  // Told the status of such a wait as it begins, for a front end that
  // shows no status lines.
  std::function<void(const std::string& status)> waitTold;

  // Chunks written into one filler file before the next is started: 1024,
  // a gigabyte. Tests lower it to see the change of file without writing
  // a gigabyte.
  std::int64_t chunksPerFile = 1024;

  // Told how fast the passes went over each drive's first chunk, in bytes a
  // second, so that the next wipe of the drive can be forecast.
  std::function<void(const std::string& root, double bytesPerSecond)> firstChunkTimed;

 private:
  // The drive's lock once no other copy holds it; nullopt, the drive told
  // "BUSY", when the wait ended first.
  std::optional<FileSystemLock> TakeDrive(const DriveToWipe& drive);
  // The drive's work once it is this copy's alone.
  void WipeTakenDrive(const DriveToWipe& drive, char letter);
  void FillFreeSpace(char letter, const std::string& root);
  // Returns false when Cancel (or a signal) came before the filling ended.
  bool FillWithFillerFiles(char letter, const std::string& root);
  // Creates the first filler file free from `number` on; returns its number.
  int OpenFillerFile(const std::string& root, int number);
  // Returns how many passes it wrote.
  std::int64_t WipeChunk(std::uint64_t offset, std::size_t bytes);
  // Puts the passes written since the last flush on the medium.
  void FlushFiller();
  void DeleteFillerFiles();

  ShredEngine& engine_;
  JobMonitor& monitor_;
  const WipeProfile& profile_;
  std::function<bool()> wipeSlack_;
  TDiskInfo& diskInfo_;
  // The block the passes last wrote; what the invert pass complements where
  // the filler file holds no data yet.
  std::array<std::uint8_t, kBlockSize> fillerBlock_{};
  // The filler files made on the drive being wiped, each with its record in
  // the journal, so that a run that never deletes them has them deleted at
  // the next start.
  struct FillerFile {
    std::string root;
    std::string name;
    FileIdentity identity;
    JournalEntry record;
  };
  std::vector<FillerFile> fillerFiles_;
  // The current filler holds passes not yet flushed.
  bool unflushed_ = false;
  // Messages for the user, shown once the drive is let go.
  std::vector<std::string> toTell_;
  bool verify_;
  PassWriter writer_;
  OutcomeSink sink_ = [](const TargetOutcome&) {};
  // What came of the drive being wiped.
  TargetOutcome done_;
};

}  // namespace omrek
