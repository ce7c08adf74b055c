#pragma once

#include <QAccessibleWidget>
#include <QMetaObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <map>
#include <utility>
#include <vector>

class QTreeWidget;

namespace omrek {

// A flat report list (a tree widget whose rows have no children) told as
// the table it looks like: rows of cells under column headers, each cell
// with its text and whether its row is selected. Children are numbered as
// the item view numbers them in its events: the column headers first.
class ReportTableAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit ReportTableAccessible(QTreeWidget* list);
  ~ReportTableAccessible() override;

  void* interface_cast(QAccessible::InterfaceType type) override;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override;
  int columnCount() const override;
  int rowCount() const override;
  QString columnDescription(int column) const override;
  QString rowDescription(int) const override { return {}; }
  int selectedCellCount() const override;
  QList<QAccessibleInterface*> selectedCells() const override;
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override;
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override;
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override;
  bool selectRow(int row) override;
  bool selectColumn(int) override { return false; }
  bool unselectRow(int row) override;
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override { ForgetCells(); }

 private:
  QTreeWidget& List() const;
  QAccessibleInterface* HeaderCell(int column) const;
  // Cells are made when first asked for and forgotten whenever the rows
  // change, since their places do.
  void ForgetCells() const;

  mutable std::map<std::pair<int, int>, QAccessible::Id> cells_;
  std::vector<QMetaObject::Connection> watching_;
};

}  // namespace omrek
