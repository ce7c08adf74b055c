#include "widgets/FolderTree.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "intake/ReadablePath.h"
#include "platform/Directory.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;

std::string PathOf(const QTreeWidgetItem* item) { return item->data(0, kPathRole).toByteArray().toStdString(); }

// True when `path` is `folder` or lies inside it.
bool IsWithin(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.starts_with('/');
  return path == folder || path.starts_with(folder + "/");
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
    AddFolder(new QTreeWidgetItem(this), CleanPath(root.path), root.caption)
        ->setIcon(0, icons_.icon(QFileIconProvider::Drive));
  }
}

std::string FolderTree::SelectedPath() const {
  const QTreeWidgetItem* item = currentItem();
  return item == nullptr ? std::string() : PathOf(item);
}

bool FolderTree::SelectPath(const std::string& path) {
  const std::string target = CleanPath(path);
  QTreeWidgetItem* item = RootHolding(target);
  if (item == nullptr) return false;

  const std::string below = target.substr(PathOf(item).size());
  for (std::size_t start = 0; start < below.size();) {
    std::size_t end = below.find('/', start);
    if (end == std::string::npos) end = below.size();
    const std::string name = below.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    const std::string wanted = PathInFolder(PathOf(item), name);
    FillBranch(item);
    QTreeWidgetItem* child = nullptr;
    for (int i = 0; i < item->childCount() && child == nullptr; ++i) {
      if (PathOf(item->child(i)) == wanted) child = item->child(i);
    }
    if (child == nullptr) return false;
    item = child;
  }
  for (QTreeWidgetItem* above = item->parent(); above != nullptr; above = above->parent()) above->setExpanded(true);
  setCurrentItem(item);
  scrollToItem(item);
  return true;
}

QTreeWidgetItem* FolderTree::AddFolder(QTreeWidgetItem* item, const std::string& path, const QString& caption) {
  item->setText(0, caption);
  item->setData(0, kPathRole, QByteArray::fromStdString(path));
  item->setIcon(0, icons_.icon(QFileIconProvider::Folder));
  // Whether it has sub-folders is known only once it is read.
  item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return item;
}

void FolderTree::FillBranch(QTreeWidgetItem* item) {
  if (item->data(0, kReadRole).toBool()) return;
  item->setData(0, kReadRole, true);

  const std::string path = PathOf(item);
  std::vector<std::pair<QString, std::string>> folders;
  try {
    for (const Directory::Entry& entry : Directory::Open(path).Entries()) {
      if (entry.kind == Directory::EntryKind::Folder) {
        folders.emplace_back(QString::fromStdString(ReadablePath(entry.name)), entry.name);
      }
    }
  } catch (const IoError&) {
    // Gone or unreadable: no branches.
  }
  std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
    const int order = a.first.compare(b.first, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.second < b.second;
  });
  for (const auto& [caption, name] : folders) AddFolder(new QTreeWidgetItem(item), PathInFolder(path, name), caption);
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QTreeWidgetItem* FolderTree::RootHolding(const std::string& path) const {
  QTreeWidgetItem* best = nullptr;
  int bestLength = -1;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* root = topLevelItem(i);
    const std::string rootPath = PathOf(root);
    if (IsWithin(path, rootPath) && static_cast<int>(rootPath.size()) > bestLength) {
      best = root;
      bestLength = static_cast<int>(rootPath.size());
    }
  }
  return best;
}

}  // namespace omrek
