#include "platform/FileHandle.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/Directory.h"
#include "platform/EntryName.h"
#include "platform/IoError.h"
#include "tests/support/LoopImage.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using Access = FileHandle::Access;
using test::LoopImage;
using test::ReadWholeFile;
using test::WriteFile;

std::string ErrorTextOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const IoError& error) {
    return error.what();
  }
  return "no error";
}

class FileHandleOnExt4 : public ::testing::Test {
 protected:
  LoopImage image_{16, 4096, "handles"};
};

TEST_F(FileHandleOnExt4, PositionsAndSizesAre64Bit) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string path = WriteFile(image_.File("big"), "head");
  constexpr std::uint64_t kFiveGiB = 5ull << 30;

  FileHandle file = FileHandle::OpenExisting(path, Access::ReadWrite);
  file.WriteAt("tail", 4, kFiveGiB);
  EXPECT_EQ(file.Size(), kFiveGiB + 4);

  char buffer[8] = {};
  EXPECT_EQ(file.ReadAt(buffer, 8, kFiveGiB), 4u) << "a read at the end is short, not an error";
  EXPECT_EQ(std::string(buffer, 4), "tail");
  EXPECT_EQ(file.ReadAt(buffer, 8, kFiveGiB + 100), 0u);
  EXPECT_EQ(file.ReadAt(buffer, 4, 0), 4u);
  EXPECT_EQ(std::string(buffer, 4), "head");

  file.SetLength(2);
  file.Flush();
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadWholeFile(path), "he");
}

TEST_F(FileHandleOnExt4, WritingRefusesReadOnlyFilesEvenForRoot) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string path = WriteFile(image_.File("locked"), "keep me");
  ::chmod(path.c_str(), 0444);

  EXPECT_EQ(ErrorTextOf([&] { FileHandle::OpenExisting(path, Access::ReadWrite); }), "File access denied");
  EXPECT_EQ(FileHandle::OpenExisting(path, Access::Read).Size(), 7u);
  EXPECT_EQ(ReadWholeFile(path), "keep me");
}

TEST_F(FileHandleOnExt4, NeverOpensThroughLinksOrIntoFifos) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string target = WriteFile(image_.File("target"), "keep me");
  ASSERT_EQ(::symlink(target.c_str(), image_.File("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(image_.File("fifo").c_str(), 0644), 0);

  EXPECT_NE(ErrorTextOf([&] { FileHandle::OpenExisting(image_.File("link"), Access::ReadWrite); }), "no error");
  EXPECT_NE(ErrorTextOf([&] { FileHandle::OpenExisting(image_.File("link"), Access::Read); }), "no error");
  // Neither open may block waiting for a writer at the other end.
  EXPECT_EQ(ErrorTextOf([&] { FileHandle::OpenExisting(image_.File("fifo"), Access::ReadWrite); }),
            "File access denied");
  EXPECT_EQ(FileHandle::OpenExisting(image_.File("fifo"), Access::Read).Size(), 0u);
  EXPECT_EQ(ReadWholeFile(target), "keep me");

  // Opening on a look already made, in a folder that knows it lies on a
  // disk: a name that has changed files since is refused.
  const Directory folder = Directory::Walk(image_.MountPoint());
  folder.OpenFile("target", Access::ReadWrite);
  const auto seen = folder.Examine("target");
  ASSERT_TRUE(seen);
  ASSERT_EQ(::rename(image_.File("target").c_str(), image_.File("moved").c_str()), 0);
  WriteFile(image_.File("target"), "another");
  EXPECT_EQ(ErrorTextOf([&] { folder.OpenSeenFile("target", *seen); }), "File not found");
  EXPECT_EQ(ReadWholeFile(image_.File("target")), "another");
}

// Files in memory are the user's on a tmpfs (/dev/shm) and the kernel's on
// devtmpfs, which only the mount table tells apart; the kernel's are
// refused as a denied access, before they are opened for writing.
TEST(FileHandleInMemory, TmpfsFilesAreWrittenAndDevtmpfsFilesRefused) {
  test::TempDir inMemory("/dev/shm");
  const std::string ordinary = WriteFile(inMemory.File("ordinary"), "in memory");
  FileHandle::OpenExisting(ordinary, Access::ReadWrite).WriteAt("IN", 2, 0);
  EXPECT_EQ(ReadWholeFile(ordinary), "IN memory");
  if (ReadWholeFile("/proc/self/mounts").find(" /dev devtmpfs ") == std::string::npos) GTEST_SKIP() << "no devtmpfs";
  const std::string device = WriteFile("/dev/omrek-kernel-file-test", "kept");
  try {
    FileHandle::OpenExclusive(device);
    ADD_FAILURE() << "opened";
  } catch (const NotOnDisk& refusal) {
    EXPECT_STREQ(refusal.what(), "not a file on a disk: devtmpfs");
    EXPECT_EQ(refusal.Code(), IoError::FromErrno(EACCES).Code());
  }
  ::unlink(device.c_str());
}

// The mount table is read once and again only after it changes: devtmpfs
// mounted after files on a tmpfs were opened is still told apart. In a
// process of its own, with a mount namespace of its own where /dev is
// gone before the first look.
TEST(FileHandleInMemoryDeathTest, DevtmpfsMountedLaterIsRefused) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string folder = "/tmp/omrek-devtmpfs-later";
  const auto refusedAfterMounting = [&] {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) std::_Exit(2);
    if (::umount2("/dev", MNT_DETACH) != 0) std::_Exit(2);
    std::filesystem::create_directories(folder + "/mem");
    std::filesystem::create_directories(folder + "/dev");
    if (::mount("omrek-later", (folder + "/mem").c_str(), "tmpfs", 0, nullptr) != 0) std::_Exit(2);
    FileHandle::OpenExisting(WriteFile(folder + "/mem/ordinary", "x"), Access::ReadWrite).WriteAt("y", 1, 0);
    if (::mount("devtmpfs", (folder + "/dev").c_str(), "devtmpfs", 0, nullptr) != 0) std::_Exit(2);
    try {
      FileHandle::OpenExisting(WriteFile(folder + "/dev/omrek-kernel-file-test", "kept"), Access::ReadWrite);
    } catch (const NotOnDisk&) {
      ::unlink((folder + "/dev/omrek-kernel-file-test").c_str());
      std::_Exit(0);
    }
    ::unlink((folder + "/dev/omrek-kernel-file-test").c_str());
    std::_Exit(1);
  };
  EXPECT_EXIT(refusedAfterMounting(), testing::ExitedWithCode(0), "") << "exit 1: opened; exit 2: no namespace";
  // The mounts went with the child's namespace; their folders stayed.
  std::filesystem::remove_all(folder);
}

