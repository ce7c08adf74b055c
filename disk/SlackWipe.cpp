#include "disk/SlackWipe.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "engine/ClusterSize.h"
#include "disk/FileRestorer.h"
#include "engine/StopRequest.h"
#include "engine/WorkTotal.h"
#include "platform/FileHandle.h"
#include "platform/IoError.h"

namespace omrek {

SlackWipe::SlackWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile, bool verify)
    : engine_(engine), monitor_(monitor), profile_(profile), verify_(verify) {}

void SlackWipe::WipeListedFiles(TargetRows& rows) {
  monitor_.PumpEvents();
  ComputeWorkTotal(WorkKind::PerPass, engine_, rows, profile_);
  monitor_.ResetProgress();
  WalkRows(engine_, monitor_, rows, RowPump::AfterEachRow, [this](const ListedFile& file) { return WipeFileSlack(file); },
           sink_);
  monitor_.SetCancelFlag(true);
  monitor_.SetStatus("READY", "", "");
  monitor_.ResetProgress();
}

TargetOutcome SlackWipe::WipeFileSlack(const ListedFile& target) {
  done_ = TargetOutcome::Before(target.path, verify_);
  done_.passesPlanned = DestructionPassCount(profile_);
  const std::optional<PinnedFile> listed = ReachListedFile(target);
  if (!listed) return done_;
  try {
    FileHandle file = listed->OpenExclusive();
    std::exception_ptr failure;
    {
      FileRestorer restorer(file);
      try {
        MeasureClusterSizeOf(engine_.ClusterSize, *listed);
        const std::uint64_t slackLength = engine_.ClusterSize - restorer.Length() % engine_.ClusterSize;
        done_.bytes = slackLength;
        WipeOpenFile(file, restorer.Length(), slackLength);
      } catch (const std::exception&) {
        failure = std::current_exception();
      }
      restorer.Restore();
    }
    file.Close();
    if (failure) std::rethrow_exception(failure);
    done_.outcome = Outcome::SlackWiped;
  } catch (const LeaseLost& lost) {
    done_.outcome = Outcome::LeftLengthened;
    done_.detail = lost.what();
  } catch (const std::exception& failure) {
    done_.outcome = Outcome::PutBack;
    done_.detail = failure.what();
  }
  ShowOutcome(monitor_, done_);
  return done_;
}

void SlackWipe::WipeOpenFile(FileHandle& file, std::uint64_t oldSize, std::uint64_t slackLength) {
  lastWritten_.clear();
  for (int step = 0; step < kSlackSteps; ++step) {
    const PlanStep planned = SlackStep(step, profile_);
    for (std::int64_t pass = 0; pass < planned.repeat; ++pass) {
      // Someone waits to open the file: the wipe gives way at once, while
      // the file can still be put back before they get it.
      if (file.Lease() != FileHandle::LeaseState::Held) throw IoError::SharingViolation();
      StopIfEnding();
      RunPass(file, oldSize, slackLength, planned.pass);
      file.Flush();
      ++done_.passesDone;
      monitor_.AddProgress(1);
    }
  }
  if (verify_ && !lastWritten_.empty()) done_.Verify([&] { VerifyLastPass(file, oldSize); });
}

void SlackWipe::VerifyLastPass(FileHandle& file, std::uint64_t oldSize) {
  file.DropCachedPages();
  std::vector<std::uint8_t> readBack(lastWritten_.size());
  if (file.ReadAt(readBack.data(), readBack.size(), oldSize) != readBack.size() || readBack != lastWritten_) {
    throw IoError::FromErrno(EIO);
  }
}

void SlackWipe::RunPass(FileHandle& file, std::uint64_t oldSize, std::uint64_t slackLength, const Pass& pass) {
  if (pass.kind == PassKind::Invert) {
    // Always a whole 32768-byte buffer, whatever the cluster size.
    for (auto& byte : inversion_) byte = static_cast<std::uint8_t>(~byte);
    file.WriteAt(inversion_.data(), inversion_.size(), oldSize);
    lastWritten_.assign(inversion_.begin(), inversion_.end());
    return;
  }
  lastWritten_.clear();
  if (pass.kind == PassKind::Random) engine_.Random.Reseed(engine_.TimeOfDaySeed());
  IoBytes& buffer = engine_.IoBuffer;
  if (pass.kind == PassKind::Fill) std::memset(buffer.data(), pass.value, buffer.size());
  for (std::uint64_t done = 0; done < slackLength;) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), slackLength - done));
    if (pass.kind == PassKind::Random) engine_.Random.Fill(buffer.data(), count);
    file.WriteAt(buffer.data(), count, oldSize + done);
    lastWritten_.insert(lastWritten_.end(), buffer.data(), buffer.data() + count);
    done += count;
  }
}

}  // namespace omrek
