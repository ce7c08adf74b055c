#include "app/cli/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "intake/ReadablePath.h"

namespace omrek {

namespace {

using Mode = CommandLine::Mode;

struct NamedMode {
  const char* option;
  Mode mode;
};

constexpr NamedMode kModes[] = {
    {"--destroy", Mode::Destroy},
    {"--wipe-slack", Mode::WipeSlack},
    {"--wipe-space", Mode::WipeSpace},
    {"--recover", Mode::Recover},
    {"--install-file-manager-actions", Mode::InstallFileManagerActions},
};

// --help and --version answer whatever else was given, even a command line
// that could not be followed.
std::optional<Mode> AnswerAsked(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--help" || argument == "-h") return Mode::Help;
    if (argument == "--version") return Mode::Version;
  }
  return std::nullopt;
}

bool TakesPaths(Mode mode) { return mode == Mode::Destroy || mode == Mode::WipeSlack || mode == Mode::WipeSpace; }

void SetMode(CommandLine& line, Mode mode, const std::string& option) {
  if (line.mode != Mode::Window && line.mode != mode) throw UsageError("only one command at a time: " + option);
  line.mode = mode;
}

void Check(const CommandLine& line) {
  // An empty name leads nowhere, and a script that passed an unset
  // variable should hear of it rather than see a file "not found".
  if (TakesPaths(line.mode) && std::find(line.paths.begin(), line.paths.end(), "") != line.paths.end()) {
    throw UsageError("an empty argument names no path");
  }
  if (TakesPaths(line.mode) && line.paths.empty()) {
    throw UsageError(line.mode == Mode::WipeSpace ? "--wipe-space needs a path on each drive to wipe"
                                                  : "nothing to do: name the files");
  }
  if (line.mode == Mode::Recover && !line.paths.empty()) throw UsageError("--recover takes no paths");
  if (line.mode == Mode::InstallFileManagerActions && !line.paths.empty()) {
    throw UsageError("--install-file-manager-actions takes no paths");
  }
  if (!line.settingsFile.empty() && !TakesPaths(line.mode)) {
    throw UsageError("--settings goes with --destroy, --wipe-slack or --wipe-space");
  }
  if (line.thenWipeSpace && line.mode != Mode::Destroy) throw UsageError("--then-wipe-space goes with --destroy");
  if (line.yes && !line.FillsDrives()) throw UsageError("--yes goes with --wipe-space or --then-wipe-space");
  if (line.recursive && line.mode != Mode::Destroy && line.mode != Mode::WipeSlack) {
    throw UsageError("-r goes with --destroy or --wipe-slack");
  }
  if (line.waitSeconds && !line.FillsDrives()) throw UsageError("--wait goes with --wipe-space or --then-wipe-space");
  if ((line.verify || !line.reportFile.empty()) && !TakesPaths(line.mode)) {
    throw UsageError("--verify and --report go with --destroy, --wipe-slack or --wipe-space");
  }
}

// "--option VALUE" or "--option=VALUE" at `i` into `value` (moving `i`
// past VALUE); false when the argument is another one. `needs` names what
// VALUE is, for the error.
bool TakeValue(const std::vector<std::string>& arguments, std::size_t& i, const std::string& option,
               const std::string& needs, std::string& value) {
  const std::string& argument = arguments[i];
  if (argument == option) {
    if (++i == arguments.size()) throw UsageError(option + " needs " + needs);
    value = arguments[i];
  } else if (argument.starts_with(option + "=")) {
    value = argument.substr(option.size() + 1);
  } else {
    return false;
  }
  if (value.empty()) throw UsageError(option + " needs " + needs);
  return true;
}

bool TakeFile(const std::vector<std::string>& arguments, std::size_t& i, const std::string& option, std::string& file) {
  return TakeValue(arguments, i, option, "a file", file);
}

// "--wait SECONDS": a whole number, 0 or more.
bool TakeSeconds(const std::vector<std::string>& arguments, std::size_t& i, std::optional<std::uint32_t>& seconds) {
  constexpr const char* kNeeds = "a whole number of seconds";
  std::string text;
  if (!TakeValue(arguments, i, "--wait", kNeeds, text)) return false;
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw UsageError(std::string("--wait needs ") + kNeeds + ", not " + ReadablePath(text));
  }
  seconds = value;
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  if (const auto answer = AnswerAsked(arguments)) {
    line.mode = *answer;
    return line;
  }
  bool options = true;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options || !argument.starts_with('-') || argument == "-") {
      line.paths.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options = false;
      continue;
    }
    if (argument == "--yes" || argument == "-y") {
      line.yes = true;
      continue;
    }
    if (argument == "--recursive" || argument == "-r") {
      line.recursive = true;
      continue;
    }
    if (argument == "--verify") {
      line.verify = true;
      continue;
    }
    if (argument == "--then-wipe-space") {
      line.thenWipeSpace = true;
      continue;
    }
    if (TakeFile(arguments, i, "--report", line.reportFile) ||
        TakeFile(arguments, i, "--settings", line.settingsFile) || TakeSeconds(arguments, i, line.waitSeconds)) {
      continue;
    }
    bool known = false;
    for (const NamedMode& named : kModes) {
      if (argument == named.option) {
        SetMode(line, named.mode, argument);
        known = true;
      }
    }
    if (!known) throw UsageError("unknown option " + ReadablePath(argument));
  }
  Check(line);
  return line;
}

