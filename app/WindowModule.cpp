// The window, built as a shared module of its own: the program loads it,
// and with it Qt's libraries, only when it shows a window.
#include <QApplication>
#include <string>
#include <vector>

#include "app/OmrekProgram.h"
#include "app/Version.h"
#include "app/WindowModule.h"
#include "widgets/ErrorBox.h"

extern "C" const char* omrek_window_version() { return omrek::kVersion; }

// The window, with the named files listed as if dropped on it. Paths go to
// the list as the bytes they were given as: a name need not be UTF-8.
extern "C" int omrek_run_window(char* programName, const std::vector<std::string>& paths) {
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
