#include "disk/FreeSpaceWipe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "disk/DiskInfo.h"
#include "disk/SlackSweep.h"
#include "engine/OverwritePasses.h"
#include "engine/PassPlan.h"
#include "platform/Directory.h"
#include "platform/DriveTable.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

std::string MegText(std::int64_t chunks) { return std::to_string(chunks) + (chunks == 1 ? " meg" : " megs"); }

std::int64_t FreeBytes(const std::string& root) { return QueryDiskSpace(root).FreeBytes; }

}  // namespace

std::string FillerFileName(int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%3.3d", number);
  return std::string("Omrek-Delete This File if you see it ") + digits;
}

FreeSpaceWipe::FreeSpaceWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile,
                             std::function<bool()> wipeSlack, TDiskInfo& diskInfo)
    : engine_(engine), monitor_(monitor), profile_(profile), wipeSlack_(std::move(wipeSlack)), diskInfo_(diskInfo) {}

void FreeSpaceWipe::WipeSelectedDrives(const std::vector<DriveToWipe>& drives) {
  engine_.Random.Reseed(engine_.TimeOfDaySeed());
  engine_.WorkTotal = 0;
  const DriveTable table = DriveTable::Read();
  for (const DriveToWipe& drive : drives) {
    // A drive that has gone adds nothing; its turn below says so.
    const std::int64_t free = QueryDiskSpace(drive.root).FreeBytes;
    if (table.LetterOf(drive.root) != 0 && free > 0) {
      engine_.WorkTotal += free / static_cast<std::int64_t>(kBlockSize);
    }
  }
  monitor_.ResetProgress();
  for (const DriveToWipe& drive : drives) {
    WipeDriveFreeSpace(drive);
    if (monitor_.CancelFlag()) break;
  }
  monitor_.SetCancelFlag(true);
}

void FreeSpaceWipe::WipeDriveFreeSpace(const DriveToWipe& drive) {
  // The drive is found by its root folder, as the user saw it in the list:
  // a drive that has gone must never be taken for whatever has its letter
  // or its folder now.
  const char letter = DriveTable::Read().LetterOf(drive.root);
  const std::string noSpace = std::string("No empty space to wipe on Drive ") + drive.letter;
  if (letter == 0) {
    monitor_.ShowMessage(noSpace);
    return;
  }
  diskInfo_.SetDisk(letter);
  engine_.ClusterSize = static_cast<std::uint32_t>(kBlockSize);
  if (wipeSlack_()) SlackSweep(engine_, monitor_).SweepDriveSlack(drive.root);
  if (FreeBytes(drive.root) <= 0) {
    monitor_.ShowMessage(noSpace);
    return;
  }
  FillFreeSpace(drive.letter, drive.root);
}

void FreeSpaceWipe::FillFreeSpace(char letter, const std::string& root) {
  fillerFiles_.clear();
  fillerBlock_.assign(kBlockSize, 0);
  // The first filler file failing is the user's to hear of: the error goes
  // on to the error box once the drive is tidied.
  try {
    OpenFillerFile(root, 1);
  } catch (...) {
    DeleteFillerFiles();
    throw;
  }
  try {
    int fileNumber = 1;
    std::int64_t chunks = 0;
    std::uint64_t start = 0;  // in the current filler file
    std::uint64_t piece = kChunkSize;
    std::uint64_t uncounted = 0;
    // A file system that compresses or shares blocks loses far less free
    // space than is written to it; twice the free space found is as far as
    // the filler goes, so such a drive cannot keep the wipe going forever.
    const std::int64_t writeLimit = 2 * FreeBytes(root) + static_cast<std::int64_t>(kChunkSize);
    std::int64_t written = 0;
    do {
      const std::int64_t free = FreeBytes(root);
      std::uint64_t bytes = free >= static_cast<std::int64_t>(kChunkSize)
                                ? kChunkSize
                                : static_cast<std::uint64_t>(std::max<std::int64_t>(free, 0)) / kBlockSize * kBlockSize;
      // The last free bytes, less than a block: one more block takes them.
      if (bytes == 0 && chunks > 0) bytes = kBlockSize;
      bytes = std::min(bytes, piece);
      try {
        WipeChunk(start, bytes);
      } catch (const IoError&) {
        // A file system near full refuses a large write while smaller ones
        // still fit: the chunk is tried again in smaller pieces, down to a
        // page, before the disk counts as full. Nothing that was free keeps
        // its old data.
        if (piece == kSmallestPiece) throw;
        piece = std::max(piece / 8, kSmallestPiece);
        continue;
      }
      start += bytes;
      written += static_cast<std::int64_t>(bytes);
      uncounted += bytes;
      monitor_.AddProgress(static_cast<std::uint16_t>(uncounted / kBlockSize));
      uncounted %= kBlockSize;
      ++chunks;
      monitor_.SetStatus(std::string("DRIVE ") + letter, MegText(chunks), "WIPED");
      monitor_.PumpEvents();
      if (monitor_.CancelFlag()) break;
      if (chunks % chunksPerFile == 0) {
        engine_.WorkFile->Close();
        engine_.WorkFile.reset();
        OpenFillerFile(root, ++fileNumber);
        start = 0;
      }
      // Free space as counted may leave out blocks the file system holds
      // in reserve for other files; a write past "full" makes it give them
      // up, so only a write that fails ends the filling.
    } while (written < writeLimit);
  } catch (const IoError&) {
    // A full disk, or a filler file that cannot be made, ends this drive's
    // filling quietly; the files go all the same.
  } catch (...) {
    DeleteFillerFiles();
    throw;
  }
  DeleteFillerFiles();
}

