#include "app/cli/HeadlessCommand.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <vector>

#include "app/cli/CommandRows.h"
#include "app/cli/TerminalMonitor.h"
#include "app/command/CommandRunner.h"
#include "disk/DiskInfo.h"
#include "disk/FillerFiles.h"
#include "disk/SpaceWipeForecast.h"
#include "disk/StoppedRuns.h"
#include "engine/ReportFile.h"
#include "intake/FolderExpansion.h"
#include "intake/ReadablePath.h"
#include "platform/DriveTable.h"
#include "platform/ExecutablePath.h"
#include "platform/FileHandle.h"
#include "platform/IoError.h"
#include "platform/MountProbe.h"
#include "platform/PinnedFile.h"
#include "platform/Terminal.h"
#include "platform/TerminationSignals.h"
#include "platform/Volume.h"
#include "platform/WavePlayer.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"
#include "settings/StoredProfile.h"

namespace omrek {

namespace fs = std::filesystem;

namespace {

using Mode = CommandLine::Mode;

// Raised when the settings named cannot be read; the run stops before it
// touches a file.
class SettingsUnreadable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string SettingsFileOf(const CommandLine& line) {
  if (!line.settingsFile.empty()) return line.settingsFile;
  return PlacesOf(RunningExecutablePath()).settingsFile;
}

// A missing settings file of the program's own is a first run: every key
// has its default. One named with --settings must be there. Either is
// refused when it can be read only in part or not at all.
void CheckReadable(const std::string& path, bool named) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) {
    if (named) throw SettingsUnreadable("cannot read the settings file " + ReadablePath(path) + ": " + IoErrorText(2));
    return;
  }
  if (!fs::is_regular_file(status)) {
    throw SettingsUnreadable("the settings file " + ReadablePath(path) + " is not a file");
  }
  try {
    FileHandle::OpenExisting(path, FileHandle::Access::Read);
  } catch (const IoError& failure) {
    throw SettingsUnreadable("cannot read the settings file " + ReadablePath(path) + ": " + failure.what());
  }
  // Passes other than the ones the file asks for must not run in silence.
  const SettingsFile settings(path);
  if (!settings.Problem().empty()) {
    throw SettingsUnreadable("the settings file " + ReadablePath(path) + " cannot be used: " + settings.Problem());
  }
}

// Why a named path is no file the list commands could act on, or nothing
// when it is one. The commands would skip it as a folder all the same; the
// user is told more.
std::optional<std::string> WhyNotAFile(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (!fs::exists(status)) return IoErrorText(2);
  if (fs::is_directory(status)) return "folder";
  if (fs::is_symlink(status)) return "symbolic link";
  if (!fs::is_regular_file(status)) return "not a regular file";
  return std::nullopt;
}

class Run : public CommandFrontEnd {
 public:
  Run(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& errors)
      : line_(line),
        in_(in),
        out_(out),
        errors_(errors),
        monitor_(engine_, errors, IsTerminal(StandardStream::Error)),
        settings_(SettingsFileOf(line)),
        runner_(engine_, monitor_, *this) {}

  int Go() {
    // Taken over first: a signal that came while the report file is made
    // would leave it behind, empty.
    TerminationSignals::Install();
    if (!ClaimReport()) return kExitUsage;
    RepairKilledRuns();
    monitor_.SetCancelFlag(false);
    switch (line_.mode) {
      case Mode::Destroy:
      case Mode::WipeSlack:
        RunListCommand();
        break;
      case Mode::WipeSpace:
        RunSpaceCommand();
        break;
      case Mode::Recover:
      case Mode::Window:
      case Mode::Help:
      case Mode::Version:
      case Mode::InstallFileManagerActions:
        break;
    }
    if (refused_) return kExitUsage;
    if (const int signal = TerminationSignals::Requested(); signal != 0) {
      Report("omrek", "stopped before the end");
      return 128 + signal;
    }
    return allDone_ ? kExitDone : kExitSkipped;
  }

