#include "engine/FileDestruction.h"

#include <algorithm>
#include <cerrno>

#include "engine/ChunkDigest.h"
#include "engine/OverwritePasses.h"
#include "engine/PassPlan.h"
#include "engine/WorkTotal.h"
#include "platform/FileAttributes.h"
#include "platform/IoError.h"
#include "platform/WavePlayer.h"

namespace omrek {

FileDestruction::FileDestruction(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile,
                                 WavePlayer& sound, DestroyOptions options)
    : engine_(engine), monitor_(monitor), profile_(profile), sound_(sound), options_(options) {}

void FileDestruction::DestroyListedFiles(TargetRows& rows) {
  ComputeWorkTotal(WorkKind::PerSector, engine_, rows, profile_);
  monitor_.ResetProgress();
  WalkRows(engine_, monitor_, rows, RowPump::BeforeEachRow, [this](const ListedFile& file) { return DestroyFile(file); },
           sink_);
  monitor_.SetCancelFlag(true);
  monitor_.ResetProgress();
}

TargetOutcome FileDestruction::DestroyFile(const ListedFile& target) {
  done_ = TargetOutcome::Before(target.path, options_.verify);
  done_.passesPlanned = DestructionPassCount(profile_);
  std::optional<PinnedFile> file = ReachListedFile(target);
  if (!file) return done_;
  ClearAttributes(*file);
  try {
    const std::uint64_t size = FileSizeOf(*file);
    ComputeSectorCount(engine_, *file, size);
    done_.bytes = static_cast<std::uint64_t>(engine_.SectorCount) * ShredEngine::kSectorSize;
    engine_.WorkFile = file->Open(FileHandle::Access::ReadWrite);
    // What is written is about to be deleted: no reason to cache it and
    // push the user's own files out of memory.
    engine_.WorkFile->BypassCache();
    engine_.WorkTarget.emplace(std::move(*file));

    // A file the passes did not all reach stays where it is: deleted, its
    // old data would live on in blocks nobody can find again, and its row
    // would read "skipped" for a file that is gone and cannot be retried.
    engine_.KeepDigests = options_.verify;
    RunPasses();
    try {
      engine_.WorkFile->Flush();
    } catch (const IoError&) {
      // Every pass flushed already; this one only tidies up.
    }
    if (options_.verify) done_.Verify([this] { VerifyLastPass(); });
    DiscardFile();
    done_.outcome = Outcome::Destroyed;
  } catch (const std::exception& failure) {
    engine_.WorkFile.reset();
    engine_.WorkTarget.reset();
    done_.outcome = Outcome::Kept;
    done_.detail = failure.what();
  }
  ShowOutcome(monitor_, done_);
  return done_;
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
  for (int step = 0; step < kDestructionSteps; ++step) {
    const PlanStep planned = DestructionStep(step, profile_);
    for (std::int64_t pass = 0; pass < planned.repeat; ++pass) {
      lastPassComplete = RunPass(engine_, monitor_, planned.pass);
      ++done_.passesDone;
      if (!lastPassComplete && planned.pass.kind != PassKind::Invert) allFlushed = false;
    }
  }
  if (!lastPassComplete || !allFlushed) throw IoError::FromErrno(EIO);
}

void FileDestruction::VerifyLastPass() {
  FileHandle& file = *engine_.WorkFile;
  // Around the cache where the file bypasses it; else its clean pages go
  // first, so the bytes come from the device.
  file.DropCachedPages();
  const std::uint64_t end = static_cast<std::uint64_t>(engine_.SectorCount) * ShredEngine::kSectorSize;
  const std::size_t chunk = engine_.IoBuffer.size();
  std::size_t index = 0;
  for (std::uint64_t offset = 0; offset < end; offset += chunk, ++index) {
    const auto bytes = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, end - offset));
    const bool same = index < engine_.PassDigests.size() &&
                      file.ReadAt(engine_.IoBuffer.data(), bytes, offset) == bytes &&
                      ChunkDigest(engine_.IoBuffer.data(), bytes) == engine_.PassDigests[index];
    if (!same) throw IoError::FromErrno(EIO);
  }
}

void FileDestruction::ClearAttributes(const PinnedFile& file) {
  monitor_.PumpEvents();
  constexpr std::uint32_t kInTheWay =
      FileAttribute::ReadOnly | FileAttribute::Hidden | FileAttribute::System | 0x08 | FileAttribute::Directory;
  constexpr std::uint32_t kCleared = FileAttribute::ReadOnly | FileAttribute::Hidden | FileAttribute::System;
  const std::uint32_t word = file.Attributes();
  if ((word & kInTheWay) == 0) return;
  try {
    file.SetAttributes(word & ~kCleared);
  } catch (const IoError&) {
  }
}

void FileDestruction::DiscardFile() {
  FileHandle file = std::move(*engine_.WorkFile);
  engine_.WorkFile.reset();
  PinnedFile target = std::move(*engine_.WorkTarget);
  engine_.WorkTarget.reset();
  file.SetLength(0);
  file.Close();
  if (options_.wipeNames) target.WipeName();
  target.Delete();
}

}  // namespace omrek
