#include <QApplication>

#include "app/Main.h"
#include "app/SpaceConfirmation.h"
#include "app/WindowFrontEnd.h"
#include "app/command/CommandRunner.h"
#include "disk/ui/DiskList.h"
#include "intake/ui/TargetListView.h"
#include "settings/ui/Config.h"

namespace omrek {

void TfrmMain::btnDestroyClick() {
  RunCommand([this] {
    const SpaceFollowUp followUp{frmConfig_->DiskModeProfile(),  SpaceWipeOptionsOfConfig(), DiskInfo, wipeSpeeds_,
                                 frmConfig_->SettingsFilePath(), [this] { return closing_; }};
    CommandRunner(engine_, *this, *frontEnd_)
        .Destroy(*lstView, frmConfig_->FileModeProfile(), frmConfig_->Options(), Wave1, {}, &followUp);
  });
}

void TfrmMain::btnWipeSlackClick() {
  RunCommand([this] {
    CommandRunner(engine_, *this, *frontEnd_)
        .WipeSlack(*lstView, frmConfig_->FileModeProfile(), frmConfig_->Options().verify);
  });
}

void TfrmMain::btnWipeSpaceClick() {
  if (CommandRunning()) {
    QApplication::beep();
    return;
  }
  const std::vector<DriveToWipe> drives = SelectedDrives();
  // Filling a drive makes every program writing there fail until the wipe
  // ends: the user is asked first, and told when there is nothing to ask.
  if (drives.empty()) {
    TellNoDriveSelected(this);
    return;
  }
  if (!CommandRunner(engine_, *this, *frontEnd_).AskToWipeSpace(drives, wipeSpeeds_)) return;
  RunCommand([&] {
    CommandRunner(engine_, *this, *frontEnd_)
        .WipeSpace(drives, frmConfig_->DiskModeProfile(), SpaceWipeOptionsOfConfig(), DiskInfo);
  });
}

SpaceWipeOptions TfrmMain::SpaceWipeOptionsOfConfig() {
  SpaceWipeOptions options;
  options.wipeSlack = [this] { return frmConfig_->WipeSlack(); };
  options.verify = frmConfig_->Options().verify;
  options.firstChunkTimed = [this](const std::string& root, double speed) { wipeSpeeds_.Note(root, speed); };
  return options;
}

std::vector<DriveToWipe> TfrmMain::SelectedDrives() const {
  const QString letters = frmConfig_->lstDisk->SelectedDriveLetters();
  const std::vector<std::string> roots = frmConfig_->lstDisk->SelectedDriveRoots();
  std::vector<DriveToWipe> drives;
  for (qsizetype i = 0; i < letters.size(); ++i) {
    drives.push_back({letters.at(i).toLatin1(), roots.at(static_cast<std::size_t>(i))});
  }
  return drives;
}

void TfrmMain::TellStartRepairs(const StoppedRunRepairs& repairs) {
  frontEnd_->NoteStartRepairs(repairs.All());
  if (repairs.left.empty()) return;
  std::string text;
  for (const std::string& line : repairs.left) text += line + "\n";
  ShowMessage(text);
}

}  // namespace omrek
