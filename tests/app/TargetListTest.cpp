#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "platform/FileHandle.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/TempDir.h"
#include "widgets/ErrorBox.h"

namespace omrek {
namespace {

using test::Child;
using test::Click;
using test::LoopImage;
using test::TempDir;
using test::WriteFile;

class TargetList : public ::testing::Test {
 protected:
  TargetList() { program_.Start(); }

  TargetListView& List() const { return Child<TargetListView>(main_, "lstView"); }
  QStringList States() const {
    QStringList states;
    for (int row = 0; row < List().RowCount(); ++row) states << List().RowStateText(row);
    return states;
  }
  QStringList Captions() const {
    QStringList captions;
    for (int row = 0; row < List().RowCount(); ++row) {
      captions << QString::fromStdString(List().RowFile(row).path);
    }
    return captions;
  }

  OmrekProgram program_;
  TfrmMain& main_ = program_.Main();
};

TEST_F(TargetList, SizeColumnInKilobytesRoundedUp) {
  LoopImage image(16, 4096, "targets");
  OMREK_REQUIRE_MOUNTED(image);
  WriteFile(image.File("0"), "");
  WriteFile(image.File("1"), "x");
  WriteFile(image.File("1024"), std::string(1024, 'x'));
  WriteFile(image.File("1025"), std::string(1025, 'x'));
  FileHandle::Create(image.File("5GiB")).SetLength(5ull << 30);

  main_.SetStatus("busy", "a", "b");
  for (const char* name : {"0", "1", "1024", "1025", "5GiB"}) {
    main_.AddTarget(image.File(name));
  }
  EXPECT_EQ(States(), QStringList({"0", "1", "1", "2", "5242880"}));
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus").text(), "READY");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus2").text(), "");
  EXPECT_EQ(Child<QLabel>(main_, "lblStatus3").text(), "");
}

TEST_F(TargetList, DuplicatesFoldersAndVanishedPathsAreKeptAsGiven) {
  TempDir dir;
  const QString file = QString::fromStdString(WriteFile(dir.File("twice"), std::string(2048, 'x')));
  const QString folder = QString::fromStdString(dir.Path());
  const QString gone = QString::fromStdString(dir.File("gone"));

  test::ModalBoxCatcher boxes;
  for (const QString& path : {file, file, folder, gone}) main_.AddTarget(path.toStdString());
  EXPECT_EQ(Captions(), QStringList({file, file, folder, gone}));
  EXPECT_EQ(States(), QStringList({"2", "2", "folder", "folder"}));
  // Its files are offered once the folder is listed; the default, No,
  // keeps the folder's row.
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "Add the 1 file (2.0 KiB) inside " + folder + "?");
}

TEST_F(TargetList, AHugeFolderIsWalkedUnderAMovingMeterAndCancelledWithNothingListed) {
  TempDir dir;
  const std::string root = dir.File("huge");
  ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
  constexpr int kFolders = 100;
  constexpr int kFilesEach = 1000;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::string inside = root + "/" + std::to_string(folder);
    ASSERT_EQ(::mkdir(inside.c_str(), 0755), 0);
    for (int file = 0; file < kFilesEach; ++file) FileHandle::Create(inside + "/" + std::to_string(file));
  }
  const auto count = [&root] {
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) files += entry.is_regular_file();
    return files;
  };
  test::ModalBoxCatcher boxes;
  std::vector<int> seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* meter = main_.findChild<QProgressDialog*>("dlgFolderWalk");
    if (meter == nullptr || meter->wasCanceled()) return;
    seen.push_back(meter->value());
    if (meter->value() >= kFolders * kFilesEach / 2) meter->cancel();
  });
  watch.start(0);

  main_.AddTarget(root);
  QCoreApplication::processEvents();
  watch.stop();

  ASSERT_GE(seen.size(), 3u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << "the meter never goes back";
  EXPECT_GT(seen.back(), seen.front());
  EXPECT_GE(seen.back(), kFolders * kFilesEach / 2) << "cancelled half-way";
  EXPECT_LT(seen.back(), kFolders * kFilesEach);
  EXPECT_TRUE(boxes.Boxes().empty()) << "nothing is asked once cancelled";
  EXPECT_EQ(States(), QStringList({"folder"}));
  test::ClickDestroy(main_);
  EXPECT_EQ(States(), QStringList({"skipped"}));
  EXPECT_EQ(count(), kFolders * kFilesEach) << "nothing destroyed";
}

