#include "disk/DiskInfo.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "disk/SlackWipe.h"
#include "engine/ClusterSize.h"
#include "platform/DriveTable.h"
#include "tests/support/Extents.h"
#include "tests/support/LoopImage.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorRows.h"

namespace omrek {
namespace {

using test::LoopImage;

struct Snapshot {
  char disk;
  std::string serialText, label, fileSystem, root;
  std::uint32_t serial;
  TDriveType type;
  std::int64_t size, free;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TDiskInfo& info) {
  return {info.Disk(),         info.SerialNumberStr(), info.VolumeLabel(), info.FileSystem(), info.RootDirectory(),
          info.SerialNumber(), info.DriveType(),       info.DiskSize(),    info.DiskFree()};
}

char FreeLetter() {
  const DriveTable table = DriveTable::Read();
  for (char letter = 'Z'; letter > 'C'; --letter) {
    if (!table.Find(letter)) return letter;
  }
  return 0;
}

TEST(SerialNumberText, EightHexDigitsWithADash) {
  EXPECT_EQ(SerialNumberText(0x2E1817E6), "2E18-17E6");
  EXPECT_EQ(SerialNumberText(0), "0000-0000");
  EXPECT_EQ(SerialNumberText(0xABCDEF01), "ABCD-EF01");
}

TEST(DiskInfo, StartsOnDriveC) {
  TDiskInfo info;
  EXPECT_EQ(info.Disk(), 'C');
  EXPECT_EQ(info.RootDirectory(), "/");
  EXPECT_EQ(info.DriveType(), dtFixed);
  EXPECT_GT(info.DiskSize(), 0);
}

TEST(DiskInfo, ALowerCaseLetterDescribesThatDrive) {
  LoopImage image(16, 4096, "infolabel");
  OMREK_REQUIRE_MOUNTED(image);
  const char letter = DriveTable::Read().LetterOf(image.MountPoint());
  ASSERT_NE(letter, 0);

  TDiskInfo info;
  info.SetDisk(static_cast<char>(letter + ('a' - 'A')));
  EXPECT_EQ(info.Disk(), letter);
  EXPECT_EQ(info.VolumeLabel(), "infolabel");
  EXPECT_EQ(info.FileSystem(), "ext4");
  EXPECT_EQ(info.DriveType(), dtFixed);
  EXPECT_EQ(info.RootDirectory(), image.MountPoint());
  EXPECT_EQ(info.SerialNumberStr(), SerialNumberText(info.SerialNumber()));
  EXPECT_NE(info.SerialNumber(), 0u);
  EXPECT_GT(info.DiskSize(), info.DiskFree());
  EXPECT_GT(info.DiskFree(), 0);
}

TEST(ClusterSize, MeasuredPerDriveAndPerFile) {
  LoopImage small(16, 1024, "small");
  LoopImage large(32, 4096, "large");
  OMREK_REQUIRE_MOUNTED(small);
  OMREK_REQUIRE_MOUNTED(large);
  const std::string smallFile = test::WriteFile(small.File("f"), "x");
  const std::string largeFile = test::WriteFile(large.File("f"), "x");

  TDiskInfo info;
  std::uint32_t clusterSize = 32768;
  MeasureClusterSizeOfPath(clusterSize, smallFile);
  EXPECT_EQ(clusterSize, 1024u);
  MeasureClusterSizeOfPath(clusterSize, largeFile);
  EXPECT_EQ(clusterSize, 4096u);

  MeasureClusterSize(info, clusterSize, DriveTable::Read().LetterOf(small.MountPoint()));
  EXPECT_EQ(clusterSize, 1024u);
  EXPECT_EQ(info.VolumeLabel(), "small");
}

TEST(ClusterSize, NothingToMeasureChangesNothing) {
  LoopImage image(16, 1024, "kept");
  OMREK_REQUIRE_MOUNTED(image);
  TDiskInfo info;
  std::uint32_t clusterSize = 32768;
  MeasureClusterSize(info, clusterSize, DriveTable::Read().LetterOf(image.MountPoint()));
  ASSERT_EQ(clusterSize, 1024u);
  const Snapshot before = Take(info);

  const char unmounted = FreeLetter();
  ASSERT_NE(unmounted, 0);
  for (const char character : {'1', '*', unmounted}) {
    MeasureClusterSize(info, clusterSize, character);
    info.SetDisk(character);
    EXPECT_EQ(clusterSize, 1024u) << character;
    EXPECT_TRUE(Take(info) == before) << character;
  }
  MeasureClusterSizeOfPath(clusterSize, image.File("not-there"));
  EXPECT_EQ(clusterSize, 1024u);
  EXPECT_TRUE(Take(info) == before);
}

TEST(ClusterSize, BigallocClustersAreMeasuredAndWipedToTheirEnd) {
  LoopImage image(64, "bigalloc", "-O bigalloc -C 16384");
  OMREK_REQUIRE_MOUNTED(image);
  constexpr std::uint32_t kCluster = 16384;
  // A file that once filled its cluster, cut to 1000 bytes: the rest of
  // the cluster keeps the old bytes on the disk.
  const std::string file = test::WriteFile(image.File("f"), std::string(kCluster, 'M'));
  ::sync();
  std::filesystem::resize_file(file, 1000);
  ::sync();

  TDiskInfo info;
  std::uint32_t clusterSize = 512;
  MeasureClusterSize(info, clusterSize, DriveTable::Read().LetterOf(image.MountPoint()));
  EXPECT_EQ(clusterSize, kCluster);
  clusterSize = 512;
  MeasureClusterSizeOfPath(clusterSize, file);
  EXPECT_EQ(clusterSize, kCluster);

  ShredEngine engine;
  test::RecordingMonitor monitor(engine);
  StoredWipeProfile profile;
  test::VectorRows rows({file});
  SlackWipe(engine, monitor, profile).WipeListedFiles(rows);
  ::sync();

  const std::uint64_t start = test::PhysicalExtents(file).at(0).physical;
  const std::string slack = test::ReadRange(image.ImagePath(), start + 1000, kCluster - 1000);
  EXPECT_EQ(slack.find('M'), std::string::npos) << "old bytes left in the cluster's slack";
}

}  // namespace
}  // namespace omrek
