#include "platform/DriveTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QTest>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "platform/InPlaceCaveat.h"
#include "platform/MountProbe.h"
#include "tests/support/LoopImage.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::TempDir;

std::optional<Drive> DriveMountedAt(const std::string& mountPoint) {
  for (const Drive& drive : DriveTable::Read().Drives()) {
    if (drive.RootDirectory == mountPoint) return drive;
  }
  return std::nullopt;
}

// Mounts a fresh btrfs image at `mountPoint`; false where that cannot be done here.
bool MountBtrfs(const std::string& image, const std::string& mountPoint) {
  ::mkdir(mountPoint.c_str(), 0755);
  return test::RunQuietly("command -v mkfs.btrfs") &&
         test::RunQuietly("truncate -s 128M " + image + " && mkfs.btrfs -q " + image + " && mount -o loop " + image +
                          " " + mountPoint);
}

TEST(DriveTable, LettersFollowTheRootThenMountPointsAsText) {
  TempDir dir;
  for (const char* name : {"a", "b", "c", "run", "zz"}) std::filesystem::create_directory(dir.File(name));
  const std::vector<MountEntry> mounts{
      {8, 1, dir.File("zz"), "ext4", "/dev/sdz"},      {0, 20, "/proc", "proc", "proc"},
      {8, 2, dir.File("b"), "xfs", "/dev/sdb"},        {254, 0, "/", "ext4", "/dev/vda"},
      {8, 2, dir.File("a"), "xfs", "/dev/sdb"},         // the same device again
      {0, 30, dir.File("c"), "tmpfs", "tmpfs"},         // a RAM disk of the user's
      {0, 31, "/run/user", "tmpfs", "tmpfs"},           // one the system keeps
      {0, 32, dir.File("run"), "cgroup2", "cgroup2"},   // virtual
      {9, 9, dir.File("missing"), "ext4", "/dev/sdq"},  // nothing there to hold files
  };
  const DriveTable table = DriveTable::FromMounts(mounts);
  EXPECT_EQ(table.LetterOf("/"), 'C');
  EXPECT_EQ(table.LetterOf(dir.File("a")), 'D') << "first of the two mounts of one device";
  EXPECT_EQ(table.LetterOf(dir.File("b")), 0);
  EXPECT_EQ(table.LetteredMountOf(dir.File("b")), std::pair('D', dir.File("a"))) << "its device's lettered mount";
  EXPECT_EQ(table.LetteredMountOf(dir.File("zz")), std::pair('F', dir.File("zz")));
  EXPECT_FALSE(table.LetteredMountOf("/run/user"));
  EXPECT_EQ(table.LetterOf(dir.File("c")), 'E');
  EXPECT_EQ(table.LetterOf(dir.File("zz")), 'F');
  EXPECT_EQ(table.LetterOf("/proc"), 0);
  EXPECT_EQ(table.LetterOf("/run/user"), 0);
  EXPECT_EQ(table.LetterOf(dir.File("run")), 0);
  EXPECT_EQ(table.LetterOf(dir.File("missing")), 0);
}

TEST(DriveTable, FileSystemsWithoutADiskOfTheirOwnAreNeverFixed) {
  // Overlay layers and FUSE mounts are listed like network drives, so the
  // preselection of fixed drives never picks them.
  TempDir dir;
  for (const char* name : {"layers", "fuse"}) std::filesystem::create_directory(dir.File(name));
  const DriveTable table = DriveTable::FromMounts({{254, 0, "/", "ext4", "/dev/vda"},
                                                   {0, 70, dir.File("layers"), "overlay", "overlay"},
                                                   {0, 71, dir.File("fuse"), "fuse.rclone", "remote:"}});
  ASSERT_EQ(table.Drives().size(), 3u);
  for (const Drive& drive : table.Drives()) {
    if (drive.Letter != 'C') {
      EXPECT_EQ(drive.Kind, DriveKind::Remote) << drive.RootDirectory;
    }
  }
}

