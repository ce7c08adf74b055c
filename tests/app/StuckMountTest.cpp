#include <gtest/gtest.h>
#include <sys/types.h>

#include <QLabel>
#include <QTest>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/OmrekProgram.h"
#include "platform/DriveTable.h"
#include "platform/FileSystemId.h"
#include "platform/WorkJournal.h"
#include "tests/app/CommandSupport.h"
#include "tests/app/ProgramRun.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/StuckMount.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::Click;
using test::LoopImage;
using test::ReadWholeFile;
using test::StuckMount;
using test::TempDir;
namespace fs = std::filesystem;

// Whether a thread of `pid` (its first, the main thread, or any other)
// waits in the kernel in code whose name holds `word`.
bool WaitsIn(pid_t pid, const std::string& word, bool mainThread) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code gone;
  for (const auto& task : fs::directory_iterator(tasks, gone)) {
    if ((task.path().filename() == std::to_string(pid)) != mainThread) continue;
    if (ReadWholeFile(task.path().string() + "/stack").find(word) != std::string::npos) return true;
  }
  return false;
}

bool HoldsAFiller(const std::string& root) {
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path().filename().string().starts_with("Omrek-Delete")) return true;
  }
  return false;
}

// Sends SIGTERM and waits, for at most ten seconds, as a hang would never
// end; says how long the program took.
bool EndsOnSigterm(test::Program& program, const std::string& what) {
  const auto sent = std::chrono::steady_clock::now();
  ::kill(program.Pid(), SIGTERM);
  const bool ended = QTest::qWaitFor([&] { return program.Ended(); }, 10000);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
  std::cout << what << " ended " << took.count() << " ms after SIGTERM\n";
  return ended;
}

// A sanitizer build's leak check stops every thread of a program as it
// exits, and a thread left waiting on the dead mount never stops: the
// programs these tests start skip that check.
void SkipLeakCheckInPrograms() {
  const char* options = std::getenv("ASAN_OPTIONS");
  std::string value = options != nullptr && *options != '\0' ? std::string(options) + ":" : "";
  value += "detect_leaks=0";
  ::setenv("ASAN_OPTIONS", value.c_str(), 1);
}

// A stuck mount is seen only by the child and the programs it starts: any
// other program on this machine that lists drives would wait on it.
TEST(StuckMount, NeitherTheWindowNorACommandOnAnotherDriveWaitsForIt) {
  TempDir config;
  EXPECT_EQ(test::RunTestCaseInChild("StuckMountChild.TheProgramGoesOnWithoutIt", {{"XDG_CONFIG_HOME", config.Path()}}),
            0);
}

