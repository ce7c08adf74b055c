#include "app/command/CommandRunner.h"

#include <algorithm>
#include <set>
#include <utility>

#include "disk/SlackWipe.h"
#include "platform/MountProbe.h"

namespace omrek {

namespace {

// A route per device the listed files were found on (and every route whose
// file was not found): a caveat belongs to a drive, and asking once per
// drive, not once per file, keeps a list of many small files cheap.
std::vector<std::string> RoutesOf(const TargetRows& rows) {
  std::vector<std::string> routes;
  std::set<std::uint64_t> devices;
  for (int row = 0; row < rows.RowCount(); ++row) {
    const ListedFile& file = rows.RowFile(row);
    if (!file.identity || devices.insert(file.identity->device).second) routes.push_back(file.route);
  }
  return routes;
}

// The roots of the drives that answer: one that stopped answering since it
// was picked gets no caveat, and the wipe tells it did not respond.
std::vector<std::string> RootsOf(const std::vector<DriveToWipe>& drives) {
  std::vector<std::string> roots;
  for (const DriveToWipe& drive : drives) {
    if (MountProbe::MountHoldingAnswers(drive.root)) roots.push_back(drive.root);
  }
  return roots;
}

// One caveat per drive, in the order the paths first reach it.
std::vector<InPlaceCaveat> CaveatsOf(const std::vector<std::string>& paths) {
  InPlaceCaveats caveats;
  std::vector<InPlaceCaveat> found;
  for (const std::string& path : paths) {
    const auto caveat = caveats.Of(path);
    if (!caveat) continue;
    const bool known = std::any_of(found.begin(), found.end(),
                                   [&](const InPlaceCaveat& other) { return other.mountPoint == caveat->mountPoint; });
    if (!known) found.push_back(*caveat);
  }
  return found;
}

}  // namespace

CommandRunner::CommandRunner(ShredEngine& engine, JobMonitor& monitor, CommandFrontEnd& frontEnd)
    : engine_(engine), monitor_(monitor), frontEnd_(frontEnd) {}

bool CommandRunner::AcceptCaveats(const std::vector<InPlaceCaveat>& caveats) {
  return caveats.empty() || frontEnd_.AcceptInPlaceCaveats(caveats);
}

CommandRunner::~CommandRunner() {
  // A Destroy whose wipe never came, for an error between the two, still
  // has its report told and its journals cleared.
  try {
    ReleaseHeldReport();
  } catch (...) {
    // Nothing can be told from here.
  }
}

void CommandRunner::Reported(CommandReport report, std::vector<SkippedTarget> skipped,
                             const std::function<void(const OutcomeSink&)>& command, bool holdReport) {
  report.AddStartRepairs(frontEnd_.TakeStartRepairs());
  // A command held for the next one clears its journals with the next's:
  // once for both.
  JournalClearing journals = std::exchange(heldJournals_, {});
  OrderedOutcomes outcomes(std::move(skipped), [this, &report, &journals](const TargetOutcome& done) {
    report.Add(done);
    journals.Note(done);
    frontEnd_.TargetDone(done);
  });
  const OutcomeSink sink = [&outcomes](const TargetOutcome& done) { outcomes.Done(done); };
  const auto handOver = [this, &report, &outcomes, &journals, holdReport](bool failed) {
    outcomes.Finish();
    // A command that failed has no next command to wait for.
    if (holdReport && !failed) {
      heldJournals_ = std::move(journals);
      heldReport_.emplace(std::move(report));
      return;
    }
    if (heldReport_) {
      heldReport_->Follow(std::move(report));
      report = std::move(*heldReport_);
      heldReport_.reset();
    }
    HandOver(std::move(report), journals);
  };
  try {
    command(sink);
  } catch (...) {
    handOver(true);
    throw;
  }
  handOver(false);
}

void CommandRunner::HandOver(CommandReport report, JournalClearing& journals) {
  const std::vector<std::string> uncleared = journals.ClearAll();
  report.AddUnclearedJournals(uncleared);
  frontEnd_.JournalsUncleared(uncleared);
  frontEnd_.ReportReady(std::move(report));
}

void CommandRunner::ReleaseHeldReport() {
  if (!heldReport_) return;
  CommandReport report = std::move(*heldReport_);
  heldReport_.reset();
  JournalClearing journals = std::exchange(heldJournals_, {});
  HandOver(std::move(report), journals);
}

void CommandRunner::Destroy(TargetRows& rows, const WipeProfile& profile, DestroyOptions options, WavePlayer& sound,
                            std::vector<SkippedTarget> skipped, const SpaceFollowUp* followUp) {
  // Asked of each drive once: the question and the caveats both tell them.
  const std::vector<InPlaceCaveat> caveats = CaveatsOf(RoutesOf(rows));
  std::optional<FreedDrives> drives;
  bool thenWipe = false;
  if (followUp != nullptr && rows.RowCount() > 0) {
    drives.emplace(rows);
    const DestroyQuestion question{static_cast<std::size_t>(rows.RowCount()),
                                   {ForecastSpaceWipe(drives->Lettered(), followUp->speeds),
                                    followUp->options.wipeSlack(), followUp->settingsFile},
                                   !caveats.empty()};
    const std::optional<bool> answer = frontEnd_.ConfirmDestroy(question);
    if (!answer) {
      // Declined, the paths given that are no files are still told.
      for (const SkippedTarget& given : skipped) frontEnd_.TargetDone(given.outcome);
      return;
    }
    thenWipe = *answer;
  }
  if (!AcceptCaveats(caveats)) return;
  bool stopped = false;
  Reported(
      CommandReport("Destroy", PassOrder::Destroy, profile, options.verify), std::move(skipped),
      [&](const OutcomeSink& sink) {
        FileDestruction destruction(engine_, monitor_, profile, sound, options);
        destruction.TellOutcomes([&](const TargetOutcome& done) {
          if (thenWipe) drives->Note(done);
          sink(done);
        });
        destruction.DestroyListedFiles(rows);
        stopped = destruction.Stopped();
      },
      thenWipe);
  if (!thenWipe) return;
  // The program asked to end (its window closed) during the files is a
  // stop too: no filling is started for a program on its way out.
  stopped = stopped || (followUp->abandoned && followUp->abandoned());
  FollowWithSpaceWipe(drives->TakeFreed(followUp->options.verify), *followUp, stopped);
}

void CommandRunner::FollowWithSpaceWipe(const FreedDrives::Freed& freed, const SpaceFollowUp& followUp, bool stopped) {
  if (freed.drives.empty() && freed.notWiped.empty()) {
    ReleaseHeldReport();
    return;
  }
  std::vector<SkippedTarget> notWiped;
  for (const TargetOutcome& drive : freed.notWiped) notWiped.push_back({drive, freed.drives.size()});
  if (stopped) {
    // A stop asked for during the files holds for the wipe too: its drives
    // are told as not done, and nothing is filled.
    Reported(CommandReport("Wipe Space", PassOrder::FreeSpace, followUp.profile, followUp.options.verify),
             std::move(notWiped), [&](const OutcomeSink& sink) {
               for (const DriveToWipe& drive : freed.drives) {
                 TargetOutcome notReached = TargetOutcome::Before(drive.root, followUp.options.verify);
                 notReached.drive = drive.letter;
                 notReached.outcome = Outcome::NotReached;
                 sink(notReached);
               }
             });
    return;
  }
  // The files' end set the flag, as every command's end does.
  monitor_.SetCancelFlag(false);
  RunSpaceWipe(freed.drives, followUp.profile, followUp.options, followUp.diskInfo, std::move(notWiped));
}

void CommandRunner::WipeSlack(TargetRows& rows, const WipeProfile& profile, bool verify,
                              std::vector<SkippedTarget> skipped) {
  if (!AcceptCaveats(CaveatsOf(RoutesOf(rows)))) return;
  Reported(CommandReport("Wipe Slack", PassOrder::Slack, profile, verify), std::move(skipped),
           [&](const OutcomeSink& sink) {
             SlackWipe wipe(engine_, monitor_, profile, verify);
             wipe.TellOutcomes(sink);
             wipe.WipeListedFiles(rows);
           });
}

bool CommandRunner::AskToWipeSpace(const std::vector<DriveToWipe>& drives, const WipeSpeeds& speeds) {
  return frontEnd_.ConfirmSpaceWipe(ForecastSpaceWipe(drives, speeds));
}

void CommandRunner::WipeSpace(const std::vector<DriveToWipe>& drives, const WipeProfile& profile,
                              const SpaceWipeOptions& options, TDiskInfo& diskInfo,
                              std::vector<SkippedTarget> skipped) {
  if (!AcceptCaveats(CaveatsOf(RootsOf(drives)))) return;
  RunSpaceWipe(drives, profile, options, diskInfo, std::move(skipped));
}

void CommandRunner::RunSpaceWipe(const std::vector<DriveToWipe>& drives, const WipeProfile& profile,
                                 const SpaceWipeOptions& options, TDiskInfo& diskInfo,
                                 std::vector<SkippedTarget> skipped) {
  Reported(CommandReport("Wipe Space", PassOrder::FreeSpace, profile, options.verify), std::move(skipped),
           [&](const OutcomeSink& sink) {
             FreeSpaceWipe wipe(engine_, monitor_, profile, options.wipeSlack, diskInfo, options.verify);
             wipe.firstChunkTimed = options.firstChunkTimed;
             wipe.goOnAfterFailure = options.goOnAfterFailure;
             wipe.longestWait = options.longestWait;
             wipe.waitTold = options.waitTold;
             wipe.TellOutcomes(sink);
             wipe.WipeSelectedDrives(drives);
           });
}

}  // namespace omrek
