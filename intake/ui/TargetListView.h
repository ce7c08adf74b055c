#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <vector>

#include "intake/FolderExpansion.h"
#include "intake/TargetRows.h"

namespace omrek {

// lstView: the list of target files in report view. A row shows its path as
// its caption and one state text (size in kilobytes, "folder", "skipped",
// "-slack"). Behind the caption it keeps the path's exact bytes and the
// file the path led to when it was added or edited (see ListedFile). The
// caption, a readable form of the bytes, can be edited in place.
class TargetListView : public QTreeWidget, public TargetRows {
  Q_OBJECT

 public:
  static constexpr int kCaptionColumn = 0;
  static constexpr int kStateColumn = 1;

  explicit TargetListView(QWidget* parent = nullptr);

  // Appends a row for `path` (its bytes) with "folder" or its size in
  // kilobytes. When the size cannot be read the IoError escapes and the row
  // stays, without a size text.
  void AppendTarget(const std::string& path);

  // Puts a row for each file found in a folder in place of `row`, in
  // their order, each with the size the walk saw.
  void ReplaceRow(int row, const std::vector<FoundFile>& files);

  // Removes every selected row; the others keep their order.
  void DeleteSelectedRows();

  QString RowStateText(int row) const;

  int RowCount() const override;
  ListedFile RowFile(int row) const override;
  void SetRowState(int row, const std::string& text) override;
  void DeleteRow(int row) override;
  std::unique_ptr<RowHandle> HandleOf(int row) override;

 signals:
  // A key was released (not an auto-repeat) while the list had the focus.
  void keyReleased(int key);
  // A row reading "folder" was appended for a path that leads somewhere:
  // a folder, perhaps, whose files the user may want listed instead.
  void folderAppended(const QPersistentModelIndex& row);

 protected:
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  // An edited caption names another path: its bytes, and the file it leads
  // to now, replace the row's.
  void CaptionEdited(QTreeWidgetItem* row, int column);
  static QTreeWidgetItem* NewRow(const ListedFile& listed);
};

}  // namespace omrek
