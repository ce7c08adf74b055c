#include "disk/FreeSpaceWipe.h"

#include <cstdio>
#include <cstring>

#include "disk/DiskInfo.h"
#include "disk/SlackSweep.h"
#include "engine/OverwritePasses.h"
#include "engine/PassPlan.h"
#include "platform/DriveTable.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

std::string MegText(std::int64_t chunks) { return std::to_string(chunks) + (chunks == 1 ? " meg" : " megs"); }

std::int64_t FreeBytes(const std::string& root) { return QueryDiskSpace(root).FreeBytes; }

std::string InRoot(const std::string& root, const std::string& name) {
  return root.ends_with('/') ? root + name : root + "/" + name;
}

}  // namespace

std::string FillerFileName(int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%3.3d", number);
  return std::string("Omrek-Delete This File if you see it ") + digits;
}

FreeSpaceWipe::FreeSpaceWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile,
                             std::function<bool()> wipeSlack, TDiskInfo& diskInfo)
    : engine_(engine), monitor_(monitor), profile_(profile), wipeSlack_(std::move(wipeSlack)), diskInfo_(diskInfo) {}

void FreeSpaceWipe::WipeSelectedDrives(const std::string& letters) {
  engine_.Random.Reseed(engine_.TimeOfDaySeed());
  engine_.WorkTotal = 0;
  const DriveTable drives = DriveTable::Read();
  for (const char letter : letters) {
    // A drive that has gone adds nothing; its turn below says so.
    if (const auto drive = drives.Find(letter); drive && drive->FreeBytes > 0) {
      engine_.WorkTotal += drive->FreeBytes / static_cast<std::int64_t>(kBlockSize);
    }
  }
  monitor_.ResetProgress();
  for (const char letter : letters) {
    WipeDriveFreeSpace(letter);
    if (monitor_.CancelFlag()) break;
  }
  monitor_.SetCancelFlag(true);
}

void FreeSpaceWipe::WipeDriveFreeSpace(char letter) {
  // The drive is looked up by its letter now: a letter whose drive has
  // gone must never fall back to the drive described before.
  const auto drive = DriveTable::Read().Find(letter);
  const std::string noSpace = std::string("No empty space to wipe on Drive ") + letter;
  if (!drive) {
    monitor_.ShowMessage(noSpace);
    return;
  }
  diskInfo_.SetDisk(letter);
  engine_.ClusterSize = static_cast<std::uint32_t>(kBlockSize);
  if (wipeSlack_()) SlackSweep(engine_, monitor_).SweepDriveSlack(drive->RootDirectory);
  if (FreeBytes(drive->RootDirectory) <= 0) {
    monitor_.ShowMessage(noSpace);
    return;
  }
  FillFreeSpace(drive->Letter, drive->RootDirectory);
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
    std::int64_t startBlock = 0;
    do {
      const std::int64_t free = FreeBytes(root);
      const std::int64_t blocks =
          free >= static_cast<std::int64_t>(kChunkSize) ? kChunkBlocks : std::max<std::int64_t>(free, 0) / kBlockSize;
      WipeChunk(startBlock, blocks);
      startBlock += blocks;
      monitor_.AddProgress(static_cast<std::uint16_t>(blocks));
      ++chunks;
      monitor_.SetStatus(std::string("DRIVE ") + letter, MegText(chunks), "WIPED");
      monitor_.PumpEvents();
      if (monitor_.CancelFlag()) break;
      if (chunks % chunksPerFile == 0) {
        engine_.WorkFile->Close();
        engine_.WorkFile.reset();
        OpenFillerFile(root, ++fileNumber);
        startBlock = 0;
      }
    } while (FreeBytes(root) >= static_cast<std::int64_t>(kChunkSize));
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
  const std::string path = InRoot(root, FillerFileName(number));
  engine_.WorkFile = FileHandle::Create(path);
  fillerFiles_.push_back(path);
}

void FreeSpaceWipe::WipeChunk(std::int64_t startBlock, std::int64_t blocks) {
  const std::uint64_t offset = static_cast<std::uint64_t>(startBlock) * kBlockSize;
  const auto bytes = static_cast<std::size_t>(blocks) * kBlockSize;
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
  InvertBlocksWithCarry(engine_.IoBuffer.data(), read, bytes / kBlockSize, kBlockSize, fillerBlock_.data());
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