TEST(DriveTable, NothingPastZ) {
  TempDir dir;
  std::vector<MountEntry> mounts{{254, 0, "/", "ext4", "/dev/vda"}};
  for (unsigned i = 0; i < 30; ++i) {
    const std::string folder = dir.File("m" + std::to_string(100 + i));
    std::filesystem::create_directory(folder);
    mounts.push_back({0, 100 + i, folder, "tmpfs", "tmpfs"});
  }
  const DriveTable table = DriveTable::FromMounts(mounts);
  EXPECT_EQ(table.LetterOf(dir.File("m122")), 'Z');
  EXPECT_EQ(table.LetterOf(dir.File("m123")), 0);
}

TEST(DriveTable, LoopMountedExt4ImagesWithTheirFacts) {
  for (const int blockSize : {1024, 4096}) {
    const std::string label = "blocks" + std::to_string(blockSize);
    LoopImage image(32, blockSize, label);
    OMREK_REQUIRE_MOUNTED(image);

    const auto drive = DriveMountedAt(image.MountPoint());
    ASSERT_TRUE(drive) << label;
    EXPECT_GE(drive->Letter, 'D');
    EXPECT_LE(drive->Letter, 'Z');
    EXPECT_EQ(drive->Kind, DriveKind::Fixed);
    EXPECT_EQ(drive->FileSystem, "ext4");
    EXPECT_EQ(drive->Label, label);
    EXPECT_EQ(drive->DisplayName(), label + " (" + drive->Letter + ":)");
    const std::string uuid = test::OutputOf("blkid -p -s UUID -o value " + image.Device());
    ASSERT_GE(uuid.size(), 8u);
    EXPECT_EQ(drive->Serial, std::stoul(uuid.substr(0, 8), nullptr, 16));
    EXPECT_EQ(drive->ClusterSize(), static_cast<std::uint32_t>(blockSize));

    struct statvfs space {};
    ASSERT_EQ(::statvfs(image.MountPoint().c_str(), &space), 0);
    EXPECT_EQ(drive->TotalBytes, static_cast<std::int64_t>(space.f_blocks * space.f_frsize));
    // Root may fill the blocks kept back from other users too.
    EXPECT_EQ(drive->FreeBytes, static_cast<std::int64_t>(space.f_bfree * space.f_frsize));
    EXPECT_EQ(DriveTable::Read().Find(static_cast<char>(drive->Letter + 32))->RootDirectory, image.MountPoint())
        << "found by a lower-case letter too";
  }
}

TEST(DriveTable, TmpfsIsARamDiskAndLeavesWhenUnmounted) {
  test::TmpfsMount ram;
  if (!ram.Mounted()) GTEST_SKIP() << ram.Reason();
  const auto drive = DriveMountedAt(ram.MountPoint());
  ASSERT_TRUE(drive);
  EXPECT_EQ(drive->Kind, DriveKind::RamDisk);
  EXPECT_EQ(drive->FileSystem, "tmpfs");
  EXPECT_EQ(drive->DisplayName(), ram.MountPoint() + " (" + drive->Letter + ":)");

  ram.Unmount();
  EXPECT_FALSE(DriveMountedAt(ram.MountPoint()));
}

TEST(VolumeHoldingPath, FindsTheFileSystemOfAnyPath) {
  LoopImage image(16, 1024, "holder");
  OMREK_REQUIRE_MOUNTED(image);
  std::filesystem::create_directories(image.File("deep/er"));
  test::WriteFile(image.File("deep/er/file"), "x");

  const auto volume = VolumeHoldingPath(image.File("deep/er/file"));
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->RootDirectory, image.MountPoint());
  EXPECT_EQ(volume->ClusterSize(), 1024u);
  EXPECT_EQ(VolumeHoldingPath("/")->RootDirectory, "/");
  EXPECT_FALSE(VolumeHoldingPath(image.File("not/there")));

  // btrfs gives the files of each subvolume a device number of its own,
  // which no mount lists: the mount is still found for them.
  TempDir dir;
  const std::string mountPoint = dir.File("mnt");
  if (!MountBtrfs(dir.File("btrfs.img"), mountPoint)) GTEST_SKIP() << "cannot mount a btrfs image here";
  const bool subvolume = test::RunQuietly("btrfs subvolume create " + mountPoint + "/sub && echo x > " + mountPoint +
                                          "/sub/file && mkdir " + mountPoint + "/top");
  const auto ofMount = VolumeHoldingPath(mountPoint);
  const auto ofFolder = VolumeHoldingPath(mountPoint + "/top");
  const auto ofSubvolume = VolumeHoldingPath(mountPoint + "/sub");
  const auto ofFile = VolumeHoldingPath(mountPoint + "/sub/file");
  test::RunQuietly("umount " + mountPoint);
  ASSERT_TRUE(subvolume) << "cannot make a btrfs subvolume here";
  for (const auto& found : {ofMount, ofFolder, ofSubvolume, ofFile}) {
    ASSERT_TRUE(found);
    EXPECT_EQ(found->RootDirectory, mountPoint);
    EXPECT_EQ(found->FileSystem, "btrfs");
  }
}

