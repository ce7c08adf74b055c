#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFrame>
#include <QLabel>
#include <QTest>

#include "app/OmrekProgram.h"
#include "intake/ui/FileSelect.h"
#include "intake/ui/TargetListView.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/TempDir.h"
#include "widgets/FileListBox.h"
#include "widgets/FlatButton.h"
#include "widgets/FolderTree.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::LoopImage;
using test::TempDir;
using test::WriteFile;

QString Q(const std::string& text) { return QString::fromStdString(text); }
QStringList Q(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << Q(text);
  return list;
}

// A double-click as the window system delivers it: a click, then the second
// press as a double-click.
void DoubleClick(QWidget* surface, const QPoint& at) {
  QTest::mouseClick(surface, Qt::LeftButton, {}, at);
  QTest::mouseDClick(surface, Qt::LeftButton, {}, at);
}

// Ctrl-clicks the named entries of the dialog's list, in the order given.
void CtrlClickEntries(TfrmSelect& dialog, const QStringList& names) {
  FileListBox& list = *dialog.FileList;
  for (const QString& name : names) {
    const QList<QListWidgetItem*> found = list.findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    list.scrollToItem(found[0]);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, list.visualItemRect(found[0]).center());
  }
}

// Browses to the folder the way a user does: through the tree.
void OpenFolder(TfrmSelect& dialog, const QString& folder) {
  ASSERT_TRUE(dialog.DirTree->SelectPath(folder.toStdString()));
  ASSERT_EQ(Q(dialog.FileList->Path()), folder);
}

// The whole program, with the dialog opened by "Select Files" on a folder
// of the test's own.
class FileSelect : public ::testing::Test {
 protected:
  FileSelect() : folder_(Q(dir_.Path())) {
    ::mkdir(dir_.File("sub").c_str(), 0755);
    WriteFile(dir_.File("a.txt"), "x");
    WriteFile(dir_.File("B.dat"), std::string(1025, 'x'));
    WriteFile(dir_.File("c.bin"), std::string(3000, 'x'));
    WriteFile(dir_.File("zz"), "not selected");
    program_.Start();
    Click(main_, "btnSelectFiles");
  }

  TargetListView& List() const { return Child<TargetListView>(main_, "lstView"); }
  QStringList Captions() const {
    QStringList captions;
    for (int row = 0; row < List().RowCount(); ++row) captions << Q(List().RowFile(row).path);
    return captions;
  }
  QStringList States() const {
    QStringList states;
    for (int row = 0; row < List().RowCount(); ++row) states << List().RowStateText(row);
    return states;
  }

  TempDir dir_;
  QString folder_;
  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
  TfrmSelect& dialog_ = program_.Select();
};

TEST_F(FileSelect, WindowPanelAndBrowserHaveTheirPlaces) {
  ASSERT_TRUE(dialog_.isVisible());
  EXPECT_EQ(dialog_.windowTitle(), "Select Files to Destroy");
  EXPECT_EQ(dialog_.pos(), QPoint(370, 350));
  EXPECT_EQ(dialog_.size(), QSize(604, 441)) << "612 x 468 with its frame";
  EXPECT_EQ(dialog_.font().pixelSize(), 11);

  EXPECT_EQ(dialog_.pnlTop->geometry(), QRect(0, 0, 604, 57));
  EXPECT_EQ(dialog_.Label1->parentWidget(), dialog_.pnlTop);
  EXPECT_EQ(dialog_.Label1->geometry(), QRect(8, 5, 329, 39));
  EXPECT_EQ(dialog_.Label1->text(),
            "Navigate your drives and folders on the left, and click on the\n"
            "files to the right to select. Hold the CTRL key down while\n"
            "clicking for multiple selections. SHIFT key for entire ranges.");

  const std::vector<std::tuple<FlatButton*, const char*, QRect, QString>> buttons{
      {dialog_.btnAdd, "btnAdd", {360, 16, 129, 22}, "Add Selected Files"},
      {dialog_.btnExit, "btnExit", {504, 16, 86, 22}, "Close"}};
  for (const auto& [button, name, geometry, caption] : buttons) {
    EXPECT_EQ(button->objectName(), name);
    EXPECT_EQ(button->parentWidget(), dialog_.pnlTop);
    EXPECT_EQ(button->geometry(), geometry) << name;
    EXPECT_EQ(button->text(), caption);
    EXPECT_EQ(button->font().family(), "Arial");
    EXPECT_EQ(button->font().pixelSize(), 11);
    EXPECT_EQ(button->colours().hover, QColor(216, 190, 10));
    EXPECT_EQ(button->colours().pressed, QColor(216, 190, 10));
    EXPECT_EQ(button->colours().border, QColor(153, 143, 130));
    EXPECT_EQ(button->colours().text, QColor(Qt::black));
  }

  EXPECT_EQ(dialog_.DirTree->geometry(), QRect(0, 57, 338, 384));
  EXPECT_EQ(dialog_.DirTree->indentation(), 19);
  EXPECT_EQ(dialog_.DrawEdge1->geometry(), QRect(338, 57, 9, 384));
  EXPECT_EQ(dialog_.FileList->geometry(), QRect(347, 57, 257, 384));
  EXPECT_EQ(dialog_.FileList->selectionMode(), QAbstractItemView::ExtendedSelection);

  dialog_.resize(800, 500);
  QApplication::sendPostedEvents();
  EXPECT_EQ(dialog_.FileList->geometry(), QRect(543, 57, 257, 443)) << "the list keeps to the right edge";
  EXPECT_EQ(dialog_.DirTree->width(), 534) << "the tree takes the rest";
}

