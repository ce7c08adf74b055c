#include "disk/FreeSpaceWipe.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "disk/DiskInfo.h"
#include "disk/SlackSweep.h"
#include "engine/PassPlan.h"
#include "platform/BtrfsSpace.h"
#include "platform/Directory.h"
#include "platform/DriveTable.h"
#include "platform/FileSystemId.h"
#include "platform/IoError.h"
#include "platform/JournalCheckpoint.h"
#include "platform/JournalFolder.h"
#include "platform/MountProbe.h"
#include "platform/ReservedClusters.h"
#include "platform/TerminationSignals.h"
#include "platform/Volume.h"

namespace omrek {

namespace {

constexpr std::uint64_t kMegabyte = 1 << 20;
// How often a drive another copy holds is tried again; the window answers
// Cancel as often.
constexpr std::chrono::milliseconds kBusyRetry{150};

// The drive's status lines while it fills, and when it fails.
void ShowDrive(JobMonitor& monitor, char letter, std::int64_t written, Outcome outcome) {
  TargetOutcome now;
  now.outcome = outcome;
  now.drive = letter;
  now.bytes = static_cast<std::uint64_t>(written);
  ShowOutcome(monitor, now);
}

std::string NoSpaceText(char letter) { return std::string("No empty space to wipe on Drive ") + letter; }

std::int64_t FreeBytes(const std::string& root) { return QueryDiskSpace(root).FreeBytes; }

// The drive's block, where it is below a page: the last free blocks are
// taken one by one. A filler written around the page cache needs places
// and lengths in the device's blocks; one it refuses goes through the
// cache (FileHandle::BypassCache).
std::uint64_t SmallestPiece(const std::string& root) {
  const std::uint64_t block = ClusterSizeOf(root);
  return block == 0 ? FreeSpaceWipe::kLargestSmallestPiece : std::min(block, FreeSpaceWipe::kLargestSmallestPiece);
}

// Rounded up: even a part of a megabyte left with its old data is told.
std::string UnwrittenText(char letter, std::uint64_t bytes, const std::string& whyNotLowered) {
  const std::uint64_t megs = (bytes + kMegabyte - 1) / kMegabyte;
  return std::to_string(megs) + " MiB on Drive " + letter + " stayed unwritten: the file system keeps them in reserve" +
         (whyNotLowered.empty() ? " for root" : " (" + whyNotLowered + ")");
}

// Rounded up, as above.
std::string MetadataLeftText(std::uint64_t bytes) {
  return "btrfs keeps small files inside its metadata; " + std::to_string((bytes + kMegabyte - 1) / kMegabyte) +
         " MiB of freed metadata was not overwritten";
}

}  // namespace

FreeSpaceWipe::FreeSpaceWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile,
                             std::function<bool()> wipeSlack, TDiskInfo& diskInfo, bool verify)
    : engine_(engine),
      monitor_(monitor),
      profile_(profile),
      wipeSlack_(std::move(wipeSlack)),
      diskInfo_(diskInfo),
      verify_(verify),
      writer_(engine, monitor, kFreeSpacePasses, fillerBlock_, verify) {}

void FreeSpaceWipe::WipeSelectedDrives(const std::vector<DriveToWipe>& drives) {
  engine_.Random.Reseed(engine_.TimeOfDaySeed());
  engine_.WorkTotal = 0;
  const DriveTable table = DriveTable::Read();
  // A drive that stopped answering since it was picked is not waited for.
  std::vector<bool> answers;
  for (const DriveToWipe& drive : drives) answers.push_back(MountProbe::MountHoldingAnswers(drive.root));
  for (std::size_t index = 0; index < drives.size(); ++index) {
    const DriveToWipe& drive = drives[index];
    if (!answers[index]) continue;
    // A drive that has gone adds nothing; its turn below says so.
    const std::int64_t free = QueryDiskSpace(drive.root).FreeBytes;
    if (table.LetterOf(drive.root) != 0 && free > 0) {
      engine_.WorkTotal += free / static_cast<std::int64_t>(kBlockSize);
    }
  }
  monitor_.ResetProgress();
  // The drives a stop or a failure keeps the command from are told too.
  const auto tellNotReached = [&](std::size_t from) {
    for (std::size_t next = from; next < drives.size(); ++next) {
      TargetOutcome notReached = TargetOutcome::Before(drives[next].root, verify_);
      notReached.drive = drives[next].letter;
      notReached.outcome = Outcome::NotReached;
      sink_(notReached);
    }
  };
  for (std::size_t index = 0; index < drives.size(); ++index) {
    done_ = TargetOutcome::Before(drives[index].root, verify_);
    done_.drive = drives[index].letter;
    done_.outcome = Outcome::NoSpace;
    try {
      if (!answers[index]) throw IoError(EIO, "the drive does not respond");
      WipeDriveFreeSpace(drives[index]);
    } catch (const std::exception& failure) {
      done_.outcome = Outcome::DriveFailed;
      done_.detail = failure.what();
      if (!goOnAfterFailure) {
        sink_(done_);
        tellNotReached(index + 1);
        throw;
      }
    }
    sink_(done_);
    if (monitor_.CancelFlag()) {
      tellNotReached(index + 1);
      break;
    }
  }
  monitor_.SetCancelFlag(true);
}

