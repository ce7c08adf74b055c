#include "intake/ui/TargetListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPersistentModelIndex>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>

#include "intake/ReadablePath.h"
#include "intake/TargetFile.h"
#include "intake/ui/FolderOffer.h"
#include "widgets/ErrorBox.h"

Q_DECLARE_METATYPE(omrek::ListedFile)

namespace omrek {

namespace {

constexpr int kCaptionWidth = 445;
constexpr int kStateWidth = 99;
constexpr int kMinimumColumnWidth = 5;
constexpr auto kRightAligned = Qt::AlignRight | Qt::AlignVCenter;

// Only the caption is editable; the state column belongs to the commands.
class ReadOnlyColumnDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }
};

// The caption's editor takes typing only: a file dropped on it would
// replace the row's path while its size column still told of the old file.
class CaptionDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor != nullptr) editor->setAcceptDrops(false);
    return editor;
  }
};

constexpr int kListedFileRole = Qt::UserRole;

QString CaptionOf(const std::string& path) { return QString::fromStdString(ReadablePath(path)); }

ListedFile ListedFileOf(const QTreeWidgetItem* row) {
  return row->data(TargetListView::kCaptionColumn, kListedFileRole).value<ListedFile>();
}

// The model keeps a persistent index on its row however rows move, and
// invalidates it when the row is removed.
class PersistentRowHandle : public TargetRows::RowHandle {
 public:
  explicit PersistentRowHandle(const QModelIndex& index) : index_(index) {}
  int Index() const override { return index_.isValid() ? index_.row() : -1; }

 private:
  QPersistentModelIndex index_;
};

}  // namespace

TargetListView::TargetListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(2);
  setHeaderLabels({QStringLiteral("Filename"), QStringLiteral("Size (kb)")});
  headerItem()->setTextAlignment(kStateColumn, kRightAligned);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setItemDelegateForColumn(kCaptionColumn, new CaptionDelegate(this));
  setItemDelegateForColumn(kStateColumn, new ReadOnlyColumnDelegate(this));

  QHeaderView* columns = header();
  columns->setSectionsClickable(false);
  columns->setSectionsMovable(false);
  columns->setMinimumSectionSize(kMinimumColumnWidth);
  columns->setStretchLastSection(true);
  columns->resizeSection(kCaptionColumn, kCaptionWidth);
  columns->resizeSection(kStateColumn, kStateWidth);

  connect(this, &QTreeWidget::itemChanged, this, &TargetListView::CaptionEdited);
  new FolderOffer(*this);
}

QTreeWidgetItem* TargetListView::NewRow(const ListedFile& listed) {
  auto* row = new QTreeWidgetItem;
  row->setFlags(row->flags() | Qt::ItemIsEditable);
  row->setData(kCaptionColumn, kListedFileRole, QVariant::fromValue(listed));
  row->setText(kCaptionColumn, CaptionOf(listed.path));
  row->setTextAlignment(kStateColumn, kRightAligned);
  return row;
}

void TargetListView::AppendTarget(const std::string& path) {
  const ListedFile listed = ListFile(path);
  auto* row = NewRow(listed);
  addTopLevelItem(row);
  const auto file = ReachListedFile(listed);
  const std::string state = file ? SizeToKbText(FileSizeOf(*file)) : "folder";
  row->setText(kStateColumn, QString::fromStdString(state));
  if (!file && listed.identity) emit folderAppended(QPersistentModelIndex(indexFromItem(row)));
}

void TargetListView::ReplaceRow(int row, const std::vector<FoundFile>& files) {
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(files.size()));
  for (const FoundFile& found : files) {
    rows.append(NewRow(found.file));
    rows.back()->setText(kStateColumn, QString::fromStdString(SizeToKbText(found.size)));
  }
  delete takeTopLevelItem(row);
  insertTopLevelItems(row, rows);
}

void TargetListView::CaptionEdited(QTreeWidgetItem* row, int column) {
  if (column != kCaptionColumn) return;
  const QString caption = row->text(kCaptionColumn);
  if (caption == CaptionOf(ListedFileOf(row).path)) return;
  const std::string path = PathFromReadable(caption.toStdString());
  const QSignalBlocker settling(this);
  try {
    row->setData(kCaptionColumn, kListedFileRole, QVariant::fromValue(ListFile(path)));
  } catch (const NameWithNul& refused) {
    // The row keeps the file it had. The editor is still closing: the
    // reason is shown once it has.
    row->setText(kCaptionColumn, CaptionOf(ListedFileOf(row).path));
    const QString message = QString::fromUtf8(refused.what());
    QTimer::singleShot(0, this, [message] { ShowErrorBox(message); });
    return;
  }
  // Escapes written differently read the same from now on.
  row->setText(kCaptionColumn, CaptionOf(path));
}

void TargetListView::DeleteSelectedRows() {
  // From the last row up, so deleting never shifts a row still to be visited.
  for (int row = topLevelItemCount() - 1; row >= 0; --row) {
    if (topLevelItem(row)->isSelected()) delete takeTopLevelItem(row);
  }
}

QString TargetListView::RowStateText(int row) const { return topLevelItem(row)->text(kStateColumn); }

int TargetListView::RowCount() const { return topLevelItemCount(); }

ListedFile TargetListView::RowFile(int row) const { return ListedFileOf(topLevelItem(row)); }

void TargetListView::SetRowState(int row, const std::string& text) {
  topLevelItem(row)->setText(kStateColumn, QString::fromStdString(text));
}

void TargetListView::DeleteRow(int row) { delete takeTopLevelItem(row); }

std::unique_ptr<TargetRows::RowHandle> TargetListView::HandleOf(int row) {
  return std::make_unique<PersistentRowHandle>(indexFromItem(topLevelItem(row)));
}

void TargetListView::keyReleaseEvent(QKeyEvent* event) {
  // Holding a key repeats its release; the action happens once, when the key
  // is really let go.
  if (!event->isAutoRepeat()) emit keyReleased(event->key());
  QTreeWidget::keyReleaseEvent(event);
}

}  // namespace omrek