std::string UsageText(const std::string& reportAddress) {
  std::string text =
      "Usage: omrek [FILE...]\n"
      "       omrek --destroy [-r] [--verify] [--report FILE] [--settings FILE] FILE...\n"
      "       omrek --destroy --then-wipe-space [--yes] [--wait SECONDS] [-r] ... FILE...\n"
      "       omrek --wipe-slack [-r] [--verify] [--report FILE] [--settings FILE] FILE...\n"
      "       omrek --wipe-space [--yes] [--wait SECONDS] [--verify] [--report FILE]\n"
      "                          [--settings FILE] PATH...\n"
      "       omrek --recover\n"
      "       omrek --install-file-manager-actions\n"
      "\n"
      "Without a command, opens the window with the FILEs listed.\n"
      "\n"
      "File managers: Dolphin and Nemo offer \"Shred with Omrek\" on selected files\n"
      "and folders once the program is installed; for Nautilus and Caja,\n"
      "--install-file-manager-actions puts that in their Scripts menu. Each lists\n"
      "the selection in the window; nothing is destroyed until asked there.\n"
      "\n"
      "Commands, run without a window:\n"
      "  --destroy      overwrite each FILE to the end of its last cluster with the\n"
      "                 file-mode passes, cut it to nothing and delete it\n"
      "  --wipe-slack   overwrite the slack of each FILE (past its end, to the end of\n"
      "                 its last cluster) with the file-mode passes; the file stays\n"
      "  --destroy --then-wipe-space\n"
      "                 destroy each FILE, then wipe the free space of every drive\n"
      "                 where a file was destroyed, as --wipe-space does: earlier\n"
      "                 versions an editor saved and blocks a copy-on-write file\n"
      "                 system kept lie there; asks first\n"
      "  --wipe-space   fill the free space of the file system holding each PATH with\n"
      "                 filler files, written with the disk-mode passes, then delete\n"
      "                 them; asks first\n"
      "  --recover      only put right what stopped runs left: files a slack wipe had\n"
      "                 lengthened, filler files, an emptied ext4 reserve (every\n"
      "                 start does this first)\n"
      "  --install-file-manager-actions\n"
      "                 put \"Shred with Omrek\" in the Scripts menu of Nautilus and\n"
      "                 Caja, for the user running it\n"
      "\n"
      "Options:\n"
      "  --settings FILE  take the passes from FILE instead of the program's settings\n"
      "  -y, --yes        wipe space without asking (needed when not on a terminal)\n"
      "  --wait SECONDS   wait up to SECONDS for a drive that another Omrek is wiping;\n"
      "                   without it, such a drive is refused at once\n"
      "  -r, --recursive  a FILE that is a folder stands for every file beneath it\n"
      "  --verify         read back what the last pass wrote, around the page cache;\n"
      "                   a file that differs is kept and counts as failed\n"
      "  --report FILE    write a report of what was done to a new FILE (owner-only)\n"
      "  -h, --help       print this help and exit\n"
      "  --version        print the version and exit\n"
      "  --               end of options: the names after it are all paths\n"
      "\n"
      "Folders: without -r a folder is skipped. With -r every regular file beneath\n"
      "it is listed, hidden ones too; links are not followed and mount points inside\n"
      "(bind mounts too) are not entered. After --destroy -r each folder left with\n"
      "nothing but links, FIFOs, sockets and devices loses them, as names only (what\n"
      "a link leads to stays), and is removed; a folder still holding anything stays,\n"
      "links and all, and is named.\n"
      "\n"
      "One line per file or drive tells what was done. Exit status: 0 when all was\n"
      "done, 1 when anything was skipped or failed, 2 for a usage error.\n";
  if (!reportAddress.empty()) text += "\nReport problems at " + reportAddress + ".\n";
  return text;
}

}  // namespace omrek