void FreeSpaceWipe::WipeDriveFreeSpace(const DriveToWipe& drive) {
  // The drive is found by its root folder, as the user saw it in the list:
  // a drive that has gone must never be taken for whatever has its letter
  // or its folder now.
  const char letter = DriveTable::Read().LetterOf(drive.root);
  const std::string noSpace = NoSpaceText(drive.letter);
  if (letter == 0) {
    monitor_.ShowMessage(noSpace);
    return;
  }
  const std::string fileSystem = FileSystemIdOf(drive.root);
  // Only once the drive is let go: a message waits for the user, and the
  // drive must not stay taken meanwhile.
  const auto tell = [this] {
    for (const std::string& message : std::exchange(toTell_, {})) monitor_.ShowMessage(message);
  };
  try {
    // Held until the drive is done: another copy would take this one's
    // closed fillers for a killed run's, and on ext4 put the reserve back
    // while this one still fills.
    const std::optional<FileSystemLock> lock = TakeDrive(drive);
    if (!lock) return;
    // A wait may outlast the drive: what is mounted at its folder since is
    // not the drive the user chose.
    if (DriveTable::Read().LetterOf(drive.root) != letter || FileSystemIdOf(drive.root) != fileSystem) {
      toTell_.push_back(noSpace);
    } else {
      WipeTakenDrive(drive, letter);
    }
  } catch (...) {
    tell();
    throw;
  }
  tell();
}

void FreeSpaceWipe::WipeTakenDrive(const DriveToWipe& drive, char letter) {
  diskInfo_.SetDisk(letter);
  engine_.ClusterSize = static_cast<std::uint32_t>(kBlockSize);
  // A killed run's fillers may hold all the space there is: they go before
  // the space is measured.
  const LeftoverFillers leftovers = DeleteLeftoverFillers(drive.root);
  toTell_.insert(toTell_.end(), leftovers.left.begin(), leftovers.left.end());
  toTell_.insert(toTell_.end(), leftovers.others.begin(), leftovers.others.end());
  if (wipeSlack_()) SlackSweep(engine_, monitor_).SweepDriveSlack(drive.root);
  if (FreeBytes(drive.root) <= 0) {
    toTell_.push_back(NoSpaceText(drive.letter));
    return;
  }
  FillFreeSpace(drive.letter, drive.root);
}

std::optional<FileSystemLock> FreeSpaceWipe::TakeDrive(const DriveToWipe& drive) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point giveUp = longestWait ? Clock::now() + *longestWait : Clock::time_point::max();
  std::optional<FileSystemLock> lock = FileSystemLock::TryTake(drive.root);
  if (!lock && Clock::now() < giveUp) {
    // Over the three status lines, each as narrow as the window's.
    const std::string onDrive = std::string("on Drive ") + drive.letter;
    monitor_.SetStatus("waiting for", "another Omrek", onDrive);
    if (waitTold) waitTold("waiting for another Omrek " + onDrive);
  }
  while (!lock && !monitor_.CancelFlag() && Clock::now() < giveUp) {
    std::this_thread::sleep_for(kBusyRetry);
    monitor_.PumpEvents();
    lock = FileSystemLock::TryTake(drive.root);
  }
  if (!lock) {
    done_.outcome = Outcome::DriveBusy;
    ShowOutcome(monitor_, done_);
  }
  return lock;
}

