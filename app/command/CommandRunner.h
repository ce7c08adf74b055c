#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/command/CommandFrontEnd.h"
#include "app/command/FreedDrives.h"
#include "app/command/JournalClearing.h"
#include "app/command/OrderedOutcomes.h"
#include "disk/DiskInfo.h"
#include "disk/FreeSpaceWipe.h"
#include "engine/FileDestruction.h"
#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"
#include "engine/WipeProfile.h"
#include "intake/TargetRows.h"

namespace omrek {

class WavePlayer;

// The options a free-space wipe reads besides its passes.
struct SpaceWipeOptions {
  std::function<bool()> wipeSlack;
  bool verify = false;
  // An error on one drive ends the command (the window), or only that
  // drive (the command line).
  bool goOnAfterFailure = false;
  std::function<void(const std::string& root, double bytesPerSecond)> firstChunkTimed;
  // How long a drive that another copy of the program is wiping is waited
  // for before it is left as busy: the window waits until Cancel (none), the
  // command line as long as it was told.
  std::optional<std::chrono::seconds> longestWait;
  std::function<void(const std::string& status)> waitTold;
};

// What a Destroy needs to go on to wipe the free space its files leave,
// as Wipe Space would.
struct SpaceFollowUp {
  const WipeProfile& profile;
  SpaceWipeOptions options;
  TDiskInfo& diskInfo;
  const WipeSpeeds& speeds;
  // The settings file, whose drive the question warns of.
  std::string settingsFile;
  // True once the front end no longer wants the wipe (its window closed
  // during the files); none: always wanted.
  std::function<bool()> abandoned;
};

// Runs the three commands for either front end: it asks the front end what
// must be asked, runs the command, hands it each target's outcome and
// keeps the report. Targets given that the command cannot act on (`skipped`)
// are told and reported in their places among the others.
class CommandRunner {
 public:
  CommandRunner(ShredEngine& engine, JobMonitor& monitor, CommandFrontEnd& frontEnd);
  ~CommandRunner();
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;

  // With `followUp`, the front end is asked first, and may have the free
  // space of every drive where a file was destroyed wiped afterwards: the
  // files that are gone leave their blocks there, and so do the earlier
  // versions an editor left when it saved. The two make one report.
  void Destroy(TargetRows& rows, const WipeProfile& profile, DestroyOptions options, WavePlayer& sound,
               std::vector<SkippedTarget> skipped = {}, const SpaceFollowUp* followUp = nullptr);
  void WipeSlack(TargetRows& rows, const WipeProfile& profile, bool verify, std::vector<SkippedTarget> skipped = {});
  // Filling a drive makes every program writing there fail until the wipe
  // ends: the front end asks first, before the command starts.
  bool AskToWipeSpace(const std::vector<DriveToWipe>& drives, const WipeSpeeds& speeds);
  void WipeSpace(const std::vector<DriveToWipe>& drives, const WipeProfile& profile, const SpaceWipeOptions& options,
                 TDiskInfo& diskInfo, std::vector<SkippedTarget> skipped = {});

 private:
  bool AcceptCaveats(const std::vector<InPlaceCaveat>& caveats);
  // Runs `command` with a report of it, which reaches the front end however
  // the command ends; with `holdReport`, only together with the next
  // command's.
  void Reported(CommandReport report, std::vector<SkippedTarget> skipped,
                const std::function<void(const OutcomeSink&)>& command, bool holdReport = false);
  // Clears the journals the command wrote names to and gives the front
  // end the report.
  void HandOver(CommandReport report, JournalClearing& journals);
  void ReleaseHeldReport();
  void FollowWithSpaceWipe(const FreedDrives::Freed& freed, const SpaceFollowUp& followUp, bool stopped);
  void RunSpaceWipe(const std::vector<DriveToWipe>& drives, const WipeProfile& profile, const SpaceWipeOptions& options,
                    TDiskInfo& diskInfo, std::vector<SkippedTarget> skipped);

  ShredEngine& engine_;
  JobMonitor& monitor_;
  CommandFrontEnd& frontEnd_;
  // A Destroy's report and journals, held for the wipe after it.
  std::optional<CommandReport> heldReport_;
  JournalClearing heldJournals_;
};

}  // namespace omrek