TEST_F(FileHandleOnExt4, CreateEmptiesAndDeleteRemoves) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string path = WriteFile(image_.File("filler"), "old content");
  FileHandle file = FileHandle::Create(path);
  EXPECT_EQ(file.Size(), 0u);
  file.Close();
  FileHandle::Delete(path);

  EXPECT_EQ(ErrorTextOf([&] { FileHandle::Delete(path); }), "File not found");
  EXPECT_EQ(ErrorTextOf([&] { FileHandle::OpenExisting(path, Access::Read); }), "File not found");
}

// What the filler files rely on: a new file never takes a name in use, a
// link's included, and a name is removed only while it names the file that
// was checked.
TEST_F(FileHandleOnExt4, NamesInUseAreNeitherTakenNorRemovedWhenSwapped) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string taken = WriteFile(image_.File("taken"), "keep me");
  ASSERT_EQ(::symlink(image_.File("nowhere").c_str(), image_.File("dangling").c_str()), 0);

  EXPECT_FALSE(FileHandle::CreateNew(taken).has_value());
  EXPECT_FALSE(FileHandle::CreateNew(image_.File("dangling")).has_value());
  EXPECT_FALSE(std::filesystem::exists(image_.File("nowhere"))) << "nothing is made through a link";
  EXPECT_EQ(ReadWholeFile(taken), "keep me");
  std::optional<FileHandle> made = FileHandle::CreateNew(image_.File("new"));
  ASSERT_TRUE(made.has_value());
  EXPECT_EQ(made->Ownership().links, 1u);
  EXPECT_TRUE(made->Ownership().runningUsers);

  const Directory folder = Directory::Open(image_.MountPoint());
  const FileIdentity checked = made->Identity();
  ASSERT_EQ(::rename(taken.c_str(), image_.File("new").c_str()), 0);
  EXPECT_EQ(ErrorTextOf([&] { folder.RemoveEntryOf("new", checked); }), "File not found");
  EXPECT_EQ(ReadWholeFile(image_.File("new")), "keep me");
  folder.RemoveEntryOf("new", FileHandle::OpenExisting(image_.File("new"), Access::Read).Identity());
  EXPECT_FALSE(std::filesystem::exists(image_.File("new")));

  // A folder: its name wiped and the folder removed only while it is the
  // one checked, and empty.
  std::filesystem::create_directories(image_.File("private-plans/inner"));
  const Directory plans = folder.OpenChild("private-plans");
  const FileIdentity plansIdentity{plans.Device(), plans.Inode()};
  std::string name = "private-plans";
  EXPECT_EQ(WipeEntryName(folder, name, plansIdentity), NameWiping::Wiped);
  EXPECT_EQ(name.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(image_.File("private-plans")));
  EXPECT_TRUE(std::filesystem::exists(image_.File(name + "/inner")));
  EXPECT_THROW(folder.RemoveFolderOf(name, plansIdentity), IoError) << "not empty";
  EXPECT_EQ(ErrorTextOf([&] { folder.RemoveFolderOf(name, checked); }), "File not found");
  std::filesystem::remove(image_.File(name + "/inner"));
  folder.RemoveFolderOf(name, plansIdentity);
  EXPECT_FALSE(std::filesystem::exists(image_.File(name)));
}

TEST(FileHandleFullDisk, WritingPastTheFreeSpaceReportsDiskFull) {
  LoopImage image(4, 1024, "tiny");
  OMREK_REQUIRE_MOUNTED(image);
  FileHandle file = FileHandle::Create(image.File("fill"));
  const std::vector<char> chunk(1 << 20, 'x');
  const std::string text = ErrorTextOf([&] {
    for (std::uint64_t offset = 0; offset < (8u << 20); offset += chunk.size()) {
      file.WriteAt(chunk.data(), chunk.size(), offset);
    }
  });
  EXPECT_EQ(text, "Disk full");
}

}  // namespace
}  // namespace omrek
