#pragma once

#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace omrek {

class MountWatch;

// lstDisk: the drives with their icons and display names, several
// selectable, captions read-only. The fixed drives start selected when
// SelectLocalDrives is on. The list follows the mount table: when a file
// system is mounted or unmounted it fills itself anew, the selected drives
// staying selected by mount point (their letters may have shifted) and a
// newly mounted one starting unselected, so "Wipe Space" never works on a
// drive the user did not pick. A drive that does not answer (a stopped
// FUSE server, a dead network share) reads "not responding" and cannot be
// selected; the list looks again once it has answered.
class TDiskListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TDiskListView(QWidget* parent = nullptr);
  ~TDiskListView() override;

  bool SelectLocalDrives() const { return selectLocalDrives_; }
  void SetSelectLocalDrives(bool value) { selectLocalDrives_ = value; }

  // Empties the list and fills it from the drives mounted now.
  void RefreshDrives();

  // The selected drives' letters in list order, upper case, no separators:
  // "CE" for C and E.
  QString SelectedDriveLetters() const;

  // The root folders of the same drives, in the same order. Letters follow
  // the mount table and shift when file systems come and go; a root folder
  // names the drive the user saw in the list.
  std::vector<std::string> SelectedDriveRoots() const;

  // The same root folders byte for byte, as the settings file keeps them:
  // a mount point need not be UTF-8.
  std::vector<std::string> SelectedMountPoints() const;
  // Selects exactly the drives mounted at these points; the others end up
  // unselected, and a mount point not in the list is passed over.
  void SelectMountPoints(const std::vector<std::string>& mountPoints);

 private:
  void FollowMountTable();
  void RefreshKeepingSelection();
  void RefreshOnceAnswered();

  bool selectLocalDrives_ = true;
  std::unique_ptr<MountWatch> mountTable_;
  // Declared after the watch, so it lets go of the descriptor first.
  std::unique_ptr<QSocketNotifier> mountChanges_;
  // Runs while a listed drive does not respond.
  QTimer notResponding_;
};

// The drive letter that a display name such as "My (old) disk (D:)" ends
// with, or 0 when it does not end with one.
QChar DriveLetterOfDisplayName(const QString& displayName);

}  // namespace omrek
