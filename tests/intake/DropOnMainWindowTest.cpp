#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "tests/intake/SyntheticDrag.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/TempDir.h"
#include "widgets/ErrorBox.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::DraggedFiles;
using test::DraggedText;
using test::SyntheticDrag;
using test::TempDir;
using test::WriteFile;

QStringList Rows(const TargetListView& list) {
  QStringList rows;
  for (int row = 0; row < list.RowCount(); ++row) {
    rows << QString::fromStdString(list.RowFile(row).path) + " " + list.RowStateText(row);
  }
  return rows;
}

// Drops `data` onto lstView the way the window system delivers a drag.
Qt::DropAction DropOnList(TfrmMain& main, const QMimeData& data, Qt::DropActions allowed,
                          Qt::KeyboardModifiers keys = Qt::NoModifier) {
  SyntheticDrag drag(Child<TargetListView>(main, "lstView").viewport(), data, allowed);
  if (drag.Enter({50, 50}, keys) == Qt::IgnoreAction) {
    drag.Leave();
    return Qt::IgnoreAction;
  }
  return drag.Drop({60, 60}, keys);
}

class DropOnMainWindow : public ::testing::Test {
 protected:
  DropOnMainWindow() { program_.Start(); }

  TargetListView& List() const { return Child<TargetListView>(main_, "lstView"); }

  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
};

TEST_F(DropOnMainWindow, BoundToTheListForCopiesOnly) {
  EXPECT_EQ(main_.DropFileTarget1.BoundControl(), &List());
  EXPECT_EQ(main_.DropFileTarget1.Dragtypes, TDragTypes(dtCopy));
  EXPECT_TRUE(List().viewport()->acceptDrops());
}

TEST_F(DropOnMainWindow, DroppedNamesBecomeRowsWithoutStatusChange) {
  TempDir dir;
  const QString one = QString::fromStdString(WriteFile(dir.File("one"), "x"));
  const QString two = QString::fromStdString(WriteFile(dir.File("two"), std::string(2048, 'x')));
  const QString three = QString::fromStdString(WriteFile(dir.File("three"), std::string(5000, 'x')));
  const QString folder = QString::fromStdString(dir.Path());
  const QString gone = QString::fromStdString(dir.File("gone"));
  main_.SetStatus("busy", "a", "b");

  auto files = DraggedFiles({one, two, three, folder, one, gone});
  EXPECT_EQ(DropOnList(main_, *files, Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier | Qt::ControlModifier),
            Qt::CopyAction);
  EXPECT_EQ(Rows(List()),
            QStringList({one + " 1", two + " 2", three + " 5", folder + " folder", one + " 1", gone + " folder"}));
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "busy");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus3").text(), "b");
  EXPECT_TRUE(main_.DropFileTarget1.FileNames().isEmpty());

  auto text = DraggedText(one);
  EXPECT_EQ(DropOnList(main_, *text, Qt::CopyAction), Qt::IgnoreAction);
  auto moveOnly = DraggedFiles({one});
  EXPECT_EQ(DropOnList(main_, *moveOnly, Qt::MoveAction), Qt::IgnoreAction);
  EXPECT_EQ(List().RowCount(), 6);
}

// Root reads every file, so the unreadable file is dropped in a child that
// runs as nobody; this is the parent half.
TEST(DropOnMainWindowUnreadable, EndsTheDropAndShowsTheErrorAfterIt) {
  TempDir dir;
  const std::string readable = WriteFile(dir.File("readable"), "x");
  const std::string locked = WriteFile(dir.File("locked"), "secret");
  ::chmod(locked.c_str(), 0000);
  const std::string later = WriteFile(dir.File("later"), "x");

  EXPECT_EQ(test::RunTestCaseAsNobody("DropOnMainWindowChild.DropWithUnreadableFile",
                                      {{"READABLE", readable}, {"LOCKED", locked}, {"LATER", later}}),
            0);
}

