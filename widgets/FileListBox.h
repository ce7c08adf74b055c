#pragma once

#include <QFileIconProvider>
#include <QListWidget>
#include <QMimeDatabase>
#include <QStringList>

namespace omrek {

// The entries of one folder: its sub-folders, then its files, each group in
// case-insensitive order of names. Hidden and special entries are listed,
// "." and ".." are not. Each entry shows its plain name and the desktop's
// icon for it. Several entries can be selected (Ctrl, Shift); a
// double-click on a sub-folder opens it.
class FileListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit FileListBox(int entryHeight, QWidget* parent = nullptr);

  // Shows the folder's entries, read now; nothing is selected afterwards.
  // A folder that is gone or cannot be read shows no entries.
  void SetPath(const QString& folder);

  // The folder shown: absolute, without a trailing '/' except for "/".
  const QString& Path() const { return path_; }

  // The entry's full path: the folder, one '/', the entry's name.
  QString EntryPath(int row) const;

  // The full paths of the selected entries, in the list's order (not the
  // order in which they were selected).
  QStringList SelectedEntryPaths() const;

 private:
  QIcon IconFor(const QFileInfo& entry) const;
  void OpenEntry(QListWidgetItem* entry);

  QString path_;
  QFileIconProvider icons_;
  QMimeDatabase mimeTypes_;
};

}  // namespace omrek
