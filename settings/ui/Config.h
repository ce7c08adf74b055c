#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "engine/FileDestruction.h"
#include "engine/WipeProfile.h"
#include "settings/ui/ControlWipeProfile.h"
#include "widgets/ModelessWindow.h"

class QCheckBox;
class QFrame;
class QLabel;

namespace omrek {

class FileNameEdit;
class FlatButton;
class GradientLabel;
class SettingsFile;
class TDiskListView;
class WavePlayer;
struct SettingKey;

// The configuration dialog: the wipe options of "Individual File Mode" and
// "Disk Wipe Mode". Its controls are the live options: the commands read
// them at the moment they need one, so a change counts at once, whether the
// dialog is then closed with OK, which also saves it, or with Cancel, which
// leaves it unsaved but in force until the program ends.
class TfrmConfig : public ModelessWindow {
  Q_OBJECT

 public:
  explicit TfrmConfig(QWidget* parent = nullptr);

  // The options of both modes, as the commands read them.
  const WipeProfile& FileModeProfile() const { return fileMode_; }
  const WipeProfile& DiskModeProfile() const { return diskMode_; }
  // Disk mode's further options, for the free-space wipe.
  bool WipeSlack() const;
  bool WipeBackground() const;
  // What the destroy command does beyond the passes, as the settings file
  // gave it at start and OK last wrote it.
  const DestroyOptions& Options() const { return options_; }

  // Whether the user asked not to be warned again about overwriting in
  // place on the drive mounted at `mountPoint`; QuietDrive asks so, and
  // stores it in the settings file at once (kept for this run even when the
  // file cannot be written).
  bool DriveQuiet(const std::string& mountPoint) const;
  void QuietDrive(const std::string& mountPoint);

  // Whether the window offers the report after a command; StopOfferingReport
  // stores at once that it should not (kept for this run even when the file
  // cannot be written).
  bool OfferReport() const { return offerReport_; }
  void StopOfferingReport();

  // The user's last answer to whether a Destroy wipes the free space after
  // it; none until the user has answered. RememberThenWipeSpace stores it at
  // once (kept for this run even when the file cannot be written).
  std::optional<bool> ThenWipeSpace() const { return thenWipeSpace_; }
  void RememberThenWipeSpace(bool wipe);

  // The selected drives' letters, such as "CE".
  QString SelectedDrives() const;

  // The settings file: beside the program, with ".ini" as its extension, or
  // in the user's configuration folder for an installed program.
  std::string SettingsFilePath() const;
  // Stands the program at another path, which moves the settings file and
  // the folder the default sound is looked for in. Tests use it to keep
  // what they save in a folder of their own.
  void SetProgramPath(std::string executablePath) { programPath_ = std::move(executablePath); }

  // Fills the controls from the settings file, once, when the program
  // starts; the drive list must be filled already. Loads the sound file it
  // names into `sound` (silently nothing when it cannot), and sets the
  // caption of the main window's `wipeSpace` button. Returns a line for the
  // status, saying why the file was read only in part or not at all, or
  // nothing when it was read as it is.
  std::string LoadSettings(WavePlayer& sound, FlatButton& wipeSpace);
  // Writes every key from the controls. Raises "Unable to write to " and
  // the path when a key cannot be written; the keys before it stay written.
  void SaveSettings();

  GradientLabel* lblFileMode;
  GradientLabel* lblDiskWipeMode;
  QFrame* BackPanel1;
  QFrame* BackPanel2;
  QLabel* lblHex1;
  QLabel* Label2;
  FileNameEdit* edtSoundFile;
  TDiskListView* lstDisk;
  QCheckBox* chkWipeSlack;
  QCheckBox* chkWipeBackground;
  FlatButton* btnOK;
  FlatButton* btnQuit;

 protected:
  // Enter means OK and Esc Cancel, unless the control with the focus takes
  // the key itself (a button takes Enter to press itself).
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateHeadingsAndButtons();
  void CreateFileModePanel();
  void CreateDiskModePanel();
  void WireHandlers();

  template <typename Control>
  Control* ControlOf(const SettingKey& key) const;
  void PutIntoControl(const SettingsFile& file, const SettingKey& key);
  void TakeFromControl(SettingsFile& file, const SettingKey& key) const;
  void LoadSound(WavePlayer& sound);

  void btnOKclick();
  void btnQuitClick();

  std::string programPath_;
  DestroyOptions options_;
  std::vector<std::string> quietDrives_;
  bool offerReport_ = true;
  std::optional<bool> thenWipeSpace_;
  WipeControls fileControls_{};
  WipeControls diskControls_{};
  ControlWipeProfile fileMode_{fileControls_};
  ControlWipeProfile diskMode_{diskControls_};
};

}  // namespace omrek
