#include "disk/SlackWipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <memory>
#include <sstream>

#include "disk/FileRestorer.h"
#include "disk/StoppedRuns.h"
#include "platform/JournalFolder.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Extents.h"
#include "tests/support/LoopImage.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorRows.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::ReadWholeFile;
using test::RecordingMonitor;
using test::VectorRows;
using test::WriteFile;
namespace fs = std::filesystem;

struct timespec ModificationTime(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mtim;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// An odd second and nanoseconds, which a two-second DOS time would lose.
// As `ls --full-time` shows 1700000001.123456789 here.
std::string OddTimeText() {
  const std::time_t seconds = 1700000001;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char date[32];
  char zone[16];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
  std::strftime(zone, sizeof zone, "%z", &local);
  return std::string(date) + ".123456789 " + zone;
}

std::string HexOf(const std::string& bytes) {
  std::string hex;
  for (const unsigned char byte : bytes) {
    hex += "0123456789abcdef"[byte >> 4];
    hex += "0123456789abcdef"[byte & 15];
  }
  return hex;
}

void SetOddTime(const std::string& path) {
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000001, 123456789}};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The bytes on the device from a file's end to the end of its last block.
std::string SlackOnDevice(const LoopImage& image, const std::string& path, std::uint64_t size, unsigned block) {
  const auto extents = test::PhysicalExtents(path);
  for (const auto& extent : extents) {
    if (size > extent.logical && size <= extent.logical + extent.length) {
      const std::uint64_t blockEnd = (size + block - 1) / block * block;
      return test::ReadRange(image.ImagePath(), extent.physical + (size - extent.logical), blockEnd - size);
    }
  }
  return {};
}

class SlackWipeOnExt4 : public ::testing::TestWithParam<unsigned> {
 protected:
  SlackWipeOnExt4() : image_(32, static_cast<int>(GetParam()), "slack"), monitor_(engine_) {}

  LoopImage image_;
  ShredEngine engine_;
  RecordingMonitor monitor_;
  StoredWipeProfile profile_;
};

TEST_P(SlackWipeOnExt4, FilesKeepLengthContentAndTimeWhileTheirSlackIsOverwritten) {
  OMREK_REQUIRE_MOUNTED(image_);
  const unsigned block = GetParam();
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::size_t size : {std::size_t{1000}, std::size_t{block * 2}, std::size_t{0}, std::size_t{block + 5}}) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + i % 26);
    const std::string path = WriteFile(image_.File("file" + std::to_string(size)), content);
    SetOddTime(path);
    files.emplace_back(path, content);
  }
  std::vector<std::string> paths;
  for (const auto& [path, content] : files) paths.push_back(path);
  VectorRows rows(paths);
  const auto before = ModificationTime(paths[0]);

  SlackWipe(engine_, monitor_, profile_, true).WipeListedFiles(rows);

  EXPECT_EQ(engine_.ClusterSize, block);
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(rows.rows[i].state, "-slack") << files[i].first;
    EXPECT_EQ(ReadWholeFile(files[i].first), files[i].second) << "same length and content";
    EXPECT_TRUE(SameTime(ModificationTime(files[i].first), before)) << "time to the nanosecond";
  }
  EXPECT_EQ(monitor_.statuses.back(), "READY");
  EXPECT_EQ(engine_.WorkTotal, 4 * 5);
  EXPECT_TRUE(engine_.CancelFlag);

  ::sync();
  const std::string slack = SlackOnDevice(image_, files[0].first, 1000, block);
  ASSERT_EQ(slack.size(), block - 1000 % block);
  // The last pass writes 0xFE there; ext4 then zeroes the part of a block
  // past a file's end when the file is cut, so either byte shows that the
  // old slack is gone.
  EXPECT_TRUE(slack == std::string(slack.size(), '\xFE') || slack == std::string(slack.size(), '\0'))
      << "slack on the device: " << static_cast<int>(static_cast<unsigned char>(slack[0]));
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, SlackWipeOnExt4, ::testing::Values(1024u, 4096u),
                         [](const ::testing::TestParamInfo<unsigned>& size) {
                           return "block_" + std::to_string(size.param);
                         });

