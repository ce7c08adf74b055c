#pragma once

#include <QSocketNotifier>
#include <QWidget>
#include <array>

#include "app/About.h"
#include "app/Main.h"
#include "intake/ui/FileSelect.h"
#include "settings/ui/Config.h"

namespace omrek {

// The program's four windows, created in this order and kept for the whole
// run: the main window, then the configuration, about and file selection
// dialogs (hidden until asked for). The selection dialog adds its entries
// through the main window's AddTarget. A termination signal (SIGTERM,
// SIGINT, SIGHUP) stops a running command at its next safe point and ends
// the event loop with 128 + the signal's number.
class OmrekProgram {
 public:
  OmrekProgram();

  // Centres the main window on the desktop and shows it.
  void Start();

  // What runs that were killed left behind (filler files, an emptied ext4
  // reserve) is put right, and the status lines say so. The program's own
  // start does it; a window made for a test leaves the machine's drives be.
  void RepairKilledRuns();

  TfrmMain& Main() { return frmMain_; }
  TfrmConfig& Config() { return frmConfig_; }
  TfrmAbout& About() { return frmAbout_; }
  TfrmSelect& Select() { return frmSelect_; }

  std::array<QWidget*, 4> WindowsInCreationOrder() { return {&frmMain_, &frmConfig_, &frmAbout_, &frmSelect_}; }

 private:
  // Members are constructed in declaration order, which is the order the
  // windows must be created in.
  TfrmMain frmMain_;
  TfrmConfig frmConfig_;
  TfrmAbout frmAbout_;
  TfrmSelect frmSelect_;
  QSocketNotifier termination_;
};

}  // namespace omrek
