#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>

#include "tests/support/TempDir.h"
#include "widgets/FileListBox.h"
#include "widgets/FolderTree.h"

namespace omrek {
namespace {

using test::TempDir;
using test::WriteFile;

QStringList Names(const FileListBox& list) {
  QStringList names;
  for (int row = 0; row < list.count(); ++row) names << list.item(row)->text();
  return names;
}

// A double-click as the window system delivers it: a click, then the second
// press as a double-click.
void DoubleClick(QWidget* surface, const QPoint& at) {
  QTest::mouseClick(surface, Qt::LeftButton, {}, at);
  QTest::mouseDClick(surface, Qt::LeftButton, {}, at);
}

using Paths = std::vector<std::string>;

QPoint EntryCentre(FileListBox& list, int row) { return list.visualItemRect(list.item(row)).center(); }

// A folder with sub-folders, files of mixed case, hidden entries and the
// special kinds Linux has.
class Browse : public ::testing::Test {
 protected:
  Browse() : base_(dir_.Path()) {
    for (const char* folder : {"Zeta", "alpha", ".git", "alpha/inner"}) ::mkdir(dir_.File(folder).c_str(), 0755);
    for (const char* file : {"b.txt", "A.txt", ".hidden", "c", "alpha/deep.txt"}) WriteFile(dir_.File(file), "x");
    ::mkfifo(dir_.File("pipe").c_str(), 0644);
    ::symlink("gone", dir_.File("link").c_str());
  }

  TempDir dir_;
  std::string base_;
};

TEST_F(Browse, ListShowsSubFoldersThenFilesInCaseInsensitiveOrder) {
  FileListBox list(18);
  list.resize(257, 400);
  list.show();
  list.SetPath(base_ + "/alpha/../");

  EXPECT_EQ(list.Path(), base_);
  EXPECT_EQ(Names(list), QStringList({".git", "alpha", "Zeta", ".hidden", "A.txt", "b.txt", "c", "link", "pipe"}))
      << "a pipe and a dangling link are listed, never opened";
  EXPECT_EQ(list.visualItemRect(list.item(0)).height(), 18);
  EXPECT_EQ(list.EntryPath(4), base_ + "/A.txt");

  list.SetPath(base_ + "/gone");
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.Path(), base_ + "/gone");

  list.SetPath("/");
  ASSERT_GT(list.count(), 0);
  EXPECT_EQ(list.Path(), "/");
  EXPECT_EQ(list.EntryPath(0), "/" + list.item(0)->text().toStdString()) << "one separator at the root too";
}

TEST_F(Browse, CtrlAndShiftSelectAndTheSelectionComesInListOrder) {
  FileListBox list(18);
  list.resize(257, 400);
  list.show();
  list.SetPath(base_);
  QWidget* surface = list.viewport();

  QTest::mouseClick(surface, Qt::LeftButton, {}, EntryCentre(list, 6));
  QTest::mouseClick(surface, Qt::LeftButton, Qt::ControlModifier, EntryCentre(list, 1));
  QTest::mouseClick(surface, Qt::LeftButton, Qt::ControlModifier, EntryCentre(list, 4));
  EXPECT_EQ(list.SelectedEntryPaths(), Paths({base_ + "/alpha", base_ + "/A.txt", base_ + "/c"}));

  QTest::mouseClick(surface, Qt::LeftButton, Qt::ControlModifier, EntryCentre(list, 4));
  EXPECT_EQ(list.SelectedEntryPaths(), Paths({base_ + "/alpha", base_ + "/c"})) << "Ctrl-click deselects";

  QTest::mouseClick(surface, Qt::LeftButton, {}, EntryCentre(list, 3));
  QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, EntryCentre(list, 5));
  EXPECT_EQ(list.SelectedEntryPaths(), Paths({base_ + "/.hidden", base_ + "/A.txt", base_ + "/b.txt"}));
}

TEST_F(Browse, DoubleClickOpensASubFolderButNotAFile) {
  FileListBox list(18);
  list.resize(257, 400);
  list.show();
  list.SetPath(base_);

  DoubleClick(list.viewport(), EntryCentre(list, 4));
  EXPECT_EQ(list.Path(), base_) << "a file";

  DoubleClick(list.viewport(), EntryCentre(list, 1));
  EXPECT_EQ(list.Path(), base_ + "/alpha");
  EXPECT_EQ(Names(list), QStringList({"inner", "deep.txt"}));
  EXPECT_TRUE(list.SelectedEntryPaths().empty());
}

TEST_F(Browse, TreeOpensBranchesDownToAFolderUnderItsDeepestRoot) {
  FolderTree tree;
  tree.resize(338, 400);
  tree.show();
  QSignalSpy changes(&tree, &FolderTree::selectedFolderChanged);
  tree.SetRoots({{"/", "/ (C:)"}, {base_, "test (D:)"}});
  EXPECT_EQ(tree.topLevelItemCount(), 2);
  EXPECT_TRUE(tree.SelectedPath().empty());

  ASSERT_TRUE(tree.SelectPath(base_ + "/alpha/inner/"));
  EXPECT_EQ(tree.SelectedPath(), base_ + "/alpha/inner");
  EXPECT_EQ(changes.count(), 1);
  QTreeWidgetItem* item = tree.currentItem();
  EXPECT_EQ(item->text(0), "inner");
  EXPECT_EQ(item->parent()->parent()->text(0), "test (D:)");
  EXPECT_TRUE(item->parent()->isExpanded());

  QTreeWidgetItem* root = tree.topLevelItem(1);
  QStringList branches;
  for (int i = 0; i < root->childCount(); ++i) branches << root->child(i)->text(0);
  EXPECT_EQ(branches, QStringList({".git", "alpha", "Zeta"})) << "folders only, hidden ones included";

  EXPECT_FALSE(tree.SelectPath(base_ + "/b.txt"));
  EXPECT_FALSE(tree.SelectPath(base_ + "/gone"));
  EXPECT_EQ(tree.SelectedPath(), base_ + "/alpha/inner");

  ASSERT_TRUE(tree.SelectPath("/"));
  EXPECT_EQ(tree.SelectedPath(), "/");
  EXPECT_EQ(changes.count(), 2);
}

}  // namespace
}  // namespace omrek