TEST_F(FileSelect, TreeHasTheLetteredDrivesAndStartsAtHome) {
  QTreeWidgetItem* first = dialog_.DirTree->topLevelItem(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->text(0), "/ (C:)");
  EXPECT_EQ(Q(dialog_.DirTree->SelectedPath()), QDir::homePath());
  EXPECT_EQ(Q(dialog_.FileList->Path()), QDir::homePath());
}

TEST(FileSelectDrives, AMountedFileSystemIsARootOfTheTree) {
  LoopImage image(16, 4096, "pickme");
  OMREK_REQUIRE_MOUNTED(image);
  WriteFile(image.File("secret.doc"), "x");
  TfrmSelect dialog([](const std::string&) {});

  QTreeWidgetItem* root = nullptr;
  for (int i = 0; i < dialog.DirTree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = dialog.DirTree->topLevelItem(i);
    if (item->text(0).startsWith("pickme (")) root = item;
  }
  ASSERT_NE(root, nullptr) << "the image's drive";
  dialog.DirTree->setCurrentItem(root);
  EXPECT_EQ(dialog.FileList->Path(), image.MountPoint());
  EXPECT_EQ(dialog.FileList->item(1)->text(), "secret.doc");
}

TEST_F(FileSelect, AddsTheSelectedEntriesInListOrderAsOftenAsAsked) {
  OpenFolder(dialog_, folder_);
  main_.SetStatus("busy", "x", "y");
  CtrlClickEntries(dialog_, {"c.bin", "sub", "a.txt", "B.dat"});

  QTest::mouseClick(dialog_.btnAdd, Qt::LeftButton);
  const QStringList once{folder_ + "/sub", folder_ + "/a.txt", folder_ + "/B.dat", folder_ + "/c.bin"};
  EXPECT_EQ(Captions(), once);
  EXPECT_EQ(States(), QStringList({"folder", "1", "2", "3"}));
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "READY");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus2").text(), "");
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(dialog_.FileList->selectedItems().size(), 4) << "the selection stays";

  QTest::mouseClick(dialog_.btnAdd, Qt::LeftButton);
  EXPECT_EQ(Captions(), once + once) << "no check for rows already listed";
}

TEST_F(FileSelect, NothingSelectedAddsNothingAndLeavesTheStatus) {
  OpenFolder(dialog_, folder_);
  main_.SetStatus("busy", "x", "y");
  QTest::mouseClick(dialog_.btnAdd, Qt::LeftButton);
  EXPECT_EQ(List().RowCount(), 0);
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "busy");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus3").text(), "y");
}

TEST_F(FileSelect, AtTheRootOnlyOneSlashGoesBeforeTheName) {
  // The offer of the folder's files is declined.
  test::ModalBoxCatcher boxes;
  OpenFolder(dialog_, "/");
  CtrlClickEntries(dialog_, {"tmp"});
  QTest::mouseClick(dialog_.btnAdd, Qt::LeftButton);
  EXPECT_EQ(Captions(), QStringList({"/tmp"}));
  EXPECT_EQ(States(), QStringList({"folder"}));
}

