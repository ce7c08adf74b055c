#include "widgets/FileListBox.h"

#include <QDir>
#include <QIcon>
#include <QStyledItemDelegate>

namespace omrek {

namespace {

constexpr int kFolderRole = Qt::UserRole;

class EntryHeightDelegate : public QStyledItemDelegate {
 public:
  EntryHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

}  // namespace

FileListBox::FileListBox(int entryHeight, QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformItemSizes(true);
  setItemDelegate(new EntryHeightDelegate(entryHeight, this));
  connect(this, &QListWidget::itemDoubleClicked, this, &FileListBox::OpenEntry);
}

void FileListBox::SetPath(const QString& folder) {
  path_ = QDir::cleanPath(QDir(folder).absolutePath());
  clear();
  const auto filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
  const QFileInfoList entries = QDir(path_).entryInfoList(filters, QDir::DirsFirst | QDir::Name | QDir::IgnoreCase);
  for (const QFileInfo& entry : entries) {
    auto* item = new QListWidgetItem(entry.fileName(), this);
    item->setData(kFolderRole, entry.isDir());
    item->setIcon(IconFor(entry));
  }
  scrollToTop();
}

QString FileListBox::EntryPath(int row) const {
  const QString name = item(row)->text();
  return path_.endsWith(QLatin1Char('/')) ? path_ + name : path_ + QLatin1Char('/') + name;
}

QStringList FileListBox::SelectedEntryPaths() const {
  QStringList paths;
  for (int row = 0; row < count(); ++row) {
    if (item(row)->isSelected()) paths << EntryPath(row);
  }
  return paths;
}

QIcon FileListBox::IconFor(const QFileInfo& entry) const {
  if (entry.isDir()) return icons_.icon(entry);
  // A file's icon comes from the type its name gives. Looking inside would
  // open every file of the folder just to draw it: slow in a large folder,
  // stuck on a dead network share, and a trace on files about to be shredded.
  if (entry.isFile()) {
    const QMimeType type = mimeTypes_.mimeTypeForFile(entry, QMimeDatabase::MatchExtension);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (!icon.isNull()) return icon;
  }
  return icons_.icon(QFileIconProvider::File);
}

void FileListBox::OpenEntry(QListWidgetItem* entry) {
  if (entry->data(kFolderRole).toBool()) SetPath(EntryPath(row(entry)));
}

}  // namespace omrek