void FreeSpaceWipe::FillFreeSpace(char letter, const std::string& root) {
  std::optional<LoweredReserve> reserve;
  std::string whyNotLowered;
  try {
    reserve.emplace(root);
  } catch (const IoError& error) {
    whyNotLowered = error.what();
  }
  const std::uint64_t outOfReach = FreeBytesOutOfReach(root);
  fillerFiles_.clear();
  fillerBlock_.fill(0);
  unflushed_ = false;
  bool filled = false;
  std::optional<std::uint64_t> metadataLeft;
  try {
    filled = FillWithFillerFiles(letter, root);
    FlushFiller();
    // A filler's extent blocks have reached only the journal so far: freed
    // with the filler before the journal writes them to their places, they
    // would keep a deleted file's data.
    if (filled) WriteJournalOut(root);
    // Asked while the fillers still hold all the data space they took. A
    // drive filled to the end is no less wiped for a question unanswered.
    if (filled) {
      try {
        metadataLeft = BtrfsFreeMetadataBytes(root);
      } catch (const IoError&) {
        metadataLeft.reset();
      }
    }
  } catch (...) {
    try {
      FlushFiller();
    } catch (const IoError&) {
      // What did land is flushed as far as it goes before the fillers are
      // deleted; the first error is the one to tell.
    }
    DeleteFillerFiles();
    throw;
  }
  DeleteFillerFiles();
  // A drive full before its first chunk had nothing to wipe.
  done_.outcome = !filled ? Outcome::DriveStopped : done_.bytes > 0 ? Outcome::DriveWiped : Outcome::NoSpace;
  // A drive wiped to the end still tells what its fillers could not reach.
  if (done_.outcome == Outcome::DriveWiped && metadataLeft.value_or(0) > 0) {
    done_.detail = MetadataLeftText(*metadataLeft);
  }
  // The pool is back before the message, which waits for the user.
  reserve.reset();
  if (filled && outOfReach > 0) toTell_.push_back(UnwrittenText(letter, outOfReach, whyNotLowered));
}

bool FreeSpaceWipe::FillWithFillerFiles(char letter, const std::string& root) {
  // The first filler file failing is the user's to hear of, whatever the
  // error: nothing of the drive was written.
  int fileNumber = OpenFillerFile(root, 1);
  std::int64_t chunks = 0;
  std::int64_t written = 0;
  try {
    std::uint64_t start = 0;  // in the current filler file
    std::uint64_t piece = kChunkSize;
    std::uint64_t uncounted = 0;
    const std::uint64_t smallestPiece = SmallestPiece(root);
    // A file system that compresses or shares blocks loses far less free
    // space than is written to it; twice the free space found is as far as
    // the filler goes, so such a drive cannot keep the wipe going forever.
    const std::int64_t writeLimit = 2 * FreeBytes(root) + static_cast<std::int64_t>(kChunkSize);
    do {
      const std::int64_t free = FreeBytes(root);
      std::uint64_t bytes = free >= static_cast<std::int64_t>(kChunkSize)
                                ? kChunkSize
                                : static_cast<std::uint64_t>(std::max<std::int64_t>(free, 0)) / kBlockSize * kBlockSize;
      // The last free bytes, less than a block: one more block takes them.
      if (bytes == 0 && chunks > 0) bytes = kBlockSize;
      bytes = std::min(bytes, piece);
      try {
        const auto started = std::chrono::steady_clock::now();
        done_.passesDone = done_.passesPlanned = WipeChunk(start, bytes);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        if (chunks == 0 && firstChunkTimed && took.count() > 0) {
          firstChunkTimed(root, static_cast<double>(bytes) / took.count());
        }
      } catch (const IoError& error) {
        // A file system near full refuses a large write while smaller ones
        // still fit: the chunk is tried again in smaller pieces, down to a
        // block, before the disk counts as full. Nothing that was free keeps
        // its old data.
        if (!error.DiskFull() || piece == smallestPiece) throw;
        piece = std::max(piece / 8, smallestPiece);
        continue;
      }
      start += bytes;
      written += static_cast<std::int64_t>(bytes);
      done_.bytes = static_cast<std::uint64_t>(written);
      uncounted += bytes;
      monitor_.AddProgress(static_cast<std::uint16_t>(uncounted / kBlockSize));
      uncounted %= kBlockSize;
      ++chunks;
      ShowDrive(monitor_, letter, written, Outcome::DriveWiped);
      monitor_.PumpEvents();
      if (monitor_.CancelFlag()) return false;
      if (chunks % kChunksPerFlush == 0) FlushFiller();
      if (chunks % chunksPerFile == 0) {
        FlushFiller();
        engine_.WorkFile->Close();
        engine_.WorkFile.reset();
        fileNumber = OpenFillerFile(root, fileNumber + 1);
        start = 0;
      }
      // Free space as counted may leave out blocks the file system holds
      // in reserve for other files; a write past "full" makes it give them
      // up, so only a write that fails ends the filling.
    } while (written < writeLimit);
  } catch (const IoError& error) {
    // A full disk is where the filling ends. Any other error leaves free
    // space unwritten: the drive must not read "WIPED".
    if (!error.DiskFull()) {
      ShowDrive(monitor_, letter, written, Outcome::DriveFailed);
      throw;
    }
  }
  // A signal may come between the last check and the full disk: a drive
  // the user asked to stop never reads "WIPED", however far it got.
  return !monitor_.CancelFlag();
}

