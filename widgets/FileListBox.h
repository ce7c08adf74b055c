#pragma once

#include <QFileIconProvider>
#include <QListWidget>
#include <QMimeDatabase>
#include <string>
#include <vector>

namespace omrek {

// The entries of one folder: its sub-folders, then its files, each group in
// case-insensitive order of names. Hidden and special entries are listed,
// "." and ".." are not; every name the folder holds is listed, whatever its
// bytes, and shows in its readable form (see ReadablePath) with the
// desktop's icon for it. Paths here are bytes. Several entries can be
// selected (Ctrl, Shift); a double-click on a sub-folder opens it.
class FileListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit FileListBox(int entryHeight, QWidget* parent = nullptr);

  // Shows the folder's entries, read now; nothing is selected afterwards.
  // A folder that is gone or cannot be read shows no entries.
  void SetPath(const std::string& folder);

  // The folder shown: absolute, without a trailing '/' except for "/".
  const std::string& Path() const { return path_; }

  // The entry's full path: the folder, one '/', the entry's name.
  std::string EntryPath(int row) const;

  // The full paths of the selected entries, in the list's order (not the
  // order in which they were selected).
  std::vector<std::string> SelectedEntryPaths() const;

 private:
  QIcon IconFor(const QString& caption, bool folder) const;
  void OpenEntry(QListWidgetItem* entry);

  std::string path_;
  QFileIconProvider icons_;
  QMimeDatabase mimeTypes_;
};

}  // namespace omrek