  // Where overwriting in place may miss old copies, a word on stderr; the
  // command goes on.
  bool AcceptInPlaceCaveats(const std::vector<InPlaceCaveat>& caveats) override {
    for (const InPlaceCaveat& caveat : caveats) {
      errors_ << "omrek: warning: " << ReadablePath(caveat.mountPoint) << ": " << caveat.reason
              << "; overwriting in place may not reach old copies of the data there\n";
    }
    return true;
  }

  // Filling a drive makes every program writing there fail until the wipe
  // ends: a person on a terminal is asked, a script must have said --yes.
  bool ConfirmSpaceWipe(const std::vector<DriveForecast>& forecasts) override {
    const SpaceWipeQuestion asked{forecasts, ReadStoredWipeSlack(settings_), SettingsFileOf(line_)};
    return AskToFill("", asked, "--wipe-space", "nothing wiped");
  }

  // Asked only with --then-wipe-space: a plain --destroy does what it was
  // told.
  std::optional<bool> ConfirmDestroy(const DestroyQuestion& question) override {
    const std::string files = question.files == 1 ? "1 file" : std::to_string(question.files) + " files";
    if (!AskToFill("Destroy " + files + ", then:\n", question.space, "--then-wipe-space", "nothing destroyed")) {
      return std::nullopt;
    }
    return true;
  }

  void TargetDone(const TargetOutcome& done) override {
    if (!TextsOf(done.outcome).done) allDone_ = false;
    const std::string target = ReadablePath(done.target);
    Report(done.drive == 0 ? target : target + " (" + done.drive + ":)", CommandLineText(done));
  }

  void JournalsUncleared(const std::vector<std::string>& lines) override {
    for (const std::string& line : lines) errors_ << "omrek: warning: " << ControlsEscaped(line) << '\n';
  }

  void ReportReady(CommandReport report) override {
    if (!reportFile_) return;
    try {
      reportFile_->Write(report.Text());
    } catch (const std::exception& failure) {
      allDone_ = false;
      errors_ << "omrek: the report cannot be written to " << ReadablePath(line_.reportFile) << ": "
              << ControlsEscaped(failure.what()) << '\n';
    }
  }

 private:
  // Asks on the terminal whether to fill the drives, `first` said before
  // the question; true at once with --yes. From a script without --yes
  // nothing is done, and `option` named as needing it. Declined, the
  // command says `declined` and counts as not done.
  bool AskToFill(const std::string& first, const SpaceWipeQuestion& asked, const std::string& option,
                 const std::string& declined) {
    if (line_.yes) return true;
    std::string question = first + SpaceWipeHeading(asked.sweepsSlack) + "\n";
    for (const std::string& line :
         SpaceWipeDriveLines(asked, [](const std::string& root) { return ReadablePath(root); })) {
      question += "  " + line + "\n";
    }
    if (!IsTerminal(StandardStream::Input)) {
      errors_ << question << "omrek: nothing written: from a script, " << option << " needs --yes\n";
      refused_ = true;
      return false;
    }
    errors_ << question << "Wipe? [y/N] " << std::flush;
    std::string answer;
    std::getline(in_, answer);
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    allDone_ = false;
    Report("omrek", declined);
    return false;
  }

  // One line a target, `what` already readable: no name can break it.
  void Report(const std::string& what, const std::string& outcome) {
    monitor_.ClearBar();
    out_ << what << ": " << ControlsEscaped(outcome) << '\n' << std::flush;
  }

  // A run killed earlier may have left a user's file lengthened, a drive
  // full and its reserve empty: the command line puts that right before any
  // command, as the window's start does, and says what it did.
  void RepairKilledRuns() {
    const StoppedRunRepairs repairs = RepairStoppedRuns(monitor_);
    TellLeftFillers(monitor_, repairs.fillers);
    for (const std::string& line : repairs.All()) errors_ << "omrek: " << ControlsEscaped(line) << '\n';
    // Only --recover answers for what the start left alone.
    if (line_.mode == Mode::Recover && (!repairs.left.empty() || !repairs.waiting.empty())) allDone_ = false;
    NoteStartRepairs(repairs.All());
  }