// A copy-on-write file system writes changed data elsewhere: the caveat
// names it; ext4 on a spinning (loop) device has none.
TEST(InPlaceCaveats, CopyOnWriteIsNamedAndExt4OnADiskIsNot) {
  LoopImage ext4(16, 4096, "plain");
  OMREK_REQUIRE_MOUNTED(ext4);
  InPlaceCaveats caveats;
  EXPECT_FALSE(caveats.Of(ext4.MountPoint()).has_value());

  test::TempDir dir;
  const std::string mountPoint = dir.File("mnt");
  if (!MountBtrfs(dir.File("btrfs.img"), mountPoint)) GTEST_SKIP() << "cannot mount a btrfs image here";
  const auto caveat = caveats.Of(mountPoint);
  // A file in a subvolume has a device of its own, which no mount lists:
  // its caveat still names the mount point, never the file.
  const std::string inSubvolume = mountPoint + "/sub/b1.dat";
  const bool subvolume = test::RunQuietly("btrfs subvolume create " + mountPoint + "/sub && echo x > " + inSubvolume);
  const auto fileCaveat = subvolume ? caveats.Of(inSubvolume) : std::nullopt;
  test::RunQuietly("umount " + mountPoint);
  ASSERT_TRUE(caveat.has_value());
  EXPECT_EQ(caveat->mountPoint, mountPoint);
  EXPECT_NE(caveat->reason.find("btrfs"), std::string::npos) << caveat->reason;
  if (!subvolume) GTEST_SKIP() << "cannot make a btrfs subvolume here";
  ASSERT_TRUE(fileCaveat.has_value());
  EXPECT_EQ(fileCaveat->mountPoint, mountPoint);
}

// A question that blocks, here on a pipe nobody writes to as a stat of a
// stopped FUSE mount would, is left behind; no second worker goes to that
// mount while it waits, other mounts answer meanwhile, and once it returns
// the mount is asked anew.
TEST(MountProbe, AMountThatDoesNotAnswerIsLeftBehindAndAskedAnewOnceItDoes) {
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  const int readEnd = pipe[0];
  const auto asked = std::make_shared<std::atomic<int>>(0);
  const auto blocking = [readEnd, asked] {
    ++*asked;
    char byte;
    EXPECT_EQ(::read(readEnd, &byte, 1), 1);
  };
  const std::string mountPoint = "/omrek-probe-test";
  EXPECT_FALSE(MountProbe::AnswersWithin(mountPoint, blocking));
  EXPECT_TRUE(MountProbe::IsStuck(mountPoint));
  EXPECT_FALSE(MountProbe::AnswersWithin(mountPoint, blocking));
  EXPECT_EQ(MountProbe::Ask<int>(mountPoint, [] { return 3; }), std::nullopt);
  EXPECT_EQ(asked->load(), 1) << "no second worker waits on the same mount";
  EXPECT_EQ(MountProbe::Ask<int>(mountPoint + "-other", [] { return 7; }), 7);

  ASSERT_EQ(::write(pipe[1], "x", 1), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !MountProbe::IsStuck(mountPoint); }, 10000));
  EXPECT_EQ(MountProbe::Ask<int>(mountPoint, [] { return 3; }), 3) << "it answers again";
  ::close(pipe[0]);
  ::close(pipe[1]);
}

}  // namespace
}  // namespace omrek