TEST_F(FileSelect, ClosingAndReopeningKeepsTheFolderAndTheSelection) {
  ::mkdir(dir_.File("sub/inner").c_str(), 0755);
  WriteFile(dir_.File("sub/one"), "1");
  WriteFile(dir_.File("sub/two"), "2");
  OpenFolder(dialog_, folder_);
  FileListBox& list = *dialog_.FileList;
  DoubleClick(list.viewport(), list.visualItemRect(list.findItems("sub", {})[0]).center());
  ASSERT_EQ(Q(list.Path()), folder_ + "/sub");
  CtrlClickEntries(dialog_, {"two", "inner"});

  QTest::mouseClick(dialog_.btnExit, Qt::LeftButton);
  EXPECT_FALSE(dialog_.isVisible());
  Click(main_, "btnSelectFiles");
  ASSERT_TRUE(dialog_.isVisible());
  EXPECT_EQ(Q(dialog_.DirTree->SelectedPath()), folder_);
  EXPECT_EQ(Q(list.Path()), folder_ + "/sub");
  EXPECT_EQ(Q(list.SelectedEntryPaths()), QStringList({folder_ + "/sub/inner", folder_ + "/sub/two"}));

  dialog_.close();
  EXPECT_FALSE(dialog_.isVisible()) << "the close box hides it too";
  Click(main_, "btnSelectFiles");
  EXPECT_EQ(Q(list.SelectedEntryPaths()), QStringList({folder_ + "/sub/inner", folder_ + "/sub/two"}));
}

TEST_F(FileSelect, ANameThatIsNotUtf8IsListedApartFromItsLookAlikeAndDestroyedAlone) {
  const std::string chosen = WriteFile(dir_.File("bad\xFFname"), "chosen");
  const std::string neighbour = WriteFile(dir_.File("bad\xEF\xBF\xBDname"), "neighbour");
  OpenFolder(dialog_, folder_);
  CtrlClickEntries(dialog_, {"bad\\xFFname"});
  ASSERT_EQ(dialog_.FileList->findItems(QString::fromUtf8("bad\uFFFDname"), Qt::MatchExactly).size(), 1);

  QTest::mouseClick(dialog_.btnAdd, Qt::LeftButton);
  ASSERT_EQ(List().RowCount(), 1);
  EXPECT_EQ(List().RowFile(0).path, chosen);
  EXPECT_EQ(States(), QStringList({"1"})) << "a file, not a folder";
  test::ClickDestroy(main_);
  EXPECT_EQ(List().RowCount(), 0);
  EXPECT_EQ(Captions(), QStringList());
  EXPECT_EQ(test::ReadWholeFile(neighbour), "neighbour");
  struct stat st {};
  EXPECT_NE(::lstat(chosen.c_str(), &st), 0);
}

// Each add lets the user act; a folder opened in between must not slip its
// entries into the batch that was selected at the click.
TEST(FileSelectBatch, IsTheSelectionAtTheClick) {
  TempDir first;
  TempDir second;
  for (const char* name : {"1", "2", "3"}) {
    WriteFile(first.File(name), "x");
    WriteFile(second.File(name), "y");
  }
  QStringList added;
  TfrmSelect* dialog = nullptr;
  TfrmSelect select([&](const std::string& path) {
    added << Q(path);
    dialog->FileList->SetPath(second.Path());
    dialog->FileList->selectAll();
  });
  dialog = &select;
  select.show();
  OpenFolder(select, Q(first.Path()));
  CtrlClickEntries(select, {"1", "3"});

  QTest::mouseClick(select.btnAdd, Qt::LeftButton);
  EXPECT_EQ(added, QStringList({Q(first.File("1")), Q(first.File("3"))}));
}

// Root reads every file, so the add runs in a child as nobody; this is the
// parent half.
TEST(FileSelectUnreadable, EndsTheAddWithTheErrorBoxAndKeepsEarlierRows) {
  TempDir dir;
  WriteFile(dir.File("a"), "x");
  ::chmod(WriteFile(dir.File("b"), "secret").c_str(), 0000);
  WriteFile(dir.File("c"), "x");
  EXPECT_EQ(test::RunTestCaseAsNobody("FileSelectChild.AddWithUnreadableFile", {{"FOLDER", dir.Path()}}), 0);
}

TEST(FileSelectChild, AddWithUnreadableFile) {
  const QString folder = Q(test::ChildArgument("FOLDER"));
  OmrekProgram program;
  program.Start();
  TfrmSelect& dialog = program.Select();
  Click(program.Main(), "btnSelectFiles");
  OpenFolder(dialog, folder);
  CtrlClickEntries(dialog, {"a", "b", "c"});
  test::ModalBoxCatcher catcher;

  QTest::mouseClick(dialog.btnAdd, Qt::LeftButton);

  ASSERT_EQ(catcher.Boxes().size(), 1u);
  EXPECT_EQ(catcher.Boxes()[0].title, "Omrek, Filebane");
  EXPECT_EQ(catcher.Boxes()[0].text, "File access denied.");
  const TargetListView& list = Child<TargetListView>(program.Main(), "lstView");
  ASSERT_EQ(list.RowCount(), 2) << "the add ends at the unreadable file";
  EXPECT_EQ(list.RowStateText(0), "1");
  EXPECT_EQ(Q(list.RowFile(1).path), folder + "/b");
  EXPECT_EQ(list.RowStateText(1), "") << "no size text";
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace omrek