  // The report's file is made before anything is touched, and held until
  // the report is written: a name that leads anywhere already, or to one
  // of the paths listed, ends the run with nothing written.
  bool ClaimReport() {
    if (line_.reportFile.empty()) return true;
    try {
      reportFile_.emplace(line_.reportFile);
    } catch (const ReportRefused&) {
      const std::optional<FileIdentity> there = NotePath(line_.reportFile).identity;
      return RefuseReport(there && IsListed(*there) ? "is one of the paths listed" : "exists already");
    } catch (const IoError& failure) {
      return RefuseReport(std::string("cannot be made: ") + ControlsEscaped(failure.what()));
    }
    // A listed path that led nowhere may name the file just made.
    if (!IsListed(reportFile_->Identity())) return true;
    reportFile_.reset();
    return RefuseReport("is one of the paths listed");
  }

  bool IsListed(const FileIdentity& file) const {
    return std::any_of(line_.paths.begin(), line_.paths.end(),
                       [&file](const std::string& path) { return NotePath(path).identity == file; });
  }

  bool RefuseReport(const std::string& why) {
    errors_ << "omrek: nothing written: the report file " << ReadablePath(line_.reportFile) << ' ' << why << '\n';
    return false;
  }

  bool Verify() const { return line_.verify || settings_.ReadBoolean(kVerifyKey); }

  // A target the command cannot act on, told and reported in its place:
  // after the `targetsBefore` targets it acts on that were given before it.
  void Skip(const std::string& path, const std::string& why, std::size_t targetsBefore) {
    TargetOutcome skipped = TargetOutcome::Before(path, Verify());
    skipped.outcome = Outcome::Skipped;
    skipped.detail = why;
    skipped_.push_back({std::move(skipped), targetsBefore});
  }

  void RunListCommand() {
    std::vector<ListedFile> files;
    PathNoter noter;
    for (const std::string& path : line_.paths) {
      // Noted first: a regular file, the common case, is looked at once.
      NotedFile noted = NoteFile(path, noter);
      const auto why = noted.regularFile ? std::nullopt : WhyNotAFile(path);
      if (!why) {
        files.push_back(std::move(noted.file));
      } else if (*why == "folder" && line_.recursive) {
        ListFolder(path, files);
      } else {
        Skip(path, *why, files.size());
      }
    }
    const StoredWipeProfile profile = ReadStoredProfile(settings_, "FileMode");
    CommandRows rows(std::move(files));
    if (line_.mode == Mode::Destroy) {
      WavePlayer silent;
      TDiskInfo diskInfo;
      const StoredWipeProfile diskMode = ReadStoredProfile(settings_, "DiskMode");
      const SpaceFollowUp followUp{diskMode, SpaceOptions(), diskInfo, speeds_, SettingsFileOf(line_), {}};
      runner_.Destroy(rows, profile, {Verify(), settings_.ReadBoolean(kWipeNamesKey)}, silent, std::move(skipped_),
                      line_.thenWipeSpace ? &followUp : nullptr);
    } else {
      runner_.WipeSlack(rows, profile, Verify(), std::move(skipped_));
    }
  }

