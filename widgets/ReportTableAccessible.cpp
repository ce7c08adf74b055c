#include "widgets/ReportTableAccessible.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeWidget>

namespace omrek {

namespace {

// A child of the list with no children of its own and no object, whose
// text is only read.
class ReportLeaf : public QAccessibleInterface {
 public:
  explicit ReportLeaf(QTreeWidget* list) : list_(list) {}

  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ != nullptr ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  void setText(QAccessible::Text, const QString&) override {}

 protected:
  QPointer<QTreeWidget> list_;
};

// One cell: the text of one column of one row.
class ReportCell : public ReportLeaf, public QAccessibleTableCellInterface {
 public:
  ReportCell(QTreeWidget* list, const QModelIndex& index) : ReportLeaf(list), index_(index) {}

  bool isValid() const override { return list_ != nullptr && index_.isValid(); }
  QAccessible::Role role() const override { return QAccessible::Cell; }

  QString text(QAccessible::Text kind) const override {
    if (!isValid() || (kind != QAccessible::Name && kind != QAccessible::Value)) return {};
    return index_.data(Qt::DisplayRole).toString();
  }

  QRect rect() const override {
    if (!isValid()) return {};
    const QRect area = list_->visualRect(index_);
    return QRect(list_->viewport()->mapToGlobal(area.topLeft()), area.size());
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    state.selectable = true;
    state.selected = isSelected();
    state.invisible = !isValid() || !list_->viewport()->rect().intersects(list_->visualRect(index_));
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
  }

  bool isSelected() const override { return isValid() && list_->selectionModel()->isSelected(index_); }
  QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return index_.column(); }
  int rowIndex() const override { return index_.row(); }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  QPersistentModelIndex index_;
};

// One column's header, in the row the item view counts before the first
// row of items.
class ReportHeaderCell : public ReportLeaf {
 public:
  ReportHeaderCell(QTreeWidget* list, int column) : ReportLeaf(list), column_(column) {}

  bool isValid() const override { return list_ != nullptr && column_ < list_->columnCount(); }
  QAccessible::Role role() const override { return QAccessible::ColumnHeader; }

  QString text(QAccessible::Text kind) const override {
    if (!isValid() || kind != QAccessible::Name) return {};
    return list_->headerItem()->text(column_);
  }

  QRect rect() const override {
    if (!isValid()) return {};
    const QHeaderView* header = list_->header();
    const QPoint corner = header->mapToGlobal(QPoint(header->sectionViewportPosition(column_), 0));
    return QRect(corner, QSize(header->sectionSize(column_), header->height()));
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    state.invisible = !isValid() || list_->header()->isHidden();
    return state;
  }

  int Column() const { return column_; }

 private:
  int column_;
};

// The item view counts its header as row 0 of its children, whether or not
// the header shows, and names rows by that count in the focus and selection
// events it sends; the children are numbered the same way, so an event's
// child is the row it is about.
constexpr int kHeaderRows = 1;

}  // namespace

ReportTableAccessible::ReportTableAccessible(QTreeWidget* list) : QAccessibleWidget(list, QAccessible::Table) {
  QAbstractItemModel* model = list->model();
  const auto forget = [this] { ForgetCells(); };
  watching_ = {QObject::connect(model, &QAbstractItemModel::rowsInserted, list, forget),
               QObject::connect(model, &QAbstractItemModel::rowsRemoved, list, forget),
               QObject::connect(model, &QAbstractItemModel::modelReset, list, forget),
               QObject::connect(model, &QAbstractItemModel::layoutChanged, list, forget)};
}

ReportTableAccessible::~ReportTableAccessible() {
  for (const QMetaObject::Connection& connection : watching_) QObject::disconnect(connection);
  ForgetCells();
}

QTreeWidget& ReportTableAccessible::List() const { return *static_cast<QTreeWidget*>(widget()); }

void ReportTableAccessible::ForgetCells() const {
  for (const auto& [place, id] : cells_) QAccessible::deleteAccessibleInterface(id);
  cells_.clear();
}

void* ReportTableAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

int ReportTableAccessible::childCount() const { return (kHeaderRows + rowCount()) * columnCount(); }

QAccessibleInterface* ReportTableAccessible::child(int index) const {
  const int columns = columnCount();
  if (columns == 0 || index < 0) return nullptr;
  if (index < columns) return HeaderCell(index);
  return cellAt(index / columns - kHeaderRows, index % columns);
}

int ReportTableAccessible::indexOfChild(const QAccessibleInterface* child) const {
  if (child == nullptr || child->parent() != this) return -1;
  if (child->role() == QAccessible::ColumnHeader) return static_cast<const ReportHeaderCell*>(child)->Column();
  auto* cell = const_cast<QAccessibleInterface*>(child)->tableCellInterface();
  if (cell == nullptr) return -1;
  return (kHeaderRows + cell->rowIndex()) * columnCount() + cell->columnIndex();
}

QAccessibleInterface* ReportTableAccessible::childAt(int x, int y) const {
  const QModelIndex index = List().indexAt(List().viewport()->mapFromGlobal(QPoint(x, y)));
  return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
}

QAccessibleInterface* ReportTableAccessible::cellAt(int row, int column) const {
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
  const auto known = cells_.find({row, column});
  if (known != cells_.end()) return QAccessible::accessibleInterface(known->second);
  auto* cell = new ReportCell(&List(), List().model()->index(row, column));
  cells_[{row, column}] = QAccessible::registerAccessibleInterface(cell);
  return cell;
}

QAccessibleInterface* ReportTableAccessible::HeaderCell(int column) const {
  const auto known = cells_.find({-kHeaderRows, column});
  if (known != cells_.end()) return QAccessible::accessibleInterface(known->second);
  auto* header = new ReportHeaderCell(&List(), column);
  cells_[{-kHeaderRows, column}] = QAccessible::registerAccessibleInterface(header);
  return header;
}

int ReportTableAccessible::columnCount() const { return List().columnCount(); }

int ReportTableAccessible::rowCount() const { return List().topLevelItemCount(); }

QString ReportTableAccessible::columnDescription(int column) const { return List().headerItem()->text(column); }

int ReportTableAccessible::selectedCellCount() const { return selectedRowCount() * columnCount(); }

QList<QAccessibleInterface*> ReportTableAccessible::selectedCells() const {
  QList<QAccessibleInterface*> cells;
  for (const int row : selectedRows()) {
    for (int column = 0; column < columnCount(); ++column) cells << cellAt(row, column);
  }
  return cells;
}

int ReportTableAccessible::selectedRowCount() const { return static_cast<int>(selectedRows().size()); }

QList<int> ReportTableAccessible::selectedRows() const {
  QList<int> rows;
  for (const QModelIndex& index : List().selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool ReportTableAccessible::isRowSelected(int row) const { return List().selectionModel()->isRowSelected(row); }

bool ReportTableAccessible::selectRow(int row) {
  if (row < 0 || row >= rowCount()) return false;
  List().selectionModel()->select(List().model()->index(row, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  return true;
}

bool ReportTableAccessible::unselectRow(int row) {
  if (row < 0 || row >= rowCount()) return false;
  List().selectionModel()->select(List().model()->index(row, 0),
                                  QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  return true;
}

}  // namespace omrek
