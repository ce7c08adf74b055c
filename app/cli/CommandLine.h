#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace omrek {

// Where users report problems, chosen when the program is configured; empty
// when the project has no such address.
inline constexpr const char* kReportAddress = OMREK_REPORT_ADDRESS;

// What the program was asked for on its command line.
struct CommandLine {
  enum class Mode {
    Window,                     // the main window, with the named files listed
    Help,                       // --help
    Version,                    // --version
    Destroy,                    // --destroy FILE...
    WipeSlack,                  // --wipe-slack FILE...
    WipeSpace,                  // --wipe-space PATH...
    Recover,                    // --recover
    InstallFileManagerActions,  // --install-file-manager-actions
  };

  Mode mode = Mode::Window;
  // File or folder paths exactly as given: any bytes.
  std::vector<std::string> paths;
  // --settings FILE; empty for the program's own settings file.
  std::string settingsFile;
  // --yes: the free-space wipe goes on without asking.
  bool yes = false;
  // --then-wipe-space: after --destroy, the free space of each drive where a
  // file was destroyed is wiped as --wipe-space wipes it.
  bool thenWipeSpace = false;
  // -r, --recursive: a folder named stands for every file beneath it.
  bool recursive = false;
  // --verify: read back each file's (or chunk's) last pass, whatever the
  // settings say.
  bool verify = false;
  // --report FILE: where to write a report of what was done; empty for none.
  std::string reportFile;
  // --wait SECONDS: how long --wipe-space waits for a drive that another
  // copy of the program is wiping; not given, it refuses such a drive at once.
  std::optional<std::uint32_t> waitSeconds;

  // Runs without a window or a display.
  bool Headless() const { return mode != Mode::Window; }
  // Fills drives, which --yes and --wait are about.
  bool FillsDrives() const { return mode == Mode::WipeSpace || (mode == Mode::Destroy && thenWipeSpace); }
};

// A command line the program cannot follow; the text says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments after the program's name. "--" ends the options, so
// a file whose name begins with a dash can be named. Raises UsageError for
// an unknown option, two commands, a command without paths, or an option
// that does not go with the command.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The text --help prints. `reportAddress` is where users report problems;
// empty when there is none, and then the text says nothing of it.
std::string UsageText(const std::string& reportAddress = kReportAddress);

}  // namespace omrek
