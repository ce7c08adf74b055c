#include "disk/FreeSpaceWipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "disk/DiskInfo.h"
#include "platform/DriveTable.h"
#include "platform/IoError.h"
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

class FreeSpace : public ::testing::Test {
 protected:
  FreeSpace() : monitor_(engine_) {
    engine_.TimeOfDaySeed = [] { return 99u; };
  }

  FreeSpaceWipe Wipe(bool sweep = false) {
    return FreeSpaceWipe(
        engine_, monitor_, profile_, [sweep] { return sweep; }, diskInfo_);
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
    EXPECT_STREQ(error.what(), "I/O error 30");
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

}  // namespace
}  // namespace omrek