  // -r: the files beneath the folder join the list; what the walk passed
  // by is said on stderr.
  void ListFolder(const std::string& path, std::vector<ListedFile>& files) {
    try {
      FolderExpansion expansion = FolderExpansion::Begin(path);
      expansion.Finish();
      const ExpandedFolder& folder = expansion.Folder();
      for (const std::string& mounted : folder.mountPoints) {
        errors_ << "omrek: " << ReadablePath(PathInFolder(folder.path, mounted))
                << ": another file system is mounted there; not entered\n";
      }
      for (const ExpandedFolder::Unread& unread : folder.unread) {
        errors_ << "omrek: " << ReadablePath(PathInFolder(folder.path, unread.relative)) << ": cannot be read ("
                << ControlsEscaped(unread.why) << "); nothing in it is listed\n";
      }
      const std::size_t before = files.size();
      // The report made for this run may lie inside: it is not one to destroy.
      const std::optional<FileIdentity> report =
          reportFile_ ? std::optional<FileIdentity>(reportFile_->Identity()) : std::nullopt;
      for (FoundFile& found : std::move(expansion).TakeFiles()) {
        if (report && found.file.identity == *report) continue;
        files.push_back(std::move(found.file));
      }
      if (files.size() == before) Skip(path, "a folder with no files in it", files.size());
    } catch (const IoError& failure) {
      Skip(path, failure.what(), files.size());
    }
  }

  std::vector<DriveToWipe> DrivesOfPaths() {
    std::vector<DriveToWipe> drives;
    const DriveTable table = DriveTable::Read();
    for (const std::string& path : line_.paths) {
      // Looking at a path on a drive that does not answer would hold the
      // whole command.
      if (!MountProbe::MountHoldingAnswers(fs::absolute(path).string())) {
        Skip(path, "its drive does not respond", drives.size());
        continue;
      }
      const std::optional<Volume> volume = VolumeHoldingPath(path);
      if (!volume) {
        Skip(path, IoErrorText(2), drives.size());
        continue;
      }
      const char letter = table.LetterOf(volume->RootDirectory);
      if (letter == 0) {
        Skip(path, "the file system at " + ReadablePath(volume->RootDirectory) + " has no drive letter", drives.size());
        continue;
      }
      bool listed = false;
      for (const DriveToWipe& drive : drives) listed = listed || drive.root == volume->RootDirectory;
      if (!listed) drives.push_back({letter, volume->RootDirectory});
    }
    return drives;
  }

  void RunSpaceCommand() {
    const std::vector<DriveToWipe> drives = DrivesOfPaths();
    // With no drive to fill there is nothing to ask; the skipped paths are
    // still told and reported. Declined, the command tells them alone.
    if (!drives.empty() && !runner_.AskToWipeSpace(drives, speeds_)) {
      for (const SkippedTarget& skipped : skipped_) TargetDone(skipped.outcome);
      return;
    }
    TDiskInfo diskInfo;
    runner_.WipeSpace(drives, ReadStoredProfile(settings_, "DiskMode"), SpaceOptions(), diskInfo, std::move(skipped_));
  }

  // A script is not left hanging on a drive another copy is filling unless
  // it asked to wait; a wait is said on stderr, which has no status lines.
  SpaceWipeOptions SpaceOptions() {
    const bool wipeSlack = ReadStoredWipeSlack(settings_);
    return {
        .wipeSlack = [wipeSlack] { return wipeSlack; },
        .verify = Verify(),
        .goOnAfterFailure = true,
        .firstChunkTimed = {},
        .longestWait = std::chrono::seconds(line_.waitSeconds.value_or(0)),
        .waitTold = [this](const std::string& status) { monitor_.ShowMessage(status); },
    };
  }

  const CommandLine& line_;
  std::istream& in_;
  std::ostream& out_;
  std::ostream& errors_;
  ShredEngine engine_;
  TerminalMonitor monitor_;
  SettingsFile settings_;
  CommandRunner runner_;
  std::optional<ReportFile> reportFile_;
  std::vector<SkippedTarget> skipped_;
  // Nothing measured yet: a run of the command line forecasts no times.
  const WipeSpeeds speeds_;
  bool allDone_ = true;
  bool refused_ = false;
};

}  // namespace

int RunHeadless(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& errors) {
  try {
    CheckReadable(SettingsFileOf(line), !line.settingsFile.empty());
  } catch (const SettingsUnreadable& unreadable) {
    errors << "omrek: " << unreadable.what() << '\n';
    return kExitUsage;
  }
  return Run(line, in, out, errors).Go();
}

}  // namespace omrek
