#include "disk/FreeSpaceWipe.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "disk/DiskInfo.h"
#include "disk/StoppedRuns.h"
#include "platform/DriveTable.h"
#include "platform/FileSystemLock.h"
#include "platform/IoError.h"
#include "platform/ReservedClusters.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/LoopImage.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::RecordingMonitor;
namespace fs = std::filesystem;

int FillerFilesIn(const std::string& root) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path().filename().string().starts_with("Omrek-Delete This File if you see it ")) ++count;
  }
  return count;
}

// Leaves `free` bytes free by filling the rest. On tmpfs, where every free
// byte can be written: ext4 keeps a few blocks back even from root, so its
// last chunk always ends on a full disk.
void LeaveFree(const std::string& root, std::int64_t free) {
  const std::int64_t now = QueryDiskSpace(root).FreeBytes;
  test::RunQuietly("fallocate -l " + std::to_string(std::max<std::int64_t>(now - free, 4096)) + " '" + root +
                   "/ballast'");
}

constexpr std::int64_t kMiB = 1 << 20;
const std::string kMarker = "OMREK-DELETED-DATA-MARKER-7d1e-";

// A file that says where its data lies: the marker over and over, `bytes`
// long or as far as the disk takes it.
std::int64_t WriteMarkedFile(const std::string& path, std::int64_t bytes) {
  test::RunQuietly("yes '" + kMarker + "' | head -c " + std::to_string(bytes) + " > '" + path + "'");
  return static_cast<std::int64_t>(fs::file_size(path));
}

std::string Trimmed(const std::string& text) { return text.substr(0, text.find_last_not_of(" \n") + 1); }

std::string ReservedClusters(const LoopImage& image) {
  return Trimmed(test::ReadWholeFile(image.SysfsFolder() + "/reserved_clusters"));
}

std::uint64_t SuperblockField(const LoopImage& image, const std::string& field) {
  return std::stoull(
      test::OutputOf("dumpe2fs -h '" + image.ImagePath() + "' 2>/dev/null | sed -n 's/^" + field + ": *//p'"));
}

// The flush requests the image's loop device has carried out, as the block
// layer counts them; nullopt where the device takes no flushes (no write
// cache) or its counts lack them.
std::optional<std::uint64_t> FlushesOf(const LoopImage& image) {
  const std::string device = "/sys/block/" + fs::path(image.Device()).filename().string();
  if (Trimmed(test::ReadWholeFile(device + "/queue/write_cache")) != "write back") return std::nullopt;
  std::istringstream fields(test::ReadWholeFile(device + "/stat"));
  const std::vector<std::uint64_t> counts{std::istream_iterator<std::uint64_t>(fields), {}};
  if (counts.size() < 17) return std::nullopt;
  return counts[15];
}

// Asked to stop from the first write that finds the disk full on.
class StopOnceFull : public RecordingMonitor {
 public:
  StopOnceFull(ShredEngine& engine, const test::InjectedFault& full) : RecordingMonitor(engine), full_(full) {}
  bool CancelFlag() const override { return RecordingMonitor::CancelFlag() || full_.Failures() > 0; }

 private:
  const test::InjectedFault& full_;
};

class FreeSpace : public ::testing::Test {
 protected:
  FreeSpace() : monitor_(engine_) {
    engine_.TimeOfDaySeed = [] { return 99u; };
  }

  // Every chunk is read back: a sound device gives back what was written.
  FreeSpaceWipe Wipe(bool sweep = false) {
    return FreeSpaceWipe(
        engine_, monitor_, profile_, [sweep] { return sweep; }, diskInfo_, true);
  }
  std::string Letter(const std::string& root) { return std::string(1, DriveTable::Read().LetterOf(root)); }
  std::string Letter(const LoopImage& image) { return Letter(image.MountPoint()); }
  std::vector<DriveToWipe> Picked(const std::string& root) { return {{Letter(root)[0], root}}; }
  std::vector<DriveToWipe> Picked(const LoopImage& image) { return Picked(image.MountPoint()); }

  ShredEngine engine_;
  RecordingMonitor monitor_;
  StoredWipeProfile profile_;
  TDiskInfo diskInfo_;
};

TEST(FillerFileName, ThreeDigitsThenFour) {
  EXPECT_EQ(FillerFileName(1), "Omrek-Delete This File if you see it 001");
  EXPECT_EQ(FillerFileName(42), "Omrek-Delete This File if you see it 042");
  EXPECT_EQ(FillerFileName(1000), "Omrek-Delete This File if you see it 1000");
}

