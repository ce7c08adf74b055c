#include "intake/TargetFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/FileHandle.h"
#include "platform/IoError.h"
#include "tests/support/LoopImage.h"
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

TEST(FileSizeOf, MeasuresRealFilesOnExt4) {
  LoopImage image(16, 4096, "sizes");
  OMREK_REQUIRE_MOUNTED(image);
  EXPECT_EQ(FileSizeOf(WriteFile(image.File("empty"), "")), 0u);
  EXPECT_EQ(FileSizeOf(WriteFile(image.File("one"), "x")), 1u);
  EXPECT_EQ(FileSizeOf(WriteFile(image.File("kb"), std::string(1024, 'x'))), 1024u);
  EXPECT_EQ(FileSizeOf(WriteFile(image.File("kb+1"), std::string(1025, 'x'))), 1025u);

  // A sparse 5 GiB file: its real size, not the low 32 bits of it.
  FileHandle::Create(image.File("sparse")).SetLength(5ull << 30);
  EXPECT_EQ(FileSizeOf(image.File("sparse")), 5ull << 30);
}

TEST(FileSizeOf, MissingFileRaisesFileNotFound) {
  TempDir dir;
  try {
    FileSizeOf(dir.File("gone"));
    FAIL() << "no error";
  } catch (const IoError& error) {
    EXPECT_STREQ(error.what(), "File not found");
    EXPECT_EQ(error.Code(), 2);
  }
}

TEST(IsFolder, FoldersMissingPathsAndNonFilesAreFolders) {
  TempDir dir;
  const auto file = WriteFile(dir.File("file"), "x");
  ASSERT_EQ(::symlink(file.c_str(), dir.File("link").c_str()), 0);

  EXPECT_FALSE(IsFolder(file));
  EXPECT_TRUE(IsFolder(dir.Path()));
  EXPECT_TRUE(IsFolder(dir.File("gone")));
  EXPECT_TRUE(IsFolder(dir.File("link")));
}

}  // namespace
}  // namespace omrek
