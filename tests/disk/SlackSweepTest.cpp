#include "disk/SlackSweep.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/FileHandle.h"
#include "tests/support/LoopImage.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::ReadWholeFile;
using test::RecordingMonitor;
using test::WriteFile;
namespace fs = std::filesystem;

std::int64_t ModificationNanos(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

std::vector<std::string> LogLines(const std::string& root) {
  std::vector<std::string> lines;
  std::istringstream text(ReadWholeFile(root + "/" + SlackSweep::kLogName));
  std::string line;
  while (std::getline(text, line)) {
    EXPECT_TRUE(line.ends_with('\r')) << "lines end with CR LF";
    line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

class Sweep : public ::testing::Test {
 protected:
  Sweep() : monitor_(engine_) { engine_.ClusterSize = 32768; }

  LoopImage image_{32, 4096, "sweep"};
  ShredEngine engine_;
  RecordingMonitor monitor_;
};

TEST_F(Sweep, WalksTheVisibleTreeAndLogsWhatItCannotOpen) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string root = image_.MountPoint();
  fs::create_directories(root + "/sub/deeper");
  fs::create_directories(root + "/.hidden");
  std::map<std::string, std::string> files{{"/a.txt", std::string(1000, 'a')}, {"/sub/b.txt", std::string(5000, 'b')},
                                           {"/sub/deeper/empty", ""},          {"/sub/ro", "read only"},
                                           {"/full", std::string(32768, 'f')}, {"/.hidden/secret", "hidden"},
                                           {"/.dotfile", "hidden too"},        {"/sub/ro\nforged\r", "ro"}};
  std::map<std::string, std::int64_t> times;
  for (const auto& [name, content] : files) {
    WriteFile(root + name, content);
    const struct timespec odd[2] = {{0, UTIME_OMIT}, {1600000001, 987654321}};
    ::utimensat(AT_FDCWD, (root + name).c_str(), odd, 0);
    times[name] = ModificationNanos(root + name);
  }
  ::chmod((root + "/sub/ro").c_str(), 0444);
  ::chmod((root + "/sub/ro\nforged\r").c_str(), 0444);
  const std::int64_t hiddenFolderTime = ModificationNanos(root + "/.hidden");

  SlackSweep sweep(engine_, monitor_);
  sweep.SweepDriveSlack(root);

  // a.txt, b.txt, empty, both ro, full and the log itself; nothing hidden.
  EXPECT_EQ(sweep.SweepFileCount(), 7);
  EXPECT_EQ(sweep.SweepSkipCount(), 3);
  auto lines = LogLines(root);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{root + "/Omrek Slack Skipped Files.log", root + "/sub/ro",
                                             root + "/sub/ro\\nforged\\r"}))
      << "the log is open while the sweep runs, so it lists itself";
  for (const auto& [name, content] : files) {
    EXPECT_EQ(ReadWholeFile(root + name), content) << name;
    EXPECT_EQ(ModificationNanos(root + name), times[name]) << name;
  }
  EXPECT_EQ(ModificationNanos(root + "/.hidden"), hiddenFolderTime);
  EXPECT_EQ(monitor_.statuses.front(), "FILE SLACK");
}

TEST_F(Sweep, CancelStopsTheWalkAndClosesTheLog) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string root = image_.MountPoint();
  for (int i = 0; i < 20; ++i) WriteFile(root + "/f" + std::to_string(i), "x");
  monitor_.onPump = [&] {
    if (monitor_.pumps == 5) engine_.CancelFlag = true;
  };

  SlackSweep sweep(engine_, monitor_);
  sweep.SweepDriveSlack(root);

  EXPECT_LT(sweep.SweepFileCount(), 5);
  EXPECT_EQ(monitor_.pumps, 5) << "nothing after the entry where Cancel was seen";
  EXPECT_NO_THROW(FileHandle::OpenExclusive(root + "/" + SlackSweep::kLogName)) << "the log is closed";
}