TEST_F(FreeSpace, LessThanAMegabyteFreeIsOneShortChunk) {
  test::TmpfsMount ram;
  if (!ram.Mounted()) GTEST_SKIP() << ram.Reason();
  const std::string root = ram.MountPoint();
  LeaveFree(root, 500 * 1024);
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;
  ASSERT_LT(free, 1 << 20);
  ASSERT_GT(free, 32768);

  Wipe().WipeSelectedDrives(Picked(root));

  EXPECT_EQ(engine_.WorkTotal, free / 32768);
  EXPECT_EQ(engine_.Progress, free / 32768) << "a chunk of what fits in whole blocks, then the last bytes";
  EXPECT_EQ(monitor_.statuses.at(0), "DRIVE " + Letter(root));
  EXPECT_EQ(monitor_.lines.back()[1], "1 meg") << "never 0 megs for what was written";
  EXPECT_EQ(FillerFilesIn(root), 0);
  EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);
  EXPECT_EQ(monitor_.meterFull, 1);
  EXPECT_TRUE(engine_.CancelFlag);
}

TEST_F(FreeSpace, AFullDriveOnlyShowsTheMessage) {
  test::TmpfsMount ram;
  if (!ram.Mounted()) GTEST_SKIP() << ram.Reason();
  LeaveFree(ram.MountPoint(), 0);
  ASSERT_EQ(QueryDiskSpace(ram.MountPoint()).FreeBytes, 0);

  Wipe().WipeSelectedDrives(Picked(ram.MountPoint()));

  EXPECT_EQ(monitor_.messages, std::vector<std::string>{"No empty space to wipe on Drive " + Letter(ram.MountPoint())});
  EXPECT_EQ(FillerFilesIn(ram.MountPoint()), 0);
  EXPECT_EQ(monitor_.meterFull, 0) << "a drive without free space does not touch the meter";
}

TEST_F(FreeSpace, CancelStopsAfterTheChunkAndTakesTheFillersAway) {
  LoopImage image(32, 4096, "cancel");
  OMREK_REQUIRE_MOUNTED(image);
  const std::int64_t free = QueryDiskSpace(image.MountPoint()).FreeBytes;
  monitor_.onPump = [&] {
    if (monitor_.statuses.size() == 3) engine_.CancelFlag = true;
  };

  Wipe().WipeSelectedDrives(Picked(image));

  EXPECT_EQ(monitor_.statuses.back(), "DRIVE " + Letter(image));
  EXPECT_EQ(engine_.Progress, 3 * 32) << "three chunks, then Cancel";
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
  EXPECT_EQ(QueryDiskSpace(image.MountPoint()).FreeBytes, free);

  // A stop asked for as the disk fills (a signal, on the command line, that
  // lands while the last writes find no room) still reads stopped, never
  // wiped.
  test::InjectedFault full(test::FaultedCall::Write, image.MountPoint(), ENOSPC, 12);
  StopOnceFull monitor(engine_, full);
  FreeSpaceWipe wipe(
      engine_, monitor, profile_, [] { return false; }, diskInfo_);
  std::vector<Outcome> outcomes;
  wipe.TellOutcomes([&](const TargetOutcome& done) { outcomes.push_back(done.outcome); });
  engine_.CancelFlag = false;
  wipe.WipeSelectedDrives(Picked(image));
  EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::DriveStopped});
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
}

TEST_F(FreeSpace, EveryFillerFileGoesAfterTheChangeToTheNext) {
  LoopImage image(16, 4096, "rollover");
  OMREK_REQUIRE_MOUNTED(image);
  const std::int64_t free = QueryDiskSpace(image.MountPoint()).FreeBytes;
  int mostFillers = 0;
  monitor_.onPump = [&] { mostFillers = std::max(mostFillers, FillerFilesIn(image.MountPoint())); };
  FreeSpaceWipe wipe = Wipe();
  wipe.chunksPerFile = 2;

  wipe.WipeSelectedDrives(Picked(image));

  EXPECT_GE(mostFillers, 4) << "a new filler file every two megabytes";
  EXPECT_TRUE(fs::exists(image.File("Omrek-Delete This File if you see it 001")) == false);
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
  EXPECT_EQ(QueryDiskSpace(image.MountPoint()).FreeBytes, free);
}

