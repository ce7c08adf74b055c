#include "platform/FileAttributes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PinnedFile.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(FileAttributes, RegularFileFolderReadOnlyAndHidden) {
  TempDir dir;
  const auto plain = WriteFile(dir.File("plain.txt"), "x");
  const auto hidden = WriteFile(dir.File(".hidden"), "x");
  const auto readOnly = WriteFile(dir.File("locked"), "x");
  ::chmod(readOnly.c_str(), 0444);

  EXPECT_EQ(ReadFileAttributes(plain), 0u);
  EXPECT_EQ(ReadFileAttributes(hidden), FileAttribute::Hidden);
  EXPECT_EQ(ReadFileAttributes(readOnly), FileAttribute::ReadOnly);
  EXPECT_EQ(ReadFileAttributes(dir.Path()) & FileAttribute::Directory, FileAttribute::Directory);
  EXPECT_EQ(ReadFileAttributes(dir.Path() + "/") & FileAttribute::Directory, FileAttribute::Directory);

  // Clearing the word of a file reached hidden and writable changes nothing
  // here, so the file is not opened: a mode changed since stays. A file
  // reached read-only is opened and made writable.
  const auto reach = [](const std::string& path) {
    const PathNote note = NotePath(path);
    return PinnedFile::Reach(note.route, *note.identity);
  };
  const auto reachedHidden = reach(hidden);
  const auto reachedReadOnly = reach(readOnly);
  ASSERT_TRUE(reachedHidden && reachedReadOnly);
  ::chmod(hidden.c_str(), 0444);
  EXPECT_FALSE(reachedHidden->SetAttributes(0));
  EXPECT_EQ(ReadFileAttributes(hidden), FileAttribute::Hidden | FileAttribute::ReadOnly);
  EXPECT_TRUE(reachedReadOnly->SetAttributes(0));
  EXPECT_EQ(ReadFileAttributes(readOnly), 0u);
}

TEST(FileAttributes, LinksDevicesAndFifosCountAsFolders) {
  // Nothing may ever be written through one of these, so they must never
  // look like a file.
  TempDir dir;
  const auto target = WriteFile(dir.File("target"), "x");
  ASSERT_EQ(::symlink(target.c_str(), dir.File("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);

  EXPECT_NE(ReadFileAttributes(dir.File("link")) & FileAttribute::Directory, 0u);
  EXPECT_NE(ReadFileAttributes(dir.File("fifo")) & FileAttribute::Directory, 0u);
  EXPECT_NE(ReadFileAttributes("/dev/null") & FileAttribute::Directory, 0u);
}

TEST(FileAttributes, MissingPathGivesAllBitsSet) {
  TempDir dir;
  EXPECT_EQ(ReadFileAttributes(dir.File("gone")), FileAttribute::Invalid);
  EXPECT_EQ(ReadFileAttributes(""), FileAttribute::Invalid);
  EXPECT_EQ(ReadFileAttributes(dir.File("gone/below")), FileAttribute::Invalid);
}

}  // namespace
}  // namespace omrek