void FreeSpaceWipe::OpenFillerFile(const std::string& root, int number) {
  const std::string path = PathInFolder(root, FillerFileName(number));
  engine_.WorkFile = FileHandle::Create(path);
  fillerFiles_.push_back(path);
}

void FreeSpaceWipe::WipeChunk(std::uint64_t offset, std::size_t bytes) {
  for (int step = 0; step < kDestructionSteps; ++step) {
    const PlanStep planned = DestructionStep(step, profile_);
    for (std::int64_t pass = 0; pass < planned.repeat; ++pass) {
      switch (planned.pass.kind) {
        case PassKind::Fill:
          FillChunk(offset, bytes, planned.pass.value);
          break;
        case PassKind::Invert:
          InvertChunk(offset, bytes);
          break;
        case PassKind::Random:
          RandomChunk(offset, bytes);
          break;
      }
      // The seven DOD passes share one flush, after the seventh.
      if (step != 0 || pass + 1 == planned.repeat) engine_.WorkFile->Flush();
    }
  }
}

void FreeSpaceWipe::FillChunk(std::uint64_t offset, std::size_t bytes, std::uint8_t value) {
  if (bytes > 0) std::memset(fillerBlock_.data(), value, kBlockSize);
  std::memset(engine_.IoBuffer.data(), value, bytes);
  engine_.WorkFile->WriteAt(engine_.IoBuffer.data(), bytes, offset);
}

void FreeSpaceWipe::InvertChunk(std::uint64_t offset, std::size_t bytes) {
  const std::size_t read = engine_.WorkFile->ReadAt(engine_.IoBuffer.data(), bytes, offset);
  const std::size_t blocks = (bytes + kBlockSize - 1) / kBlockSize;
  InvertBlocksWithCarry(engine_.IoBuffer.data(), read, blocks, kBlockSize, fillerBlock_.data());
  engine_.WorkFile->WriteAt(engine_.IoBuffer.data(), bytes, offset);
}

void FreeSpaceWipe::RandomChunk(std::uint64_t offset, std::size_t bytes) {
  engine_.Random.Fill(engine_.IoBuffer.data(), bytes);
  if (bytes >= kBlockSize) std::memcpy(fillerBlock_.data(), engine_.IoBuffer.data() + bytes - kBlockSize, kBlockSize);
  engine_.WorkFile->WriteAt(engine_.IoBuffer.data(), bytes, offset);
}

void FreeSpaceWipe::DeleteFillerFiles() {
  monitor_.ShowMeterFull();
  engine_.WorkFile.reset();
  // Each file on its own: one that cannot be deleted does not keep the
  // others on the drive.
  for (auto file = fillerFiles_.rbegin(); file != fillerFiles_.rend(); ++file) {
    try {
      FileHandle::Delete(*file);
    } catch (const IoError&) {
    }
  }
  fillerFiles_.clear();
}

}  // namespace omrek
