#include "widgets/FolderTree.h"

#include <QDir>

namespace omrek {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

// True when `path` is `folder` or lies inside it.
bool IsWithin(const QString& path, const QString& folder) {
  if (folder == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
  return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

}  // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);

  // The folder the file list shows must stay marked while the user works in
  // that list.
  QPalette colours = palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  }
  setPalette(colours);

  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { FillBranch(item); });
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
    if (current != nullptr) emit selectedFolderChanged();
  });
}

void FolderTree::SetRoots(const QList<Root>& roots) {
  clear();
  for (const Root& root : roots) {
    AddFolder(new QTreeWidgetItem(this), CleanAbsolute(root.path), root.caption)
        ->setIcon(0, icons_.icon(QFileIconProvider::Drive));
  }
}

QString FolderTree::SelectedPath() const {
  const QTreeWidgetItem* item = currentItem();
  return item == nullptr ? QString() : item->data(0, kPathRole).toString();
}

bool FolderTree::SelectPath(const QString& path) {
  const QString target = CleanAbsolute(path);
  QTreeWidgetItem* item = RootHolding(target);
  if (item == nullptr) return false;

  const QString rootPath = item->data(0, kPathRole).toString();
  const QStringList names = target.mid(rootPath.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& name : names) {
    FillBranch(item);
    QTreeWidgetItem* child = nullptr;
    for (int i = 0; i < item->childCount() && child == nullptr; ++i) {
      if (item->child(i)->text(0) == name) child = item->child(i);
    }
    if (child == nullptr) return false;
    item = child;
  }
  for (QTreeWidgetItem* above = item->parent(); above != nullptr; above = above->parent()) above->setExpanded(true);
  setCurrentItem(item);
  scrollToItem(item);
  return true;
}

QTreeWidgetItem* FolderTree::AddFolder(QTreeWidgetItem* item, const QString& path, const QString& caption) {
  item->setText(0, caption);
  item->setData(0, kPathRole, path);
  item->setIcon(0, icons_.icon(QFileIconProvider::Folder));
  // Whether it has sub-folders is known only once it is read.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void FolderTree::FillBranch(QTreeWidgetItem* item) {
  if (item->data(0, kReadRole).toBool()) return;
  item->setData(0, kReadRole, true);

  const QString path = item->data(0, kPathRole).toString();
  const QDir folder(path);
  const auto filters = QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot;
  for (const QString& name : folder.entryList(filters, QDir::Name | QDir::IgnoreCase)) {
    const QString childPath = path.endsWith(QLatin1Char('/')) ? path + name : path + QLatin1Char('/') + name;
    AddFolder(new QTreeWidgetItem(item), childPath, name);
  }
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* FolderTree::RootHolding(const QString& path) const {
  QTreeWidgetItem* best = nullptr;
  int bestLength = -1;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = topLevelItem(i);
    const QString rootPath = root->data(0, kPathRole).toString();
    if (IsWithin(path, rootPath) && rootPath.size() > bestLength) {
      best = root;
      bestLength = rootPath.size();
    }
  }
  return best;
}

}  // namespace omrek