TEST(SlackWipe, AFullDiskPartWayLeavesTheFileAsItWas) {
  LoopImage full(4, 1024, "full");
  LoopImage roomy(16, 4096, "roomy");
  OMREK_REQUIRE_MOUNTED(full);
  OMREK_REQUIRE_MOUNTED(roomy);
  const std::string victim = WriteFile(full.File("victim"), std::string(1500, 'v'));
  SetOddTime(victim);
  const auto before = ModificationTime(victim);
  test::RunQuietly("dd if=/dev/zero of='" + full.File("filler") + "' bs=1k");
  const std::string next = WriteFile(roomy.File("next"), "next");

  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  VectorRows rows({victim, next});
  SlackWipe(engine, monitor, profile).WipeListedFiles(rows);

  EXPECT_EQ(rows.rows[0].state, "skipped");
  EXPECT_EQ(ReadWholeFile(victim), std::string(1500, 'v')) << "no pass bytes left past its end";
  EXPECT_TRUE(SameTime(ModificationTime(victim), before));
  EXPECT_EQ(rows.rows[1].state, "-slack") << "the next row is done";
  EXPECT_NE(std::find(monitor.statuses.begin(), monitor.statuses.end(), "FAILED"), monitor.statuses.end());
}

TEST(SlackWipe, NonFilesReadOnlyAndBusyFilesAreSkipped) {
  LoopImage image(16, 4096, "skips");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string readOnly = WriteFile(image.File("ro"), "ro");
  ::chmod(readOnly.c_str(), 0444);
  const std::string busy = WriteFile(image.File("busy"), "busy");
  const std::string folder = image.File("folder");
  std::filesystem::create_directory(folder);
  const std::string link = image.File("link");
  ::symlink(busy.c_str(), link.c_str());

  // Another process holds the file open: its writer must never see it cut.
  const pid_t holder = ::fork();
  if (holder == 0) {
    const int fd = ::open(busy.c_str(), O_RDONLY);
    ::pause();
    ::_exit(fd);
  }
  ASSERT_TRUE(test::RunQuietly("for i in $(seq 100); do ls -l /proc/" + std::to_string(holder) +
                               "/fd | grep -q busy && exit 0; sleep 0.05; done; exit 1"));

  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  VectorRows rows({folder, image.File("gone"), link, readOnly, busy});
  SlackWipe(engine, monitor, profile).WipeListedFiles(rows);
  ::kill(holder, SIGKILL);

  for (const auto& row : rows.rows) EXPECT_EQ(row.state, "skipped") << row.file.path;
  EXPECT_EQ(std::count(monitor.statuses.begin(), monitor.statuses.end(), "FAILED"), 2)
      << "folders, vanished paths and links show no status";
  EXPECT_EQ(ReadWholeFile(busy), "busy");
  EXPECT_EQ(ReadWholeFile(readOnly), "ro");
}

// Another program opens the file while its slack is wiped: the wipe gives
// way at once, and the program gets the file as it was.
TEST(SlackWipe, AFileOpenedMidWipeIsPutBackBeforeTheOpenerGetsIt) {
  LoopImage image(16, 4096, "lease");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string path = WriteFile(image.File("shared"), std::string(5000, 'x'));
  int seen[2];
  ASSERT_EQ(::pipe(seen), 0);
  const pid_t opener = ::fork();
  if (opener == 0) {
    struct stat st {};
    do {
      ::stat(path.c_str(), &st);
    } while (st.st_size == 5000);
    const int fd = ::open(path.c_str(), O_RDONLY);  // waits until the wipe lets go
    ::fstat(fd, &st);
    ::_exit(::write(seen[1], &st.st_size, sizeof st.st_size) == sizeof st.st_size ? 0 : 1);
  }
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  profile.numRandomize = 100000;
  VectorRows rows({path});

  SlackWipe(engine, monitor, profile).WipeListedFiles(rows);

  off_t sizeSeen = 0;
  ASSERT_EQ(::read(seen[0], &sizeSeen, sizeof sizeSeen), static_cast<ssize_t>(sizeof sizeSeen));
  ::waitpid(opener, nullptr, 0);
  EXPECT_EQ(sizeSeen, 5000) << "the opener got the file at its own length";
  EXPECT_EQ(rows.rows[0].state, "skipped");
  EXPECT_LT(engine.Progress, 1000) << "the wipe gave way instead of running its passes out";
  EXPECT_EQ(ReadWholeFile(path), std::string(5000, 'x'));
}

