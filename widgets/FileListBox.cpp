#include "widgets/FileListBox.h"

#include <QIcon>
#include <QStyledItemDelegate>
#include <algorithm>

#include "intake/ReadablePath.h"
#include "platform/Directory.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr int kFolderRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;

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

void FileListBox::SetPath(const std::string& folder) {
  path_ = CleanPath(folder);
  clear();
  std::vector<Directory::Entry> entries;
  try {
    entries = Directory::Open(path_).Entries();
  } catch (const IoError&) {
    // Gone or unreadable: an empty list says so.
  }
  struct Shown {
    QString caption;
    std::string name;
    bool folder;
  };
  std::vector<Shown> shown;
  for (Directory::Entry& entry : entries) {
    shown.push_back({QString::fromStdString(ReadablePath(entry.name)), std::move(entry.name),
                     entry.kind == Directory::EntryKind::Folder});
  }
  std::sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) {
    if (a.folder != b.folder) return a.folder;
    const int order = a.caption.compare(b.caption, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.name < b.name;
  });
  for (const Shown& entry : shown) {
    auto* item = new QListWidgetItem(entry.caption, this);
    item->setData(kNameRole, QByteArray::fromStdString(entry.name));
    item->setData(kFolderRole, entry.folder);
    item->setIcon(IconFor(entry.caption, entry.folder));
  }
  scrollToTop();
}

std::string FileListBox::EntryPath(int row) const {
  return PathInFolder(path_, item(row)->data(kNameRole).toByteArray().toStdString());
}

std::vector<std::string> FileListBox::SelectedEntryPaths() const {
  std::vector<std::string> paths;
  for (int row = 0; row < count(); ++row) {
    if (item(row)->isSelected()) paths.push_back(EntryPath(row));
  }
  return paths;
}

QIcon FileListBox::IconFor(const QString& caption, bool folder) const {
  if (folder) return icons_.icon(QFileIconProvider::Folder);
  // A file's icon comes from the type its name gives. Looking inside would
  // open every file of the folder just to draw it: slow in a large folder,
  // stuck on a dead network share, and a trace on files about to be shredded.
  const QMimeType type = mimeTypes_.mimeTypeForFile(caption, QMimeDatabase::MatchExtension);
  const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  return icon.isNull() ? icons_.icon(QFileIconProvider::File) : icon;
}

void FileListBox::OpenEntry(QListWidgetItem* entry) {
  if (entry->data(kFolderRole).toBool()) SetPath(EntryPath(row(entry)));
}

}  // namespace omrek