TEST_F(FreeSpace, AFillerFileThatCannotBeMadeEndsTheDriveWithTheError) {
  LoopImage image(8, 4096, "readonly");
  OMREK_REQUIRE_MOUNTED(image);
  ASSERT_TRUE(test::RunQuietly("mount -o remount,ro '" + image.MountPoint() + "'"));

  try {
    Wipe().WipeSelectedDrives(Picked(image));
    ADD_FAILURE() << "the error must reach the user";
  } catch (const IoError& error) {
    EXPECT_STREQ(error.what(), "the file system is read-only");
  }
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
}

TEST_F(FreeSpace, TheSweepRunsFirstWhenAskedFor) {
  LoopImage image(8, 4096, "sweepfirst");
  OMREK_REQUIRE_MOUNTED(image);
  test::WriteFile(image.File("a"), "a");

  Wipe(true).WipeSelectedDrives(Picked(image));

  EXPECT_EQ(monitor_.statuses.front(), "FILE SLACK");
  EXPECT_TRUE(fs::exists(image.File("Omrek Slack Skipped Files.log")));
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
}

TEST_F(FreeSpace, ADriveUnmountedSinceItWasPickedIsNeverMistakenForAnother) {
  LoopImage image(8, 4096, "gone");
  OMREK_REQUIRE_MOUNTED(image);
  const auto picked = Picked(image);
  image.Unmount();

  Wipe().WipeSelectedDrives(picked);

  EXPECT_EQ(monitor_.messages,
            std::vector<std::string>{"No empty space to wipe on Drive " + std::string(1, picked[0].letter)});
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0) << "nothing written into the folder it was mounted on";
  EXPECT_EQ(engine_.WorkTotal, 0);
}

TEST_F(FreeSpace, TheStatusCountsTheMegabytesWritten) {
  test::TmpfsMount ram;
  if (!ram.Mounted()) GTEST_SKIP() << ram.Reason();
  LeaveFree(ram.MountPoint(), 7 * kMiB / 2);

  Wipe().WipeSelectedDrives(Picked(ram.MountPoint()));

  ASSERT_GE(monitor_.lines.size(), 4u);
  EXPECT_EQ(monitor_.lines[0][1], "1 meg");
  EXPECT_EQ(monitor_.lines[2][1], "3 megs");
  EXPECT_EQ(monitor_.lines.back()[1], "4 megs") << "the last half megabyte, in pieces, counts as one begun";
}

TEST_F(FreeSpace, AsRootNoFreeBlockKeepsADeletedFilesDataAndTheReserveComesBack) {
  LoopImage image(96, "reserve");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string pool = ReservedClusters(image);
  ASSERT_NE(pool, "0");
  const std::int64_t free = QueryDiskSpace(image.MountPoint()).FreeBytes;
  ASSERT_GT(WriteMarkedFile(image.File("secret"), free), free * 9 / 10);
  ::sync();
  fs::remove(image.File("secret"));
  ::sync();
  profile_.inversion = profile_.randomize = profile_.nullify1 = profile_.nullify2 = false;
  std::set<std::string> poolWhileFilling;
  monitor_.onPump = [&] { poolWhileFilling.insert(ReservedClusters(image)); };

  Wipe().WipeSelectedDrives(Picked(image));

  EXPECT_EQ(poolWhileFilling, std::set<std::string>{"0"});
  EXPECT_EQ(ReservedClusters(image), pool);
  EXPECT_TRUE(monitor_.messages.empty()) << monitor_.messages.front();
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
  image.Unmount();
  EXPECT_EQ(test::ReadWholeFile(image.ImagePath()).find(kMarker), std::string::npos);
}

std::size_t MarkerCopies(const LoopImage& image) {
  const std::string bytes = test::ReadWholeFile(image.ImagePath());
  std::size_t copies = 0;
  for (auto at = bytes.find(kMarker); at != std::string::npos; at = bytes.find(kMarker, at + 1)) ++copies;
  return copies;
}

