#pragma once

#include <QFileIconProvider>
#include <QList>
#include <QTreeWidget>
#include <string>

namespace omrek {

// A tree of folders under a few roots. Branches are read from the disk when
// they are first opened, so a large disk costs nothing until it is browsed.
// Paths are bytes; every folder shows, in its readable form (see
// ReadablePath), whatever its name's bytes. Links are not followed. The
// selected folder stays highlighted while another control has the focus.
class FolderTree : public QTreeWidget {
  Q_OBJECT

 public:
  struct Root {
    std::string path;
    QString caption;
  };

  explicit FolderTree(QWidget* parent = nullptr);

  // Replaces the top level of the tree with these roots, in this order.
  void SetRoots(const QList<Root>& roots);

  // The selected folder's path, without a trailing '/' except for "/"
  // itself; empty while nothing is selected.
  std::string SelectedPath() const;

  // Opens the branches down to `path` and selects it, under the deepest root
  // that holds it. False, and the selection unchanged, when the folder is
  // not in the tree.
  bool SelectPath(const std::string& path);

 signals:
  void selectedFolderChanged();

 private:
  QTreeWidgetItem* AddFolder(QTreeWidgetItem* item, const std::string& path, const QString& caption);
  void FillBranch(QTreeWidgetItem* item);
  QTreeWidgetItem* RootHolding(const std::string& path) const;

  QFileIconProvider icons_;
};

}  // namespace omrek
