#include "intake/TargetFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "intake/FolderExpansion.h"
#include "intake/ReadablePath.h"
#include "platform/FileHandle.h"
#include "platform/IoError.h"
#include "tests/support/LoopImage.h"
#include "tests/support/MixedTree.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::TempDir;
using test::WriteFile;

TEST(SizeToKbText, RoundsUpToWholeKilobytes) {
  EXPECT_EQ(SizeToKbText(0), "0");
  EXPECT_EQ(SizeToKbText(1), "1");
  EXPECT_EQ(SizeToKbText(1024), "1");
  EXPECT_EQ(SizeToKbText(1025), "2");
  EXPECT_EQ(SizeToKbText(1048576), "1024");
  EXPECT_EQ(SizeToKbText(0xFFFFFFFFull), "4194304");
  EXPECT_EQ(SizeToKbText(5ull << 30), "5242880");
}

std::uint64_t SizeOfListed(const std::string& path) { return FileSizeOf(*ReachListedFile(ListFile(path))); }

TEST(FileSizeOf, MeasuresRealFilesOnExt4) {
  LoopImage image(16, 4096, "sizes");
  OMREK_REQUIRE_MOUNTED(image);
  EXPECT_EQ(SizeOfListed(WriteFile(image.File("empty"), "")), 0u);
  EXPECT_EQ(SizeOfListed(WriteFile(image.File("one"), "x")), 1u);
  EXPECT_EQ(SizeOfListed(WriteFile(image.File("kb"), std::string(1024, 'x'))), 1024u);
  EXPECT_EQ(SizeOfListed(WriteFile(image.File("kb+1"), std::string(1025, 'x'))), 1025u);

  // A sparse 5 GiB file: its real size, not the low 32 bits of it.
  FileHandle::Create(image.File("sparse")).SetLength(5ull << 30);
  EXPECT_EQ(SizeOfListed(image.File("sparse")), 5ull << 30);
}

TEST(ListedFile, FoldersMissingPathsAndNonFilesAreNeverReached) {
  TempDir dir;
  const auto file = WriteFile(dir.File("file"), "x");
  ASSERT_EQ(::symlink(file.c_str(), dir.File("link").c_str()), 0);

  EXPECT_TRUE(ReachListedFile(ListFile(file)));
  EXPECT_FALSE(ReachListedFile(ListFile(dir.Path())));
  EXPECT_FALSE(ReachListedFile(ListFile(dir.File("gone"))));
  EXPECT_FALSE(ReachListedFile(ListFile(dir.File("link"))));
  EXPECT_FALSE(ReachListedFile(ListFile(dir.Path() + "/")));
}

TEST(ListedFile, ReachesTheFileThatWasListedOrNone) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("real").c_str(), 0755), 0);
  ASSERT_EQ(::symlink("real", dir.File("via").c_str()), 0);
  const ListedFile listed = ListFile(WriteFile(dir.File("via/file"), "listed"));
  // A link on the way when the file was listed was the user's own view of
  // the tree: the route goes through what it pointed at then.
  ASSERT_TRUE(ReachListedFile(listed)) << listed.route;
  EXPECT_EQ(listed.path, dir.File("via/file"));

  // Another file put under the listed name is not the listed file.
  ASSERT_EQ(::rename(dir.File("real/file").c_str(), dir.File("real/moved").c_str()), 0);
  WriteFile(dir.File("real/file"), "impostor");
  EXPECT_FALSE(ReachListedFile(listed));
  ASSERT_EQ(::rename(dir.File("real/moved").c_str(), dir.File("real/file").c_str()), 0);
  ASSERT_TRUE(ReachListedFile(listed));

  // A folder of the route swapped for a link to where the file now is:
  // the walk refuses the link rather than follow it to the very same file.
  ASSERT_EQ(::rename(dir.File("real").c_str(), dir.File("elsewhere").c_str()), 0);
  ASSERT_EQ(::symlink("elsewhere", dir.File("real").c_str()), 0);
  EXPECT_FALSE(ReachListedFile(listed));
}