// Small blocks: the last free ones, less than a page, are written too, and
// so are the blocks the fillers' own extents took, before the fillers give
// them back. btrfs keeps small files inside its metadata, out of the
// fillers' reach: the drive's line says how much of it stayed unwritten.
TEST_F(FreeSpace, AsRootNoFreeBlockOf1KiBKeepsDeletedDataAndBtrfsTellsTheMetadataLeft) {
  profile_.inversion = profile_.randomize = profile_.nullify1 = profile_.nullify2 = false;
  std::vector<TargetOutcome> told;
  const auto wipe = [&](const LoopImage& image) {
    told.clear();
    FreeSpaceWipe wipe = Wipe();
    wipe.TellOutcomes([&](const TargetOutcome& done) { told.push_back(done); });
    wipe.WipeSelectedDrives(Picked(image));
  };
  {
    LoopImage image(32, 1024, "onekib");
    OMREK_REQUIRE_MOUNTED(image);
    {
      // The deleted files held the reserve's blocks too. Each is small
      // enough to keep its extents in its inode, so that every block a
      // filler's extents take held deleted data.
      const LoweredReserve lowered(image.MountPoint());
      for (int file = 0; WriteMarkedFile(image.File("secret" + std::to_string(file)), kMiB) == kMiB; ++file) {
      }
    }
    ::sync();
    for (const auto& entry : fs::directory_iterator(image.MountPoint())) {
      if (entry.path().filename().string().starts_with("secret")) fs::remove(entry.path());
    }
    ::sync();
    std::int64_t freeAfterTheLastPiece = -1;
    monitor_.onPump = [&] { freeAfterTheLastPiece = QueryDiskSpace(image.MountPoint()).FreeBytes; };
    wipe(image);
    monitor_.onPump = nullptr;
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(CommandLineText(told[0]),
              std::string("DRIVE ") + told[0].drive + " " + MegText(told[0].bytes) + " WIPED");
    EXPECT_EQ(freeAfterTheLastPiece, 0);
    image.Unmount();
    EXPECT_EQ(MarkerCopies(image), 0u);
  }
  LoopImage image(LoopImage::Kind{"btrfs"}, 128, "inline");
  OMREK_REQUIRE_MOUNTED(image);
  for (int file = 0; file < 50; ++file) WriteMarkedFile(image.File("small" + std::to_string(file)), 1000);
  ::sync();
  for (int file = 0; file < 50; ++file) fs::remove(image.File("small" + std::to_string(file)));
  ::sync();
  engine_.CancelFlag = false;
  wipe(image);
  ASSERT_EQ(told.size(), 1u);
  const std::regex metadataLeft(std::string("DRIVE ") + told[0].drive +
                                " [0-9]+ megs WIPED \\(btrfs keeps small files inside its metadata; ([0-9]+) MiB "
                                "of freed metadata was not overwritten\\)");
  std::smatch left;
  const std::string line = CommandLineText(told[0]);
  ASSERT_TRUE(std::regex_match(line, left, metadataLeft)) << line;
  // Some of the metadata, less than mkfs gave it (32 MiB at this size).
  EXPECT_GT(std::stoi(left[1]), 0);
  EXPECT_LE(std::stoi(left[1]), 32);
  EXPECT_EQ(ReportText(told[0]), "WIPED" + line.substr(line.find(" (")));
  image.Unmount();
  RecordProperty("markers_left_on_btrfs", static_cast<int>(MarkerCopies(image)));
}

TEST_F(FreeSpace, EachPassReachesTheDiskBeforeTheNextOverwritesItAndLastPassesShareFlushes) {
  LoopImage image(48, 4096, "flushes");
  OMREK_REQUIRE_MOUNTED(image);
  if (!FlushesOf(image)) GTEST_SKIP() << image.Device() << " counts no flushes";
  // Three passes over each chunk: two flushes between them, whatever the
  // file system adds.
  profile_.inversion = profile_.nullifyCustom = false;
  std::uint64_t before = *FlushesOf(image);
  Wipe().WipeSelectedDrives(Picked(image));
  const std::int64_t chunks = engine_.Progress / FreeSpaceWipe::kChunkBlocks;
  ASSERT_GE(chunks, 32);
  EXPECT_GE(*FlushesOf(image) - before, static_cast<std::uint64_t>(2 * chunks));

  // One pass: nothing overwrites a chunk, and the fillers take the drive in
  // one flush, not one for each megabyte. The file system adds its own: a
  // write that finds the disk full commits the journal before it fails.
  profile_.randomize = profile_.nullify2 = false;
  engine_.CancelFlag = false;
  before = *FlushesOf(image);
  Wipe().WipeSelectedDrives(Picked(image));
  EXPECT_LT(*FlushesOf(image) - before, static_cast<std::uint64_t>(chunks / 2));
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
}