int FreeSpaceWipe::OpenFillerFile(const std::string& root, int number) {
  // A name that is taken belongs to a file the program cannot prove its
  // own (the clean-up before the filling took every one it could): it is
  // passed over, never emptied.
  std::string name = FillerFileName(number);
  std::optional<FileHandle> file = FileHandle::CreateNew(PathInFolder(root, name));
  while (!file) {
    name = FillerFileName(++number);
    file = FileHandle::CreateNew(PathInFolder(root, name));
  }
  const FileIdentity identity = file->Identity();
  try {
    JournalRecord filler;
    filler.kind = JournalRecord::Kind::Filler;
    filler.fileSystem = file->FileSystemId();
    filler.inode = identity.inode;
    filler.path = PathInFolder(root, name);
    filler.born = file->BirthTime();
    JournalEntry record(filler);
    fillerFiles_.push_back({root, name, identity, std::move(record)});
  } catch (const IoError& error) {
    // Without its record the file must not outlive this run.
    Directory::Open(root).RemoveEntryOf(name, identity);
    // A journal kept on the drive being filled runs out of room with it:
    // that is where the filling ends. Anywhere else, the drive is not full.
    const auto* journal = dynamic_cast<const JournalError*>(&error);
    if (journal != nullptr && journal->RoomRanOut() && FileSystemIdOf(JournalFolderPath()) == file->FileSystemId()) {
      throw IoError::FromErrno(ENOSPC);
    }
    throw;
  }
  engine_.WorkFile = std::move(*file);
  // A filler is never read again: caching it would only push the user's
  // files out of memory.
  engine_.WorkFile->BypassCache();
  return number;
}

std::int64_t FreeSpaceWipe::WipeChunk(std::uint64_t offset, std::size_t bytes) {
  FileHandle& file = *engine_.WorkFile;
  std::int64_t passes = 0;
  // A pass's flush is made only once another pass is to overwrite the
  // chunk: the last pass's waits for FlushFiller, with many chunks'.
  bool flushDue = false;
  WalkPasses(PassOrder::FreeSpace, profile_, [&](const Pass& pass, bool flushAfter) {
    if (flushDue) file.Flush();
    writer_.Write(file, offset, bytes, pass);
    unflushed_ = true;
    flushDue = flushAfter;
    ++passes;
  });
  if (verify_ && passes > 0) done_.Verify([&] { writer_.VerifyLastPass(file); });
  return passes;
}

void FreeSpaceWipe::FlushFiller() {
  if (unflushed_ && engine_.WorkFile) engine_.WorkFile->Flush();
  unflushed_ = false;
}

void FreeSpaceWipe::DeleteFillerFiles() {
  monitor_.ShowMeterFull();
  engine_.WorkFile.reset();
  // Each file on its own: one that cannot be deleted does not keep the
  // others on the drive, and keeps its record for the next start. Only the
  // file made here goes, whatever has its name now.
  for (auto file = fillerFiles_.rbegin(); file != fillerFiles_.rend(); ++file) {
    TerminationSignals::StillStopping();
    try {
      Directory::Open(file->root).RemoveEntryOf(file->name, file->identity);
      file->record.Done();
    } catch (const IoError& error) {
      // Gone already, or its name taken by another file: nothing of it is
      // left to delete.
      if (error.NotFound()) file->record.Done();
    }
  }
  fillerFiles_.clear();
}

}  // namespace omrek