TEST(ListedFile, OneWalkServesAFoldersFilesAndStillOnlyTheListedOnes) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("a").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.File("b").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.File("decoy").c_str(), 0755), 0);
  PathNoter noter;
  const ListedFile x = ListFile(WriteFile(dir.File("a/x"), "x"), noter);
  const ListedFile y = ListFile(WriteFile(dir.File("a/y"), "y"), noter);
  const ListedFile z = ListFile(WriteFile(dir.File("b/z"), "z"), noter);
  EXPECT_EQ(x.route, dir.File("a/x"));
  EXPECT_EQ(z.route, dir.File("b/z"));
  ASSERT_TRUE(x.identity && y.identity && z.identity);

  FolderWalks walks;
  ASSERT_TRUE(ReachListedFile(x, walks));
  // Another file under a listed name, in the folder walked already.
  ASSERT_EQ(::rename(dir.File("a/y").c_str(), dir.File("b/y").c_str()), 0);
  WriteFile(dir.File("a/y"), "impostor");
  EXPECT_FALSE(ReachListedFile(y, walks));
  ASSERT_TRUE(ReachListedFile(z, walks));
  ASSERT_TRUE(ReachListedFile(x, walks)) << "back in the first folder";

  // The folder moved away and a link put in its place, after the walk:
  // the file reached is still the listed one, in the folder walked, never
  // what the link leads to; a walk made afresh refuses the link.
  WriteFile(dir.File("decoy/x"), "decoy");
  ASSERT_EQ(::rename(dir.File("a").c_str(), dir.File("a.old").c_str()), 0);
  ASSERT_EQ(::symlink("decoy", dir.File("a").c_str()), 0);
  const auto reached = ReachListedFile(x, walks);
  ASSERT_TRUE(reached);
  EXPECT_EQ(reached->Open(FileHandle::Access::Read).Identity(), *x.identity);
  EXPECT_FALSE(ReachListedFile(x));
}

std::vector<std::string> Relatives(const std::vector<ExpandedFolder::Entry>& entries) {
  std::vector<std::string> relatives;
  for (const auto& entry : entries) relatives.push_back(entry.relative);
  return relatives;
}

FileIdentity IdentityOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

TEST(FolderExpansion, ListsEveryFileOfTheTreeAndNothingBeyondIt) {
  TempDir base;
  LoopImage inner(16, 4096, "inner");
  OMREK_REQUIRE_MOUNTED(inner);
  test::MixedTree tree(base.Path(), inner);
  ASSERT_TRUE(tree.Mounted());

  // Given with a trailing slash, as shells complete folder names.
  FolderExpansion expansion = FolderExpansion::Begin(tree.Root() + "/");
  EXPECT_TRUE(expansion.Step(1)) << "one entry at a time";
  EXPECT_LT(expansion.EntriesSeen(), expansion.EntriesKnown());
  expansion.Finish();
  EXPECT_EQ(expansion.EntriesSeen(), expansion.EntriesKnown());
  EXPECT_EQ(expansion.BytesFound(), 5000u + 6 + 70000 + 1);
  const ExpandedFolder folder = expansion.Folder();
  EXPECT_EQ(folder.path, tree.Root());
  EXPECT_EQ(folder.identity, IdentityOf(tree.Root()));
  EXPECT_EQ(Relatives(folder.folders), (std::vector<std::string>{"sub", "sub/deeper", "sub/empty"}));
  EXPECT_EQ(Relatives(folder.otherNames), (std::vector<std::string>{"fifo", "link-file", "sub/link-dir"}));
  EXPECT_EQ(folder.otherNames[1].identity, IdentityOf(tree.In("link-file"))) << "the link itself, not its target";
  EXPECT_EQ(folder.mountPoints, (std::vector<std::string>{"bound", "mnt", "overfile"}))
      << "binds of the tree's own file system too";
  EXPECT_TRUE(folder.unread.empty());

  std::vector<std::string> paths;
  for (const FoundFile& found : std::move(expansion).TakeFiles()) {
    paths.push_back(found.file.path);
    EXPECT_EQ(found.file.identity, IdentityOf(found.file.path));
    EXPECT_EQ(found.file.route, found.file.path) << "no link on the way to resolve";
    ASSERT_NE(found.file.expandedFrom, nullptr);
    EXPECT_EQ(found.file.expandedFrom->folders.size(), 3u);
    EXPECT_TRUE(ReachListedFile(found.file)) << found.file.path;
  }
  EXPECT_EQ(paths, tree.Files());

  // A link to the tree is no folder to walk; a file neither.
  std::filesystem::create_directory_symlink(tree.Root(), base.File("to-tree"));
  EXPECT_THROW(FolderExpansion::Begin(base.File("to-tree")), IoError);
  EXPECT_THROW(FolderExpansion::Begin(tree.In("a.txt")), IoError);
}

