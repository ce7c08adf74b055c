#include "app/HeadlessCommand.h"

#include <algorithm>
#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <vector>

#include "app/CommandRows.h"
#include "app/TerminalMonitor.h"
#include "disk/DiskInfo.h"
#include "disk/FreeSpaceWipe.h"
#include "disk/SlackWipe.h"
#include "disk/SpaceWipeForecast.h"
#include "engine/CommandReport.h"
#include "engine/FileDestruction.h"
#include "intake/ReadablePath.h"
#include "platform/DriveTable.h"
#include "platform/ExecutablePath.h"
#include "platform/FileHandle.h"
#include "platform/InPlaceCaveat.h"
#include "platform/IoError.h"
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
// has its default. One named with --settings must be there.
void CheckReadable(const std::string& path, bool named) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) {
    if (named) throw SettingsUnreadable("cannot read the settings file " + path + ": " + IoErrorText(2));
    return;
  }
  if (!fs::is_regular_file(status)) throw SettingsUnreadable("the settings file " + path + " is not a file");
  try {
    FileHandle::OpenExisting(path, FileHandle::Access::Read);
  } catch (const IoError& failure) {
    throw SettingsUnreadable("cannot read the settings file " + path + ": " + failure.what());
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

class Run {
 public:
  Run(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& errors)
      : line_(line),
        in_(in),
        out_(out),
        errors_(errors),
        monitor_(engine_, errors, IsTerminal(StandardStream::Error)),
        settings_(SettingsFileOf(line)) {}

  int Go() {
    TerminationSignals::Install();
    switch (line_.mode) {
      case Mode::Destroy:
      case Mode::WipeSlack:
        RunListCommand();
        break;
      case Mode::WipeSpace:
        RunSpaceCommand();
        break;
      case Mode::Window:
      case Mode::Help:
      case Mode::Version:
        break;
    }
    if (refused_) return kExitUsage;
    if (const int signal = TerminationSignals::Requested(); signal != 0) {
      Report("omrek", "stopped before the end");
      return 128 + signal;
    }
    return allDone_ ? kExitDone : kExitSkipped;
  }

 private:
  void Report(const std::string& what, const std::string& outcome) {
    monitor_.ClearBar();
    out_ << what << ": " << outcome << '\n' << std::flush;
  }

  bool Verify() const { return line_.verify || settings_.ReadBoolean(kVerifyKey); }

  // Where overwriting in place may miss old copies, a word on stderr; the
  // command goes on.
  void WarnAboutCaveats(const std::vector<std::string>& paths) {
    InPlaceCaveats caveats;
    std::vector<std::string> told;
    for (const std::string& path : paths) {
      const auto caveat = caveats.Of(path);
      if (!caveat || std::find(told.begin(), told.end(), caveat->mountPoint) != told.end()) continue;
      told.push_back(caveat->mountPoint);
      errors_ << "omrek: warning: " << caveat->mountPoint << ": " << caveat->reason
              << "; overwriting in place may not reach old copies of the data there\n";
    }
  }

  void SaveReport() {
    if (!report_) return;
    try {
      report_->Save(line_.reportFile);
    } catch (const std::exception& failure) {
      allDone_ = false;
      errors_ << "omrek: the report cannot be written to " << line_.reportFile << ": " << failure.what() << '\n';
    }
  }

  void Skipped(const std::string& what, const std::string& why) {
    allDone_ = false;
    Report(what, "skipped (" + why + ")");
  }

  void RunListCommand() {
    std::vector<ListedFile> files;
    for (const std::string& path : line_.paths) {
      if (const auto why = WhyNotAFile(path)) {
        Skipped(path, *why);
      } else {
        files.push_back(ListFile(path));
      }
    }
    const StoredWipeProfile profile = ReadStoredProfile(settings_, "FileMode");
    std::vector<std::string> routes;
    for (const ListedFile& file : files) routes.push_back(file.route);
    WarnAboutCaveats(routes);
    if (!line_.reportFile.empty()) {
      report_.emplace(line_.mode == Mode::Destroy ? "Destroy" : "Wipe Slack",
                      line_.mode == Mode::Destroy ? PassOrder::Destroy : PassOrder::Slack, profile, Verify());
    }
    CommandRows rows(std::move(files), [this](const ListedFile& file, const std::string& state) {
      const std::string status = monitor_.LastStatus();
      // The next file starts with no status of its own.
      monitor_.SetStatus("", "", "");
      if (state.empty() || state == "-slack") {
        Report(file.path, status);
        return;
      }
      allDone_ = false;
      Report(file.path, status.empty() ? state : state + " (" + status + ")");
    });
    monitor_.SetCancelFlag(false);
    if (line_.mode == Mode::Destroy) {
      WavePlayer silent;
      FileDestruction destruction(engine_, monitor_, profile, silent, {Verify(), settings_.ReadBoolean(kWipeNamesKey)});
      if (report_) destruction.RecordInto(*report_);
      destruction.DestroyListedFiles(rows);
    } else {
      SlackWipe wipe(engine_, monitor_, profile, Verify());
      if (report_) wipe.RecordInto(*report_);
      wipe.WipeListedFiles(rows);
    }
    // Rows a stop left untouched.
    for (const ListedFile& file : rows.Unreported()) {
      allDone_ = false;
      Report(file.path, "not done");
      if (report_) report_->Add(CommandReport::Entry::Before(ReadablePath(file.path), "not done", Verify()));
    }
    SaveReport();
  }

  std::vector<DriveToWipe> DrivesOfPaths() {
    std::vector<DriveToWipe> drives;
    const DriveTable table = DriveTable::Read();
    for (const std::string& path : line_.paths) {
      const std::optional<Volume> volume = VolumeHoldingPath(path);
      if (!volume) {
        Skipped(path, IoErrorText(2));
        continue;
      }
      const char letter = table.LetterOf(volume->RootDirectory);
      if (letter == 0) {
        Skipped(path, "the file system at " + volume->RootDirectory + " has no drive letter");
        continue;
      }
      bool listed = false;
      for (const DriveToWipe& drive : drives) listed = listed || drive.root == volume->RootDirectory;
      if (!listed) drives.push_back({letter, volume->RootDirectory});
    }
    return drives;
  }

  // Filling a drive makes every program writing there fail until the wipe
  // ends: a person on a terminal is asked, a script must have said --yes.
  bool Confirmed(const std::vector<DriveForecast>& forecasts) {
    if (line_.yes) return true;
    std::string question =
        "Wipe Space fills the free space of these drives with filler files until each is full, then deletes them:\n";
    for (const DriveForecast& drive : forecasts) {
      question += "  " + ForecastLine(drive) + "\n";
      if (drive.holdsSystem) question += std::string("    ") + kSystemDriveWarning + "\n";
    }
    if (!IsTerminal(StandardStream::Input)) {
      errors_ << question << "omrek: nothing written: from a script, --wipe-space needs --yes\n";
      refused_ = true;
      return false;
    }
    errors_ << question << "Wipe? [y/N] " << std::flush;
    std::string answer;
    std::getline(in_, answer);
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    allDone_ = false;
    Report("omrek", "nothing wiped");
    return false;
  }

  void RunSpaceCommand() {
    const std::vector<DriveToWipe> drives = DrivesOfPaths();
    if (drives.empty() || !Confirmed(ForecastSpaceWipe(drives, WipeSpeeds()))) return;
    const StoredWipeProfile profile = ReadStoredProfile(settings_, "DiskMode");
    const bool wipeSlack = ReadStoredWipeSlack(settings_);
    std::vector<std::string> roots;
    for (const DriveToWipe& drive : drives) roots.push_back(drive.root);
    WarnAboutCaveats(roots);
    if (!line_.reportFile.empty()) report_.emplace("Wipe Space", PassOrder::FreeSpace, profile, Verify());
    TDiskInfo diskInfo;
    for (const DriveToWipe& drive : drives) {
      if (TerminationSignals::Requested() != 0) break;
      const std::string what = drive.root + " (" + drive.letter + ":)";
      monitor_.SetStatus("", "", "");
      monitor_.SetCancelFlag(false);
      try {
        FreeSpaceWipe wipe(
            engine_, monitor_, profile, [wipeSlack] { return wipeSlack; }, diskInfo, Verify());
        if (report_) wipe.RecordInto(*report_);
        wipe.WipeSelectedDrives({drive});
      } catch (const std::exception& failure) {
        allDone_ = false;
        Report(what, "FAILED (" + std::string(failure.what()) + ")");
        continue;
      }
      const std::string status = monitor_.LastStatus();
      if (!status.ends_with("WIPED")) allDone_ = false;
      Report(what, status.empty() ? "not wiped" : status);
    }
    SaveReport();
  }

  const CommandLine& line_;
  std::istream& in_;
  std::ostream& out_;
  std::ostream& errors_;
  ShredEngine engine_;
  TerminalMonitor monitor_;
  SettingsFile settings_;
  std::optional<CommandReport> report_;
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