TEST_F(TargetList, DeleteKeyRemovesExactlyTheSelectedRows) {
  TempDir dir;
  for (int i = 0; i < 5; ++i) main_.AddTarget(dir.File("row" + std::to_string(i)));
  TargetListView& list = List();

  QTest::keyRelease(&list, Qt::Key_Delete);
  EXPECT_EQ(list.RowCount(), 5) << "nothing selected";

  for (int row : {0, 2, 4}) list.topLevelItem(row)->setSelected(true);
  QTest::keyRelease(&list, Qt::Key_A);
  EXPECT_EQ(list.RowCount(), 5) << "another key";
  QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier, QString(), true);
  QApplication::sendEvent(&list, &repeated);
  EXPECT_EQ(list.RowCount(), 5) << "a held key acts only when let go";

  QTest::keyRelease(&list, Qt::Key_Delete, Qt::ShiftModifier);
  const QString base = QString::fromStdString(dir.Path());
  EXPECT_EQ(Captions(), QStringList({base + "/row1", base + "/row3"}));
}

TEST_F(TargetList, OnlyTheCaptionCanBeEditedAndTheEditIsThePath) {
  TempDir dir;
  main_.AddTarget(dir.File("before"));
  TargetListView& list = List();
  QTreeWidgetItem* row = list.topLevelItem(0);

  list.editItem(row, TargetListView::kStateColumn);
  EXPECT_EQ(list.findChild<QLineEdit*>(), nullptr);

  list.editItem(row, TargetListView::kCaptionColumn);
  auto* editor = list.findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(editor->acceptDrops()) << "a dropped file must not become the path of this row";
  // The caption is the readable form: a byte that is not UTF-8 is typed
  // as an escape, and the path is the bytes it stands for.
  const std::string after = WriteFile(dir.File("after\xFF"), "x");
  editor->setText(QString::fromStdString(dir.Path()) + "/after\\xff");
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // the view commits the edit from a queued call
  EXPECT_EQ(list.RowFile(0).path, after);
  EXPECT_TRUE(list.RowFile(0).identity) << "the edit notes the file the new path leads to";
  EXPECT_EQ(row->text(TargetListView::kCaptionColumn), QString::fromStdString(dir.Path()) + "/after\\xFF");
  EXPECT_EQ(list.RowStateText(0), "folder");
}

// Root reads every file, so the unreadable file is added by a child that
// runs as nobody; this is the parent half.
TEST(TargetListUnreadable, EndsTheBatchWithTheErrorBoxAndKeepsEarlierRows) {
  TempDir dir;
  const std::string readable = WriteFile(dir.File("readable"), "x");
  const std::string locked = WriteFile(dir.File("locked"), "secret");
  ::chmod(locked.c_str(), 0000);
  const std::string later = WriteFile(dir.File("later"), "x");

  EXPECT_EQ(test::RunTestCaseAsNobody("TargetListChild.AddBatchWithUnreadableFile",
                                      {{"READABLE", readable}, {"LOCKED", locked}, {"LATER", later}}),
            0);
}

TEST(TargetListChild, AddBatchWithUnreadableFile) {
  const QString readable = QString::fromStdString(test::ChildArgument("READABLE"));
  const QString locked = QString::fromStdString(test::ChildArgument("LOCKED"));
  const QString later = QString::fromStdString(test::ChildArgument("LATER"));
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  test::ModalBoxCatcher catcher;

  RunGuarded([&] {
    for (const QString& path : {readable, locked, later}) main.AddTarget(path.toStdString());
  });

  ASSERT_EQ(catcher.Boxes().size(), 1u);
  EXPECT_EQ(catcher.Boxes()[0].text, "File access denied.");
  EXPECT_EQ(catcher.Boxes()[0].title, "Omrek, Filebane");
  const TargetListView& list = Child<TargetListView>(main, "lstView");
  ASSERT_EQ(list.RowCount(), 2) << "the batch ends at the failed file";
  EXPECT_EQ(list.RowStateText(0), "1");
  EXPECT_EQ(QString::fromStdString(list.RowFile(1).path), locked);
  EXPECT_EQ(list.RowStateText(1), "") << "no size text";
}

}  // namespace
}  // namespace omrek