TEST(FolderExpansion, AFolderSwappedForALinkDuringTheWalkLeadsNowhere) {
  TempDir base;
  std::filesystem::create_directories(base.File("tree/sub"));
  std::filesystem::create_directories(base.File("elsewhere"));
  WriteFile(base.File("tree/sub/mine"), "mine");
  WriteFile(base.File("elsewhere/secret"), "secret");
  FolderExpansion expansion = FolderExpansion::Begin(base.File("tree"));
  // The tree's entries are read; "sub" is not opened yet when it is swapped.
  std::filesystem::rename(base.File("tree/sub"), base.File("moved"));
  std::filesystem::create_directory_symlink(base.File("elsewhere"), base.File("tree/sub"));
  expansion.Finish();
  EXPECT_EQ(expansion.FilesFound(), 0u);
  ASSERT_EQ(expansion.Folder().unread.size(), 1u);
  EXPECT_EQ(expansion.Folder().unread[0].relative, "sub");
}

TEST(ReadablePath, NamesThatDifferInOneByteNeverLookAlike) {
  EXPECT_EQ(ReadablePath("/tmp/bad\xFFname"), "/tmp/bad\\xFFname");
  EXPECT_EQ(ReadablePath("/tmp/bad\xEF\xBF\xBDname"), "/tmp/bad\xEF\xBF\xBDname") << "valid UTF-8 stays";
  EXPECT_EQ(ReadablePath("a\\x41\nb"), "a\\\\x41\\x0Ab");
  EXPECT_EQ(ReadablePath("\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80"), "\\xC0\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80")
      << "overlong forms, surrogates and code points past U+10FFFF are no UTF-8";
  EXPECT_EQ(PathFromReadable("a\\xzz\\x4"), "a\\xzz\\x4") << "a backslash that starts no escape is itself";

  EXPECT_EQ(ReadablePath("a\xC2\x9B"
                         "31mb\xC2\xA0"),
            "a\\xC2\\x9B"
            "31mb\xC2\xA0")
      << "a C1 control, which a terminal may obey in UTF-8, reads as its bytes; the space after C1 stays";

  for (int byte = 1; byte < 256; ++byte) {
    const std::string name = "n" + std::string(1, static_cast<char>(byte)) + "\xC3";
    EXPECT_EQ(PathFromReadable(ReadablePath(name)), name) << byte;
  }
  EXPECT_EQ(PathFromReadable(ReadablePath("\xC2\x85")), "\xC2\x85");

  // A message of readable paths is left as it is; anything raw in it still
  // cannot break the line or reach the terminal as a control.
  const std::string readable = "left " + ReadablePath("/m\\n\x1B]0;t\x07\xFF") + ": why";
  EXPECT_EQ(ControlsEscaped(readable), readable);
  EXPECT_EQ(ControlsEscaped("a\\b\nc\x1B[2J\xFF\xC2\x9B"), "a\\b\\x0Ac\\x1B[2J\\xFF\\xC2\\x9B");
}

TEST(ListFile, ANameHoldingANulByteIsRefused) {
  TempDir dir;
  const std::string important = WriteFile(dir.File("important"), "keep");
  const std::string withNul = important + std::string(1, '\0') + ".bak";
  try {
    ListFile(withNul);
    ADD_FAILURE() << "a NUL byte would have named the file before it";
  } catch (const NameWithNul& refused) {
    EXPECT_EQ(std::string(refused.what()), "Refused " + important + "\\x00.bak: a file name cannot hold a NUL byte");
  }
  EXPECT_TRUE(ListFile(important).identity) << "the name before the NUL is a file the test could have hit";
}

}  // namespace
}  // namespace omrek
