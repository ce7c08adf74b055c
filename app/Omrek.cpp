#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/OmrekProgram.h"
#include "app/Version.h"
#include "app/cli/CommandLine.h"
#include "app/cli/FileManagerScripts.h"
#include "app/cli/HeadlessCommand.h"
#include "intake/ReadablePath.h"
#include "platform/ExecutablePath.h"
#include "platform/OpenFileLimit.h"
#include "widgets/ErrorBox.h"

namespace {

// The window, with the named files listed as if dropped on it. Paths go to
// the list as the bytes they were given as: a name need not be UTF-8.
int RunWindow(char* programName, const std::vector<std::string>& paths) {
  // Qt sees no arguments but the program's name, so a file named like one
  // of Qt's own options is listed, not taken for that option.
  int argc = 1;
  char* argv[] = {programName, nullptr};
  QApplication application(argc, argv);
  QApplication::setApplicationName(omrek::kProgramTitle);
  // Only closing the main window ends the program; it does that itself.
  QApplication::setQuitOnLastWindowClosed(false);

  omrek::OmrekProgram program;
  program.Start();
  omrek::RunGuarded([&] { program.RepairKilledRuns(); });
  for (const std::string& path : paths) omrek::RunGuarded([&] { program.Main().AddTarget(path); });
  return QApplication::exec();
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