// A write would take a program's file capabilities away (and, for anyone
// but root, its set-ID bits): such files are left alone.
TEST(SlackWipe, FilesWithPrivilegesKeepThem) {
  LoopImage image(16, 4096, "privileged");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string setuid = WriteFile(image.File("setuid"), "setuid");
  ::chmod(setuid.c_str(), 04755);
  const std::string capable = WriteFile(image.File("capable"), "capable");
  // cap_net_raw, permitted and effective, in the kernel's revision 2 layout.
  const std::uint32_t capability[5] = {0x02000001, 1u << 13, 0, 0, 0};
  ASSERT_EQ(::setxattr(capable.c_str(), "security.capability", capability, sizeof capability, 0), 0);

  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  VectorRows rows({setuid, capable});
  SlackWipe(engine, monitor, profile).WipeListedFiles(rows);

  EXPECT_EQ(rows.rows[0].state, "skipped");
  EXPECT_EQ(rows.rows[1].state, "skipped");
  struct stat st {};
  ::stat(setuid.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 04755u);
  EXPECT_EQ(::getxattr(capable.c_str(), "security.capability", nullptr, 0), static_cast<ssize_t>(sizeof capability));
}

TEST(SlackWipe, NoPassSelectedStillCutsAndRestores) {
  test::TempDir dir;
  const std::string path = WriteFile(dir.File("plain"), "plain");
  SetOddTime(path);
  const auto before = ModificationTime(path);
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  profile.inversion = profile.randomize = profile.nullify1 = profile.nullify2 = profile.nullifyCustom = false;
  VectorRows rows({path});
  SlackWipe(engine, monitor, profile).WipeListedFiles(rows);
  EXPECT_EQ(rows.rows[0].state, "-slack");
  EXPECT_EQ(ReadWholeFile(path), "plain");
  EXPECT_TRUE(SameTime(ModificationTime(path), before));
  EXPECT_EQ(monitor.statuses, (std::vector<std::string>{"SLACK", "READY"}));
}

// Lengthens each file as a slack wipe does and records a filler, then dies
// before any is done.
TEST(SlackWipeChild, KilledWhileFilesAreLengthened) {
  std::istringstream paths(test::ChildArgument("OMREK_FILES"));
  std::vector<std::string> names;
  for (std::string path; std::getline(paths, path);) names.push_back(path);
  std::vector<FileHandle> files;
  for (const std::string& path : names) files.push_back(FileHandle::OpenExclusive(path));
  std::vector<std::unique_ptr<FileRestorer>> restorers;
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto restorer = std::make_unique<FileRestorer>(files[i], names[i], 4096);
    const std::string pass(restorer->SlackLength(), 'J');
    restorer->Writing(reinterpret_cast<const std::uint8_t*>(pass.data()), pass.size(), restorer->Length());
    files[i].WriteAt(pass.data(), pass.size(), restorer->Length());
    restorer->Wrote();
    restorers.push_back(std::move(restorer));
  }
  for (const std::string& path : {test::ChildArgument("OMREK_FILLER"), test::ChildArgument("OMREK_GONE_FILLER")}) {
    const FileHandle filler = FileHandle::Create(path);
    JournalRecord record;
    record.kind = JournalRecord::Kind::Filler;
    record.fileSystem = filler.FileSystemId();
    record.inode = filler.Identity().inode;
    record.born = filler.BirthTime();
    record.path = path;
    new JournalEntry(record);
  }
  ::raise(SIGKILL);
}

