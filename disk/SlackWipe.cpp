#include "disk/SlackWipe.h"

#include <exception>

#include "disk/ClusterSize.h"
#include "disk/FileRestorer.h"
#include "engine/StopRequest.h"
#include "engine/WorkTotal.h"
#include "intake/ReadablePath.h"
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
  engine_.RowIndex = 0;
  while (engine_.RowIndex < rows.RowCount()) {
    const auto row = rows.HandleOf(engine_.RowIndex);
    const ListedFile listed = rows.RowFile(engine_.RowIndex);
    const SlackOutcome outcome = WipeFileSlack(listed);
    if (report_ != nullptr) {
      done_.target = ReadablePath(listed.path);
      report_->Add(done_);
    }
    // The user may have removed rows while events ran.
    if (const int now = row->Index(); now >= 0) {
      rows.SetRowState(now, outcome == SlackOutcome::Wiped            ? "-slack"
                            : outcome == SlackOutcome::LeftLengthened ? "lengthened"
                                                                      : "skipped");
      engine_.RowIndex = now + 1;
    }
    monitor_.PumpEvents();
    if (monitor_.CancelFlag()) break;
  }
  monitor_.SetCancelFlag(true);
  monitor_.SetStatus("READY", "", "");
  monitor_.ResetProgress();
}

SlackOutcome SlackWipe::WipeFileSlack(const ListedFile& target) {
  done_ = CommandReport::Entry::Before({}, CommandReport::kLeftAlone, verify_);
  const std::optional<PinnedFile> listed = ReachListedFile(target);
  if (!listed) return SlackOutcome::Skipped;
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
    monitor_.SetStatus("SLACK", "WIPED", "");
    done_.outcome = "SLACK WIPED";
    return SlackOutcome::Wiped;
  } catch (const LeaseLost& lost) {
    monitor_.SetStatus("FAILED", lost.what(), "");
    done_.outcome = std::string("FAILED (") + lost.what() + ")";
    return SlackOutcome::LeftLengthened;
  } catch (const std::exception&) {
    monitor_.SetStatus("FAILED", "", "");
    done_.outcome = "FAILED, put back";
    return SlackOutcome::Skipped;
  }
}

void SlackWipe::WipeOpenFile(FileHandle& file, std::uint64_t oldSize, std::uint64_t slackLength) {
  bool written = false;
  WalkPasses(PassOrder::Slack, profile_, [&](const Pass& pass, bool flushAfter) {
    // Someone waits to open the file: the wipe gives way at once, while
    // the file can still be put back before they get it.
    if (file.Lease() != FileHandle::LeaseState::Held) throw IoError::SharingViolation();
    StopIfEnding();
    writer_.Write(file, oldSize, slackLength, pass);
    if (flushAfter) file.Flush();
    written = true;
    ++done_.passes;
    monitor_.AddProgress(1);
  });
  if (verify_ && written) done_.Verify([&] { writer_.VerifyLastPass(file); });
}

}  // namespace omrek