TEST(StuckMountChild, TheProgramGoesOnWithoutIt) {
  if (!test::MountsOfThisProcessOnly()) GTEST_SKIP() << "no mount namespace of its own here";
  LoopImage other(32, 4096, "answers");
  OMREK_REQUIRE_MOUNTED(other);
  StuckMount stuck;
  OMREK_REQUIRE_MOUNTED(stuck);
  SkipLeakCheckInPrograms();
  const std::string root = other.MountPoint();
  const char letter = DriveTable::Read().LetterOf(stuck.MountPoint());
  ASSERT_NE(letter, 0) << "a FUSE drive the user mounted is listed";
  // A run killed while it filled the stuck drive left its filler's record:
  // every start below meets it.
  const test::ClearRecordsOnTheWayOut clear;
  JournalRecord filler;
  filler.kind = JournalRecord::Kind::Filler;
  filler.fileSystem = FileSystemIdOf(stuck.MountPoint());
  filler.inode = 1u << 30;  // no file of the drive's: nothing of it is deleted
  filler.path = stuck.MountPoint() + "/image";
  { const JournalEntry left(filler); }
  stuck.StopServer();

  const std::optional<Drive> drive = DriveTable::Read().Find(letter);
  ASSERT_TRUE(drive);
  EXPECT_FALSE(drive->Responding);
  EXPECT_EQ(drive->RootDirectory, stuck.MountPoint());
  EXPECT_EQ(DriveTable::Read().LetterOf(stuck.MountPoint()), letter) << "it keeps its letter";
  EXPECT_TRUE(DriveTable::Read().Find(DriveTable::Read().LetterOf(root))->Responding);

  TempDir folder;
  const std::string settings = test::WriteFile(folder.File("omrek.ini"), "[DiskMode]\nNumRandomize=1\nWipeSlack=0\n");
  test::Program wipe("wipe", {"--wipe-space", "--yes", "--settings", settings, root, stuck.MountPoint()}, folder);
  ASSERT_TRUE(QTest::qWaitFor([&] { return wipe.Ended(); }, 60000)) << "the command waits on the stuck mount";
  EXPECT_EQ(wipe.Finish(), 1) << wipe.Out() << wipe.Err();
  EXPECT_NE(wipe.Out().find("WIPED"), std::string::npos) << wipe.Out();
  EXPECT_NE(wipe.Out().find(stuck.MountPoint() + ": skipped (its drive does not respond)\n"), std::string::npos)
      << wipe.Out();
  EXPECT_NE(wipe.Err().find("/image: its drive does not respond; put right when it does"), std::string::npos)
      << wipe.Err();

  // Once the window has left a worker waiting on the mount and waits for
  // events itself.
  test::Program window("window", {}, folder);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return WaitsIn(window.Pid(), "fuse", false) && WaitsIn(window.Pid(), "poll", true); }, 10000));
  ASSERT_TRUE(EndsOnSigterm(window, "the window"));
  EXPECT_EQ(window.Finish(), 128 + SIGTERM);

  const std::string slow =
      test::WriteFile(folder.File("slow.ini"), "[DiskMode]\nDOD=0\nRandomize=1\nNumRandomize=50\nWipeSlack=0\n");
  test::Program filling("filling", {"--wipe-space", "--yes", "--settings", slow, root}, folder);
  // Stopped while it fills the other drive, past the start that met the
  // stuck mount.
  ASSERT_TRUE(QTest::qWaitFor([&] { return WaitsIn(filling.Pid(), "fuse", false) && HoldsAFiller(root); }, 30000));
  ASSERT_TRUE(EndsOnSigterm(filling, "a Wipe Space of another drive"));
  EXPECT_EQ(filling.Finish(), 128 + SIGTERM) << filling.Out() << filling.Err();
  EXPECT_FALSE(HoldsAFiller(root));

  // A command on the stuck mount itself waits there in the kernel, where no
  // signal handler runs: SIGTERM ends it all the same.
  test::Program own("own", {"--destroy", "--settings", settings, stuck.MountPoint() + "/image"}, folder);
  ASSERT_TRUE(QTest::qWaitFor([&] { return WaitsIn(own.Pid(), "fuse", true); }, 10000));
  ASSERT_TRUE(EndsOnSigterm(own, "a destroy on the stuck mount"));
  EXPECT_EQ(own.Finish(), 128 + SIGTERM);

  // The window in this process, last: it lets the server go on.
  {
    OmrekProgram program;
    program.Start();
    program.RepairKilledRuns();
    TDiskListView& list = *program.Config().lstDisk;
    program.Config().show();
    const QString caption = QString::fromStdString(drive->DisplayName()) + " not responding";
    const auto marked = list.findItems(caption, Qt::MatchExactly);
    ASSERT_EQ(marked.size(), 1) << "the list marks the drive";
    list.clearSelection();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(marked.first()).center());
    EXPECT_FALSE(marked.first()->isSelected()) << "a click";
    list.selectAll();
    EXPECT_FALSE(marked.first()->isSelected()) << "Select All";
    list.SelectMountPoints({stuck.MountPoint()});
    EXPECT_FALSE(marked.first()->isSelected()) << "the settings' selection";
    EXPECT_TRUE(list.SelectedDriveLetters().isEmpty());

    test::SelectOnly(list, root);
    test::ModalBoxCatcher boxes;
    Click(program.Main(), "btnWipeSpace");
    EXPECT_EQ(test::Child<QLabel>(program.Main(), "lblStatus3").text(), "WIPED");

    stuck.ContinueServer();
    const QString answering = QString::fromStdString(drive->DisplayName());
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.findItems(answering, Qt::MatchExactly).size() == 1; }, 10000))
        << "the list finds the drive answering again";
  }
  test::Program recover("recover", {"--recover"}, folder);
  EXPECT_EQ(recover.Finish(), 0) << "the record is put right once its drive answers: " << recover.Err();
}

// A folder walk never looks at a mount point inside the tree: the mount
// table names it first.
TEST(StuckMount, ADestroyOfATreeHoldingItPassesItBy) {
  TempDir config;
  EXPECT_EQ(test::RunTestCaseInChild("StuckMountChild.ATreeHoldingItIsDestroyedAroundIt",
                                     {{"XDG_CONFIG_HOME", config.Path()}}),
            0);
}

TEST(StuckMountChild, ATreeHoldingItIsDestroyedAroundIt) {
  if (!test::MountsOfThisProcessOnly()) GTEST_SKIP() << "no mount namespace of its own here";
  LoopImage image(32, 4096, "tree");
  OMREK_REQUIRE_MOUNTED(image);
  StuckMount stuck;
  OMREK_REQUIRE_MOUNTED(stuck);
  SkipLeakCheckInPrograms();
  const std::string tree = image.File("tree");
  fs::create_directories(tree + "/stuck");
  fs::create_directories(tree + "/sub");
  const std::string file = test::WriteFile(tree + "/sub/file", "file");
  ASSERT_TRUE(test::RunQuietly("mount --bind '" + stuck.MountPoint() + "' '" + tree + "/stuck'"));
  stuck.StopServer();

  TempDir folder;
  const std::string settings = test::WriteFile(folder.File("omrek.ini"), "");
  test::Program destroy("destroy", {"--destroy", "-r", "--settings", settings, tree}, folder);
  EXPECT_TRUE(QTest::qWaitFor([&] { return destroy.Ended(); }, 60000)) << "the walk waits on the stuck mount";
  EXPECT_EQ(destroy.Finish(), 1) << destroy.Out() << destroy.Err();
  EXPECT_EQ(destroy.Err(), "omrek: " + tree + "/stuck: another file system is mounted there; not entered\n");
  EXPECT_EQ(destroy.Out(), file + ": File DONE\n" + tree + "/sub: folder removed\n" + tree +
                               ": folder kept (still holds stuck (another file system is mounted there))\n");

  stuck.ContinueServer();
  EXPECT_TRUE(test::RunQuietly("umount '" + tree + "/stuck'"));
}

}  // namespace
}  // namespace omrek