TEST_F(FreeSpace, UnprivilegedTheMessageNamesTheMegabytesLeftOut) {
  LoopImage image(32, "unprivileged");
  OMREK_REQUIRE_MOUNTED(image);
  ::chmod(image.MountPoint().c_str(), 0777);
  // Out of an ordinary user's reach: the blocks kept for root and the pool.
  const std::uint64_t block = SuperblockField(image, "Block size");
  const std::uint64_t reserved = SuperblockField(image, "Reserved block count") + std::stoull(ReservedClusters(image));
  const std::string expected = std::to_string((reserved * block + kMiB - 1) / kMiB) + " MiB on Drive " + Letter(image) +
                               " stayed unwritten: the file system keeps them in reserve" + " (File access denied)";

  // Nobody's HOME is root's here: the journal goes where nobody may write.
  test::TempDir state;
  fs::permissions(state.Path(), fs::perms::all);

  EXPECT_EQ(test::RunTestCaseAsNobody(
                "FreeSpaceChild.ToldWhatStayedUnwritten",
                {{"OMREK_ROOT", image.MountPoint()}, {"OMREK_MESSAGE", expected}, {"XDG_STATE_HOME", state.Path()}}),
            0);
  EXPECT_EQ(FillerFilesIn(image.MountPoint()), 0);
}

TEST(FreeSpaceChild, ToldWhatStayedUnwritten) {
  const std::string root = test::ChildArgument("OMREK_ROOT");
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  TDiskInfo diskInfo;
  FreeSpaceWipe(
      engine, monitor, profile, [] { return false; }, diskInfo)
      .WipeSelectedDrives({{DriveTable::Read().LetterOf(root), root}});
  EXPECT_EQ(monitor.messages, std::vector<std::string>{test::ChildArgument("OMREK_MESSAGE")});
}

TEST(FreeSpaceChild, RefusedWithoutAJournal) {
  const std::string root = test::ChildArgument("OMREK_ROOT");
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  TDiskInfo diskInfo;
  FreeSpaceWipe wipe(
      engine, monitor, profile, [] { return false; }, diskInfo);
  std::vector<TargetOutcome> told;
  wipe.TellOutcomes([&](const TargetOutcome& done) { told.push_back(done); });
  EXPECT_THROW(wipe.WipeSelectedDrives({{DriveTable::Read().LetterOf(root), root}}), IoError);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].outcome, Outcome::DriveFailed);
  EXPECT_EQ(told[0].detail, "cannot keep the journal of work in flight in " + test::ChildArgument("HOME") +
                                "/.local/state/omrek: File not found");
}

TEST(FreeSpaceChild, KilledWhileThePoolIsEmpty) {
  const LoweredReserve lowered(test::ChildArgument("OMREK_ROOT"));
  ::raise(SIGKILL);
}

TEST_F(FreeSpace, FillersOfAKilledRunGoAtTheNextStartAndBeforeTheNextFilling) {
  LoopImage image(32, 4096, "leftovers");
  OMREK_REQUIRE_MOUNTED(image);
  ASSERT_TRUE(test::RunQuietly("fallocate -l 3M '" + image.File(FillerFileName(1)) + "'"));
  ASSERT_TRUE(test::RunQuietly("fallocate -l 1536K '" + image.File(FillerFileName(2)) + "'"));
  test::WriteFile(image.File(FillerFileName(1000)), "");
  const std::vector<std::string> others{"Omrek-Delete This File if you see it 01",
                                        "Omrek-Delete This File if you see it 001.txt", FillerFileName(3)};
  test::WriteFile(image.File(others[0]), "mine");
  test::WriteFile(image.File(others[1]), "mine too");
  fs::create_directory(image.File(others[2]));
  // The run was killed while the pool was empty.
  const std::string pool = ReservedClusters(image);
  test::RunTestCaseInChild("FreeSpaceChild.KilledWhileThePoolIsEmpty", {{"OMREK_ROOT", image.MountPoint()}});
  if (::geteuid() == 0) {
    EXPECT_EQ(ReservedClusters(image), "0");
  }

  const StoppedRunRepairs repairs = RepairStoppedRuns(monitor_);

  EXPECT_EQ(ReservedClusters(image), pool);
  EXPECT_NE(
      std::find(repairs.repaired.begin(), repairs.repaired.end(), "put back the ext4 reserve of " + image.MountPoint()),
      repairs.repaired.end());
  EXPECT_EQ(monitor_.lines.back(), (std::array<std::string, 3>{"LEFTOVERS", "3 files", "5 megs freed"}));
  for (const std::string& name : others) EXPECT_TRUE(fs::exists(image.File(name))) << name;
  for (const int number : {1, 2, 1000}) EXPECT_FALSE(fs::exists(image.File(FillerFileName(number)))) << number;

  // A leftover found when the drive is wiped goes first, so its blocks
  // are filled over like any other free space.
  ASSERT_EQ(WriteMarkedFile(image.File(FillerFileName(7)), 2 * kMiB), 2 * kMiB);
  profile_.inversion = profile_.randomize = profile_.nullify1 = profile_.nullify2 = false;
  Wipe().WipeSelectedDrives(Picked(image));
  EXPECT_FALSE(fs::exists(image.File(FillerFileName(7))));
  image.Unmount();
  EXPECT_EQ(test::ReadWholeFile(image.ImagePath()).find(kMarker), std::string::npos);
}

