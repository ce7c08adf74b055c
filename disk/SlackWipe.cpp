#include "disk/SlackWipe.h"

#include <exception>

#include "disk/FileRestorer.h"
#include "engine/ClusterSize.h"
#include "engine/StopRequest.h"
#include "engine/WorkTotal.h"
#include "platform/FileHandle.h"
#include "platform/IoError.h"

namespace omrek {

SlackWipe::SlackWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile, bool verify)
    : engine_(engine),
      monitor_(monitor),
      profile_(profile),
      verify_(verify),
      writer_(engine, monitor, kSlackPasses, inversion_, verify) {}

void SlackWipe::WipeListedFiles(TargetRows& rows) {
  monitor_.PumpEvents();
  ComputeWorkTotal(WorkKind::PerPass, engine_, rows, profile_);
  monitor_.ResetProgress();
  WalkRows(
      engine_, monitor_, rows, RowPump::AfterEachRow, verify_,
      [this](const ListedFile& file) { return WipeFileSlack(file); }, sink_);
  monitor_.SetCancelFlag(true);
  monitor_.SetStatus("READY", "", "");
  monitor_.ResetProgress();
}

TargetOutcome SlackWipe::WipeFileSlack(const ListedFile& target) {
  done_ = TargetOutcome::Before(target.path, verify_);
  done_.passesPlanned = PassCount(PassOrder::Slack, profile_);
  const std::optional<PinnedFile> listed = ReachListedFile(target);
  if (!listed) {
    done_.detail = WhyNotReached(target);
    return done_;
  }
  try {
    FileHandle file = listed->OpenExclusive();
    std::exception_ptr failure;
    {
      MeasureClusterSizeOf(engine_.ClusterSize, *listed);
      FileRestorer restorer(file, target.route, engine_.ClusterSize, kInversionSize);
      try {
        done_.bytes = restorer.SlackLength();
        WipeOpenFile(file, restorer);
      } catch (const std::exception&) {
        failure = std::current_exception();
      }
      restorer.Restore();
    }
    file.Close();
    if (failure) std::rethrow_exception(failure);
    done_.outcome = Outcome::SlackWiped;
  } catch (const NotOnDisk& refusal) {
    done_.outcome = Outcome::Refused;
    done_.detail = refusal.what();
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

void SlackWipe::WipeOpenFile(FileHandle& file, FileRestorer& restorer) {
  WalkPasses(PassOrder::Slack, profile_, [&](const Pass& pass, bool flushAfter) {
    // Someone waits to open the file: the wipe gives way at once, while
    // the file can still be put back before they get it.
    if (file.Lease() != FileHandle::LeaseState::Held) throw IoError::SharingViolation();
    StopIfEnding();
    writer_.Write(file, restorer.Length(), restorer.SlackLength(), pass, &restorer);
    if (flushAfter) file.Flush();
    ++done_.passesDone;
    monitor_.AddProgress(1);
  });
  if (verify_ && done_.passesDone > 0) done_.Verify([&] { writer_.VerifyLastPass(file); });
}

}  // namespace omrek