// What a killed run left, as the journal tells it: the next start puts back
// only a file still as the wipe left it and deletes its filler; it leaves a
// file written to or cut since and names it, as it does a file lengthened
// when the version before recorded it, waits for a drive that is not there,
// never touches a step another copy is still in, and sets a damaged record
// aside. Each is said once.
TEST(SlackWipe, TheNextStartPutsBackWhatAStoppedWipeLeftAndNothingElse) {
  LoopImage image(16, 4096, "stopped");
  LoopImage away(16, 4096, "away");
  OMREK_REQUIRE_MOUNTED(image);
  OMREK_REQUIRE_MOUNTED(away);
  const std::string stopped = WriteFile(image.File("stopped"), "mine");
  const std::string grown = WriteFile(image.File("grown since"), "theirs");
  const std::string replaced = WriteFile(image.File("replaced since"), "old");
  const std::string onAway = WriteFile(away.File("on a drive taken away"), "away");
  const std::string cutOnly = WriteFile(image.File("cut, time not back yet"), "half");
  for (const std::string& path : {stopped, grown, replaced, onAway, cutOnly}) SetOddTime(path);
  const std::string filler = image.File("recorded filler");
  const std::string goneFiller = image.File("filler deleted before its record");
  test::RunTestCaseInChild("SlackWipeChild.KilledWhileFilesAreLengthened",
                           {{"OMREK_FILES", stopped + "\n" + grown + "\n" + replaced + "\n" + onAway + "\n" + cutOnly},
                            {"OMREK_FILLER", filler},
                            {"OMREK_GONE_FILLER", goneFiller}});
  ASSERT_EQ(fs::file_size(stopped), 4096u);
  // Written past its old end by another program, to no length a pass gives.
  WriteFile(grown, std::string(50, 'g'));
  fs::remove(replaced);
  WriteFile(replaced, "new");
  fs::remove(goneFiller);
  ASSERT_EQ(::truncate(cutOnly.c_str(), 4), 0);
  const std::string awayImage = away.ImagePath();
  const std::string awayRoot = away.MountPoint();
  away.Unmount();
  const std::string earlier = WriteFile(image.File("recorded by the version before"), std::string(4096, 'e'));
  FileHandle earlierFile = FileHandle::OpenExisting(earlier, FileHandle::Access::Read);
  std::ostringstream earlierRecord;
  earlierRecord << "omrek journal 1\nkind lengthened\nfile-system " << earlierFile.FileSystemId() << "\ninode "
                << earlierFile.Identity().inode << "\nborn-seconds " << earlierFile.BirthTime().seconds
                << "\nborn-nanoseconds " << earlierFile.BirthTime().nanoseconds << "\npath " << HexOf(earlier)
                << "\nlength 4\nlengthened-to 4096\ntime-seconds 1700000001\n"
                << "time-nanoseconds 123456789\nend\n";
  earlierFile.Close();
  WriteFile(JournalFolderPath() + "/lengthened-by-the-version-before", earlierRecord.str());
  const std::string damaged = JournalFolderPath() + "/lengthened-damaged-by-a-test";
  WriteFile(damaged, "omrek journal 1\nkind lengthened\n");
  // A copy still running holds its record.
  const std::string running = WriteFile(image.File("still running"), "busy");
  FileHandle runningFile = FileHandle::OpenExclusive(running);
  auto runningWipe = std::make_unique<FileRestorer>(runningFile, running, 4096);
  runningFile.WriteAt("J", 1, 4);
  ShredEngine engine;
  RecordingMonitor monitor(engine);

  const StoppedRunRepairs repairs = RepairStoppedRuns(monitor);

  EXPECT_EQ(ReadWholeFile(stopped), "mine");
  EXPECT_TRUE(SameTime(ModificationTime(stopped), {1700000001, 123456789}));
  EXPECT_EQ(ReadWholeFile(grown), std::string(50, 'g'));
  EXPECT_EQ(ReadWholeFile(replaced), "new");
  EXPECT_FALSE(fs::exists(filler));
  EXPECT_EQ(runningFile.Size(), 4096u) << "a copy still running keeps its file lengthened";
  EXPECT_EQ(ReadWholeFile(cutOnly), "half");
  EXPECT_FALSE(SameTime(ModificationTime(cutOnly), {1700000001, 123456789}));
  EXPECT_EQ(ReadWholeFile(earlier), std::string(4096, 'e'));
  EXPECT_EQ(repairs.filesPutBack, 1);
  EXPECT_EQ(repairs.fillers.files, 1);
  const std::vector<std::string> said = repairs.SaidOnce();
  for (const std::string& line :
       {"put back " + stopped + ": its 4 bytes and its time",
        "left " + cutOnly + ": changed since the run stopped; check its last-write time: it was " + OddTimeText() +
            " before the wipe",
        "left " + earlier + ": changed since the run stopped; check its end: it may hold 4092 bytes the wipe added",
        "left " + grown + ": changed since a stopped slack wipe (50 bytes, 6 before)",
        "left " + replaced + ": no longer the file a stopped run changed",
        "set aside the damaged journal record " + damaged + ".damaged: nothing done"}) {
    EXPECT_NE(std::find(said.begin(), said.end(), line), said.end()) << line;
  }
  EXPECT_EQ(said.size(), 7u) << "the filler gone before its record is not worth a word";
  EXPECT_EQ(repairs.waiting,
            (std::vector<std::string>{"left " + onAway + ": its drive is not there; put right when it is"}));
  EXPECT_EQ(monitor.lines.back(), (std::array<std::string, 3>{"REPAIRED", "1 file", "put back"}));

  // The drive back, its file is put back too; nothing else is said again.
  ASSERT_TRUE(test::RunQuietly("mount -o loop '" + awayImage + "' '" + awayRoot + "'"));
  const StoppedRunRepairs again = RepairStoppedRuns(monitor);
  test::RunQuietly("umount '" + awayRoot + "'");
  EXPECT_EQ(again.SaidOnce(), (std::vector<std::string>{"put back " + onAway + ": its 4 bytes and its time"}));
  runningWipe.reset();
  runningFile.Close();
  EXPECT_EQ(ReadWholeFile(running), "busy");
  fs::remove(damaged + ".damaged");
}

}  // namespace
}  // namespace omrek
