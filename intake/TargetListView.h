#pragma once

#include <QTreeWidget>

#include "intake/TargetRows.h"

namespace omrek {

// lstView: the list of target files in report view. A row holds the path as
// its caption and one state text (size in kilobytes, "folder", "skipped",
// "-slack"); nothing else. The caption can be edited in place.
class TargetListView : public QTreeWidget, public TargetRows {
  Q_OBJECT

 public:
  static constexpr int kCaptionColumn = 0;
  static constexpr int kStateColumn = 1;

  explicit TargetListView(QWidget* parent = nullptr);

  // Appends a row for `path` with "folder" or its size in kilobytes. When
  // the size cannot be read the IoError escapes and the row stays, without
  // a size text.
  void AppendTarget(const QString& path);

  // Removes every selected row; the others keep their order.
  void DeleteSelectedRows();

  QString RowStateText(int row) const;

  int RowCount() const override;
  std::string RowCaption(int row) const override;
  void SetRowState(int row, const std::string& text) override;
  void DeleteRow(int row) override;
  std::unique_ptr<RowHandle> HandleOf(int row) override;

 signals:
  // A key was released (not an auto-repeat) while the list had the focus.
  void keyReleased(int key);

 protected:
  void keyReleaseEvent(QKeyEvent* event) override;
};

}  // namespace omrek
