#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Version.h"
#include "app/WindowModule.h"
#include "app/cli/CommandLine.h"
#include "app/cli/FileManagerScripts.h"
#include "app/cli/HeadlessCommand.h"
#include "intake/ReadablePath.h"
#include "platform/ExecutablePath.h"
#include "platform/LoadedModule.h"
#include "platform/OpenFileLimit.h"
#include "settings/SettingsLocation.h"

namespace {

// The window lives in a module of its own, so a command run from the
// command line never loads Qt's libraries.
int RunWindow(char* programName, const std::vector<std::string>& paths) {
  RunWindowFunction run = nullptr;
  try {
    const std::string path = omrek::PlacesOf(omrek::RunningExecutablePath()).windowModule;
    const omrek::LoadedModule module(path);
    // A module left from another version beside a new program would show
    // another program's window.
    const std::string version = module.Find<WindowVersionFunction>(kWindowVersionSymbol)();
    if (version != omrek::kVersion) {
      throw std::runtime_error(omrek::ReadablePath(path) + " is of version " + version + ", the program of " +
                               omrek::kVersion);
    }
    run = module.Find<RunWindowFunction>(kRunWindowSymbol);
  } catch (const std::exception& error) {
    std::cerr << "omrek: cannot show the window: " << omrek::ControlsEscaped(error.what()) << '\n';
    return omrek::kExitSkipped;
  }
  return run(programName, paths);
}

// Says where each script went, or why none could be written.
int InstallFileManagerActions() {
  try {
    const auto scripts =
        omrek::InstallFileManagerScripts(omrek::RunningExecutablePath(), omrek::UserFoldersOfEnvironment());
    for (const std::string& script : scripts) std::cout << "installed " << omrek::ReadablePath(script) << '\n';
    return omrek::kExitDone;
  } catch (const std::exception& error) {
    std::cerr << "omrek: " << omrek::ControlsEscaped(error.what()) << '\n';
    return omrek::kExitSkipped;
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  using Mode = omrek::CommandLine::Mode;
  omrek::CommandLine line;
  try {
    line = omrek::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const omrek::UsageError& error) {
    std::cerr << "omrek: " << error.what() << "\nTry 'omrek --help'.\n";
    return omrek::kExitUsage;
  }
  omrek::RaiseOpenFileLimit();
  switch (line.mode) {
    case Mode::Help:
      std::cout << omrek::UsageText();
      return omrek::kExitDone;
    case Mode::Version:
      std::cout << "Omrek, Filebane " << omrek::kVersion << '\n' << omrek::kCopyrightLine << '\n';
      return omrek::kExitDone;
    case Mode::Window:
      return RunWindow(argv[0], line.paths);
    case Mode::InstallFileManagerActions:
      return InstallFileManagerActions();
    default:
      break;
  }
  try {
    return omrek::RunHeadless(line, std::cin, std::cout, std::cerr);
  } catch (const std::exception& error) {
    std::cerr << "omrek: " << omrek::ControlsEscaped(error.what()) << '\n';
    return omrek::kExitSkipped;
  }
}