// Another copy of the program holds the drive (here the test, by its
// lock). Its closed fillers are no leftovers to the start-up clean-up; a
// wipe with no time to wait refuses the drive at once, one without a limit
// waits, saying so, until Cancel. Either way the drive reads "BUSY" and is
// left as it was. Free again, it is wiped and given back when done; where
// no journal can be kept, it is refused with the reason.
TEST_F(FreeSpace, ADriveAnotherCopyHoldsIsWaitedForUntilCancelAndLeftAsItWas) {
  LoopImage image(16, 4096, "busy");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  const std::string filler = image.File(FillerFileName(1));
  ASSERT_TRUE(test::RunQuietly("fallocate -l 1M '" + filler + "'"));
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;
  std::vector<Outcome> outcomes;
  const auto wipe = [&](std::optional<std::chrono::seconds> longestWait) {
    FreeSpaceWipe busy = Wipe();
    busy.longestWait = longestWait;
    busy.TellOutcomes([&](const TargetOutcome& done) { outcomes.push_back(done.outcome); });
    busy.WipeSelectedDrives(Picked(image));
    engine_.CancelFlag = false;
  };
  {
    const std::optional<FileSystemLock> otherCopy = FileSystemLock::TryTake(root);
    ASSERT_TRUE(otherCopy);
    EXPECT_FALSE(FileSystemLock::TryTake(root)) << "one holder, within one process too";
    DeleteLeftoverFillersOfAllDrives();
    EXPECT_TRUE(fs::exists(filler));
    monitor_.lines.clear();

    wipe(std::chrono::seconds(0));
    EXPECT_EQ(monitor_.pumps, 0) << "refused without waiting";
    monitor_.onPump = [&] { engine_.CancelFlag = monitor_.pumps == 3; };
    wipe(std::nullopt);
  }
  const std::array<std::string, 3> busy{"DRIVE " + Letter(image), "BUSY", ""};
  EXPECT_EQ(monitor_.lines, (std::vector<std::array<std::string, 3>>{
                                busy, {"waiting for", "another Omrek", "on Drive " + Letter(image)}, busy}));
  EXPECT_EQ(monitor_.pumps, 3) << "Cancel ends the wait";
  EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::DriveBusy, Outcome::DriveBusy}));
  EXPECT_TRUE(fs::exists(filler));
  EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);
  EXPECT_EQ(monitor_.meterFull, 0);

  monitor_.onPump = nullptr;
  wipe(std::nullopt);
  EXPECT_EQ(outcomes.back(), Outcome::DriveWiped);
  EXPECT_FALSE(fs::exists(filler)) << "a leftover, once no copy holds its drive";
  EXPECT_TRUE(FileSystemLock::TryTake(root)) << "the drive is given back when done";

  test::TempDir home;
  EXPECT_EQ(test::RunTestCaseAsNobody("FreeSpaceChild.RefusedWithoutAJournal",
                                      {{"OMREK_ROOT", root}, {"HOME", home.Path()}, {"XDG_STATE_HOME", ""}}),
            0);
}

