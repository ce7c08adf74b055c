#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "disk/DiskInfo.h"
#include "disk/FreeSpaceWipe.h"
#include "disk/SpaceWipeForecast.h"
#include "disk/StoppedRuns.h"
#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"
#include "intake/ui/DropTarget.h"
#include "platform/WavePlayer.h"

class QFrame;
class QLabel;

namespace omrek {

struct SpaceWipeOptions;
class BarMeter;
class ClickLabel;
class FlatButton;
class Label3D;
class RedrawThrottle;
class TargetListView;
class TCoolForm;
class TfrmAbout;
class TfrmConfig;
class TfrmSelect;
class WindowFrontEnd;

// The main window: the target list, three status lines, the meter and the
// column of command buttons. It owns the engine state and is the job
// monitor every command reports through.
class TfrmMain : public QWidget, public JobMonitor {
  Q_OBJECT

 public:
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The dialogs are created after the main window, so they are attached
  // once they exist.
  void AttachDialogs(TfrmConfig* config, TfrmAbout* about, TfrmSelect* select);

  ShredEngine& Engine() { return engine_; }

  // Appends a row for the path and shows "READY". An IoError from the size
  // lookup escapes; the row then stays without a size text.
  void AddTarget(const std::string& path);

  // What the start put right of stopped runs: the next report tells all of
  // it, and a file left alone is named in a message now, once.
  void TellStartRepairs(const StoppedRunRepairs& repairs);

  // Runs one command with the engine to itself: CancelFlag is cleared for
  // it and set again however it ends. A command asked for while another
  // runs is refused (returns false), since both would share one open file,
  // one meter and one cancel flag.
  bool RunCommand(const std::function<void()>& command);
  bool CommandRunning() const { return commandRunning_; }

  void SetStatus(const std::string& line1, const std::string& line2, const std::string& line3) override;
  void PumpEvents() override;
  void AddProgress(std::uint16_t amount) override;
  void ResetProgress() override;
  void ShowMeterFull() override;
  void ShowMessage(const std::string& text) override;
  // Set also once the program is asked to end, so every command stops at
  // its next safe point.
  bool CancelFlag() const override;
  void SetCancelFlag(bool value) override { engine_.CancelFlag = value; }

  // Volume facts of the drive measured last.
  TDiskInfo DiskInfo;
  // Takes the files dropped on lstView; bound for the window's whole life.
  TDropFileTarget DropFileTarget1;
  // The sound played when the passes over a file begin.
  WavePlayer Wave1;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void KeepSkinColours();
  void CreateTitleAndStatus();
  void CreateListPanel();
  void CreateCommandButtons();
  void WireHandlers();
  void FormCreate();
  void FormShow();
  void FormDestroy();

  void btnExitClick();
  void lblExitClick();
  void btnMinClick();
  void btnHelpClick();
  void btnConfigClick();
  void btnSelectFilesClick();
  void btnCancelClick();
  void btnDestroyClick();
  void btnWipeSlackClick();
  void btnWipeSpaceClick();
  void lstViewKeyUp(int key);
  void DropFileTarget1Drop(TDropTarget& sender, TShiftState shiftState, QPoint point, DropEffect& effect);

  // Serves repaints and the window manager between two pump points; user
  // input waits for the next one.
  void KeepWindowAlive();

  // The drives picked in the configuration dialog, by letter and root.
  std::vector<DriveToWipe> SelectedDrives() const;
  // How a free-space wipe reads the dialog's further options, and notes its
  // speed for the next forecast.
  SpaceWipeOptions SpaceWipeOptionsOfConfig();

  // The controls; tests and tools find each by its object name, which is
  // its name here.
  // The skin beneath every other control: picture, outline and dragging.
  TCoolForm* CoolForm1;
  Label3D* lblTitle1;
  Label3D* lblTitle2;
  QLabel* lblStatus;
  QLabel* lblStatus2;
  QLabel* lblStatus3;
  ClickLabel* btnMin;
  ClickLabel* lblExit;
  QFrame* pnlMain;
  TargetListView* lstView;
  BarMeter* Meter;
  FlatButton* btnDestroy;
  FlatButton* btnWipeSlack;
  FlatButton* btnWipeSpace;
  FlatButton* btnSelectFiles;
  FlatButton* btnHelp;
  FlatButton* btnConfig;
  FlatButton* btnCancel;
  FlatButton* btnExit;

  ShredEngine engine_;
  RedrawThrottle* redraw_ = nullptr;
  QElapsedTimer sinceAlive_;
  // What the confirmation of the next free-space wipe forecasts from.
  WipeSpeeds wipeSpeeds_;
  std::unique_ptr<WindowFrontEnd> frontEnd_;
  bool commandRunning_ = false;
  // The window was closed: the program ends once the running command does.
  bool closing_ = false;
  bool shownOnce_ = false;
  TfrmConfig* frmConfig_ = nullptr;
  TfrmAbout* frmAbout_ = nullptr;
  TfrmSelect* frmSelect_ = nullptr;
};

}  // namespace omrek
