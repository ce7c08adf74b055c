#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/OmrekProgram.h"
#include "intake/ui/TargetListView.h"
#include "tests/app/CommandSupport.h"
#include "tests/support/Child.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopImage.h"
#include "tests/support/ModalBoxCatcher.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "widgets/SpinEdit.h"

namespace omrek {
namespace {

using test::Child;
using test::ChildArgument;
using test::Click;
using test::ReadWholeFile;
using test::WriteFile;
namespace fs = std::filesystem;

// Sends SIGTERM to this process from another thread as soon as `begun`
// holds, that is while a command is at work and events are not being read.
class TerminateWhen {
 public:
  explicit TerminateWhen(std::function<bool()> begun)
      : thread_([this, begun = std::move(begun)] {
          while (!stop_ && !begun()) std::this_thread::yield();
          if (!stop_) ::kill(::getpid(), SIGTERM);
        }) {}
  ~TerminateWhen() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

// The request to end stays for the rest of a process's life, so each
// command is stopped in a process of its own.
TEST(Termination, EachCommandStopsAtASafePointAndLeavesNothingBehind) {
  test::LoopImage image(64, 4096, "terminate");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  std::string marker;
  while (marker.size() < (24u << 20)) marker += "OMREK-TERMINATE-";
  WriteFile(image.File("destroyed"), marker);
  WriteFile(image.File("slack"), std::string(5000, 's'));
  const std::string reserve = "/sys/fs/ext4/" + fs::path(image.Device()).filename().string() + "/reserved_clusters";
  const std::string reserved = ReadWholeFile(reserve);

  for (const char* command : {"Destroy", "WipeSlack", "WipeSpace"}) {
    EXPECT_EQ(test::RunTestCaseInChild(std::string("TerminationChild.") + command, {{"ROOT", root}}), 0) << command;
  }
  EXPECT_EQ(fs::file_size(image.File("destroyed")), marker.size()) << "the destroy target stays in place";
  EXPECT_EQ(ReadWholeFile(image.File("slack")), std::string(5000, 's'));
  for (const auto& entry : fs::directory_iterator(root)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("Omrek-Delete")) << entry.path();
  }
  EXPECT_EQ(ReadWholeFile(reserve), reserved);
}

TEST(TerminationChild, Destroy) {
  const std::string file = ChildArgument("ROOT") + "/destroyed";
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  main.AddTarget(file);
  const timespec before = StatOf(file).st_ctim;
  {
    TerminateWhen written([&] { return StatOf(file).st_ctim.tv_nsec != before.tv_nsec; });
    test::ClickDestroy(main);
  }
  EXPECT_EQ(Child<TargetListView>(main, "lstView").RowStateText(0), "skipped");
  EXPECT_EQ(Child<QLabel>(main, "lblStatus").text(), "ERROR");
}

TEST(TerminationChild, WipeSlack) {
  const std::string file = ChildArgument("ROOT") + "/slack";
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  program.Config().findChild<SpinEdit*>("numRandomize")->setValue(5000);
  main.AddTarget(file);
  const struct stat before = StatOf(file);
  {
    TerminateWhen lengthened([&] { return StatOf(file).st_size != before.st_size; });
    Click(main, "btnWipeSlack");
  }
  EXPECT_EQ(Child<TargetListView>(main, "lstView").RowStateText(0), "skipped");
  const struct stat after = StatOf(file);
  EXPECT_EQ(after.st_size, before.st_size);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(TerminationChild, WipeSpace) {
  const std::string root = ChildArgument("ROOT");
  OmrekProgram program;
  program.Start();
  TfrmMain& main = program.Main();
  program.Config().chkWipeSlack->setChecked(false);
  test::SelectOnly(*program.Config().lstDisk, root);
  // Answers "Wipe" to the question before the filling.
  test::ModalBoxCatcher boxes;
  {
    TerminateWhen filling([&] {
      for (const auto& entry : fs::directory_iterator(root)) {
        if (entry.path().filename().string().starts_with("Omrek-Delete")) return true;
      }
      return false;
    });
    Click(main, "btnWipeSpace");
  }
  // About 30 MiB were free; the filling stopped long before its end.
  const QString leftOut = Child<QLabel>(main, "lblStatus2").text();
  EXPECT_LT(leftOut.section(' ', 0, 0).toInt(), 12) << leftOut.toStdString();
}

// The sound library would take SIGTERM over for a quit event of its own,
// and the program would never end on it.
TEST(Termination, EndsTheIdleProgramAfterASoundHasPlayed) {
  test::TempDir dir;
  EXPECT_EQ(test::RunTestCaseInChild("TerminationChild.AfterASound",
                                     {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", dir.File("played.raw")}}),
            0);
  EXPECT_GT(fs::file_size(dir.File("played.raw")), 0u);
}

TEST(TerminationChild, AfterASound) {
  ChildArgument("SDL_DISKAUDIOFILE");
  OmrekProgram program;
  program.Start();
  program.Main().Wave1.Load(test::WaveImage(4000));
  program.Main().Wave1.PlayAsync();
  QTimer::singleShot(200, [] { ::kill(::getpid(), SIGTERM); });
  // A program that ignored the signal would wait here forever.
  QTimer::singleShot(30000, [] { QCoreApplication::exit(1); });
  EXPECT_EQ(QApplication::exec(), 128 + SIGTERM);
}

}  // namespace
}  // namespace omrek