// Files named like fillers that are not provably a killed run's: another
// user's, and a second name of root's own file. Neither the clean-up nor a
// whole wipe may delete or empty them; the wipe names them and numbers its
// fillers past them.
TEST_F(FreeSpace, OnlyTheUsersOwnSingleLinkedFillersGoAndNoneIsEverReplaced) {
  LoopImage image(16, 4096, "notours");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  const std::string othersFile = test::WriteFile(image.File(FillerFileName(1)), "another user's data");
  ASSERT_EQ(::chown(othersFile.c_str(), 65534, 65534), 0);
  const std::string kept = test::WriteFile(image.File("kept"), "root's data");
  const std::string secondName = image.File(FillerFileName(2));
  ASSERT_EQ(::link(kept.c_str(), secondName.c_str()), 0);
  ASSERT_TRUE(test::RunQuietly("fallocate -l 1M '" + image.File(FillerFileName(3)) + "'"));

  RepairStoppedRuns(monitor_);

  EXPECT_EQ(monitor_.lines.back(), (std::array<std::string, 3>{"LEFTOVERS", "1 file", "1 meg freed"}));
  EXPECT_TRUE(monitor_.messages.empty()) << "the start names nothing: it would do so at every start";
  EXPECT_FALSE(fs::exists(image.File(FillerFileName(3))));

  const std::int64_t free = QueryDiskSpace(root).FreeBytes;
  std::set<std::string> fillersSeen;
  monitor_.onPump = [&] {
    for (const auto& entry : fs::directory_iterator(root)) fillersSeen.insert(entry.path().filename().string());
  };
  FreeSpaceWipe wipe = Wipe();
  wipe.chunksPerFile = 2;
  wipe.WipeSelectedDrives(Picked(image));

  std::vector<std::string> told = monitor_.messages;
  std::sort(told.begin(), told.end());
  EXPECT_EQ(told, (std::vector<std::string>{"left " + othersFile + ": owned by another user",
                                            "left " + secondName + ": more than one link"}));
  // Compared whole but never printed: a filler written over them is megabytes.
  EXPECT_TRUE(test::ReadWholeFile(othersFile) == "another user's data");
  EXPECT_TRUE(test::ReadWholeFile(kept) == "root's data");
  EXPECT_EQ(fs::hard_link_count(kept), 2u);
  EXPECT_TRUE(fillersSeen.contains(FillerFileName(3)) && fillersSeen.contains(FillerFileName(4)))
      << "the fillers take the numbers after the names in use";
  EXPECT_EQ(FillerFilesIn(root), 2);
  EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);
}

TEST_F(FreeSpace, OnlyAFullDiskEndsTheFillingQuietly) {
  LoopImage image(16, 4096, "faults");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string root = image.MountPoint();
  const std::string pool = ReservedClusters(image);
  const std::int64_t free = QueryDiskSpace(root).FreeBytes;
  struct Fault {
    test::FaultedCall call;
    int error;
    std::string shown;  // empty: nothing reaches the error box
  };
  for (const Fault& fault :
       {Fault{test::FaultedCall::Write, EIO, "I/O error 5"}, Fault{test::FaultedCall::Flush, EIO, "I/O error 5"},
        Fault{test::FaultedCall::Write, ENOSPC, ""}}) {
    SCOPED_TRACE(fault.error);
    monitor_.lines.clear();
    std::string shown;
    {
      test::InjectedFault injected(fault.call, root, fault.error, 12);
      try {
        Wipe().WipeSelectedDrives(Picked(image));
      } catch (const IoError& error) {
        shown = error.what();
      }
      EXPECT_GT(injected.Failures(), 0);
    }
    EXPECT_EQ(shown, fault.shown);
    ASSERT_FALSE(monitor_.lines.empty());
    EXPECT_EQ(monitor_.lines.back()[2], fault.shown.empty() ? "WIPED" : "FAILED");
    EXPECT_EQ(FillerFilesIn(root), 0);
    EXPECT_EQ(QueryDiskSpace(root).FreeBytes, free);
    EXPECT_EQ(ReservedClusters(image), pool);
  }
  EXPECT_TRUE(monitor_.messages.empty());

  // A device that quietly stores something else: the read-back catches it.
  std::string shown;
  engine_.CancelFlag = false;
  {
    test::CorruptedWrites corrupt(root, 12);
    try {
      Wipe().WipeSelectedDrives(Picked(image));
    } catch (const IoError& error) {
      shown = error.what();
    }
  }
  EXPECT_EQ(shown, "I/O error 5");
  EXPECT_EQ(monitor_.lines.back()[2], "FAILED");
  EXPECT_EQ(FillerFilesIn(root), 0);
}

}  // namespace
}  // namespace omrek
