#pragma once

#include <QTreeWidget>
#include <string>
#include <vector>

namespace omrek {

// lstDisk: the drives with their icons and display names, several
// selectable, captions read-only. The fixed drives start selected when
// SelectLocalDrives is on.
class TDiskListView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TDiskListView(QWidget* parent = nullptr);

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
  QStringList SelectedDriveRoots() const;

  // The same root folders byte for byte, as the settings file keeps them:
  // a mount point need not be UTF-8.
  std::vector<std::string> SelectedMountPoints() const;
  // Selects exactly the drives mounted at these points; the others end up
  // unselected, and a mount point not in the list is passed over.
  void SelectMountPoints(const std::vector<std::string>& mountPoints);

 private:
  bool selectLocalDrives_ = true;
};

// The drive letter that a display name such as "My (old) disk (D:)" ends
// with, or 0 when it does not end with one.
QChar DriveLetterOfDisplayName(const QString& displayName);

}  // namespace omrek