TEST(DropOnMainWindowChild, DropWithUnreadableFile) {
  const QString readable = QString::fromStdString(test::ChildArgument("READABLE"));
  const QString locked = QString::fromStdString(test::ChildArgument("LOCKED"));
  const QString later = QString::fromStdString(test::ChildArgument("LATER"));
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  test::ModalBoxCatcher catcher;

  auto files = DraggedFiles({readable, locked, later});
  DropOnList(main, *files, Qt::CopyAction);
  EXPECT_TRUE(catcher.Boxes().empty()) << "nothing is shown while the drop runs";
  EXPECT_TRUE(main.DropFileTarget1.FileNames().isEmpty());
  EXPECT_EQ(main.DropFileTarget1.DataObject(), nullptr);
  EXPECT_EQ(Rows(Child<TargetListView>(main, "lstView")), QStringList({readable + " 1", locked + " "}))
      << "the drop ends at the failed file";

  ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Boxes().empty(); }));
  EXPECT_EQ(catcher.Boxes()[0].text, "File access denied.");
}

// File managers send a name that is not UTF-8 percent-encoded; its UTF-8
// look-alike beside it must survive the dropped file's destruction.
TEST_F(DropOnMainWindow, ANameThatIsNotUtf8IsTheFileDroppedAndDestroyed) {
  TempDir dir;
  const std::string dropped = WriteFile(dir.File("bad\xFFname"), "dropped");
  const std::string neighbour = WriteFile(dir.File("bad\xEF\xBF\xBDname"), "neighbour");
  QMimeData data;
  data.setData("text/uri-list", QByteArray::fromStdString("file://" + dir.Path() + "/bad%FFname\r\n"));

  EXPECT_EQ(DropOnList(main_, data, Qt::CopyAction), Qt::CopyAction);
  ASSERT_EQ(List().RowCount(), 1);
  EXPECT_EQ(List().RowFile(0).path, dropped);
  EXPECT_EQ(List().topLevelItem(0)->text(0), QString::fromStdString(dir.Path()) + "/bad\\xFFname");

  test::ClickDestroy(main_);
  EXPECT_EQ(List().RowCount(), 0);
  struct stat st {};
  EXPECT_NE(::lstat(dropped.c_str(), &st), 0);
  EXPECT_EQ(test::ReadWholeFile(neighbour), "neighbour");
}

// A NUL byte ends every look-up of a path early, so a name holding one
// would be shown as itself while its row sized and destroyed the file named
// by the bytes before it. It is refused wherever a name enters the list.
TEST_F(DropOnMainWindow, ANameHoldingANulByteIsRefusedWhereverItEnters) {
  TempDir dir;
  const std::string important = WriteFile(dir.File("important"), "important");
  const QString refusal =
      QString::fromStdString("Refused " + important + "\\x00.bak: a file name cannot hold a NUL byte.");
  test::ModalBoxCatcher catcher;

  QMimeData data;
  data.setData("text/uri-list", QByteArray::fromStdString("file://" + important + "%00.bak\r\n"));
  EXPECT_EQ(DropOnList(main_, data, Qt::CopyAction), Qt::IgnoreAction);
  EXPECT_TRUE(catcher.Boxes().empty()) << "nothing is shown while the drop runs";
  ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.Boxes().empty(); }));
  EXPECT_EQ(catcher.Boxes()[0].text, refusal);
  EXPECT_EQ(List().RowCount(), 0);

  // The selection dialog and the program's arguments add by this route.
  RunGuarded([&] { main_.AddTarget(important + std::string(1, '\0') + ".bak"); });
  ASSERT_EQ(catcher.Boxes().size(), 2u);
  EXPECT_EQ(catcher.Boxes()[1].text, refusal);
  EXPECT_EQ(List().RowCount(), 0);

  // An edited caption: the row keeps its file and its caption.
  main_.AddTarget(important);
  List().editItem(List().topLevelItem(0), TargetListView::kCaptionColumn);
  auto* editor = List().findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText(QString::fromStdString(important) + "\\x00.bak");
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return catcher.Boxes().size() == 3; }));
  EXPECT_EQ(catcher.Boxes()[2].text, refusal);
  ASSERT_EQ(List().RowCount(), 1);
  EXPECT_EQ(List().RowFile(0).path, important);
  EXPECT_EQ(List().topLevelItem(0)->text(TargetListView::kCaptionColumn), QString::fromStdString(important));
  EXPECT_EQ(test::ReadWholeFile(important), "important");
}

}  // namespace
}  // namespace omrek