TEST_F(Sweep, NeverLeavesTheTreeOrTouchesWhatIsNotAnIdleFile) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string root = image_.MountPoint();
  test::TempDir outside;
  const std::string outsideFile = WriteFile(outside.File("outside"), "outside");
  const std::int64_t outsideTime = ModificationNanos(outsideFile);
  fs::create_directories(root + "/tree/inner");
  ASSERT_EQ(::symlink(outsideFile.c_str(), (root + "/tree/to-outside").c_str()), 0);
  ASSERT_EQ(::symlink(root.c_str(), (root + "/tree/inner/to-root").c_str()), 0);
  ASSERT_EQ(::mkfifo((root + "/tree/fifo").c_str(), 0644), 0);
  fs::create_directory(root + "/tree/ram");
  ASSERT_TRUE(test::RunQuietly("mount -t tmpfs -o size=1m omrek-sweep '" + root + "/tree/ram'"));
  const std::string ramFile = WriteFile(root + "/tree/ram/on-tmpfs", "tmpfs");
  const std::int64_t ramTime = ModificationNanos(ramFile);

  // A writer that keeps its file open and appends the whole time.
  const std::string log = root + "/tree/growing.log";
  WriteFile(log, "");
  const pid_t writer = ::fork();
  if (writer == 0) {
    ::execl("/bin/sh", "sh", "-c",
            ("exec 3>>'" + log + "'; i=0; while :; do echo line$i >&3; i=$((i+1)); done").c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_TRUE(test::RunQuietly("for i in $(seq 100); do [ -s '" + log + "' ] && exit 0; sleep 0.05; done; exit 1"));

  SlackSweep sweep(engine_, monitor_);
  sweep.SweepDriveSlack(root);
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_EQ(ModificationNanos(ramFile), ramTime) << "another file system below the root is another drive";
  test::RunQuietly("umount '" + root + "/tree/ram'");

  EXPECT_EQ(ReadWholeFile(outsideFile), "outside");
  EXPECT_EQ(ModificationNanos(outsideFile), outsideTime);
  struct stat fifo {};
  ASSERT_EQ(::lstat((root + "/tree/fifo").c_str(), &fifo), 0);
  EXPECT_TRUE(S_ISFIFO(fifo.st_mode));

  const auto lines = LogLines(root);
  EXPECT_NE(std::find(lines.begin(), lines.end(), log), lines.end()) << "the file in use is logged as skipped";
  std::istringstream written(ReadWholeFile(log));
  std::string line;
  int expected = 0;
  while (std::getline(written, line)) ASSERT_EQ(line, "line" + std::to_string(expected++)) << "the writer lost nothing";
  EXPECT_GT(expected, 0);
}

TEST_F(Sweep, PassesOverAFileBoundFromElsewhereAndWalksABoundFolderOnce) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string root = image_.MountPoint();
  fs::create_directories(root + "/inner");
  fs::create_directories(root + "/again");
  WriteFile(root + "/inner/once", std::string(1000, 'o'));
  test::TempDir outside;
  const std::string outsideFile = WriteFile(outside.File("outside"), "outside");
  WriteFile(root + "/bound", "");
  ASSERT_TRUE(test::RunQuietly("mount --bind '" + root + "/inner' '" + root + "/again'"));
  ASSERT_TRUE(test::RunQuietly("mount --bind '" + outsideFile + "' '" + root + "/bound'"));
  struct stat before {};
  ::stat(outsideFile.c_str(), &before);

  SlackSweep sweep(engine_, monitor_);
  sweep.SweepDriveSlack(root);
  test::RunQuietly("umount '" + root + "/bound'");
  test::RunQuietly("umount '" + root + "/again'");

  struct stat after {};
  ::stat(outsideFile.c_str(), &after);
  EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec) << "not lengthened and cut back";
  EXPECT_EQ(after.st_ctim.tv_sec, before.st_ctim.tv_sec);
  EXPECT_EQ(sweep.SweepFileCount(), 2) << "once and the log, each once";
  EXPECT_EQ(sweep.SweepSkipCount(), 1) << "the log";
}

}  // namespace
}  // namespace omrek
