#include "settings/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <stdexcept>

#include "platform/FileHandle.h"
#include "platform/IoError.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopImage.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteFile;

bool NoTemporaryLeftIn(const std::string& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".new") return false;
  }
  return true;
}

TEST(ProfileFile, ReadsSectionsAndKeysWithoutRegardToCase) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"),
                                     "[filemode]\n"
                                     "dod = 1\n"
                                     "Sound=\n"
                                     "NullValue=  fe  \n"
                                     "[DISKMODE]\r\n"
                                     "WipeSlack=0\r\n");
  const ProfileFile profile(path);
  EXPECT_EQ(profile.ReadString("FileMode", "DOD", "x"), "1");
  EXPECT_EQ(profile.ReadString("FileMode", "Sound", "x"), "") << "an empty value is a value";
  EXPECT_EQ(profile.ReadString("FileMode", "NullValue", "x"), "fe") << "blanks around a value are not part of it";
  EXPECT_EQ(profile.ReadString("DiskMode", "WipeSlack", "x"), "0");
  EXPECT_EQ(profile.ReadString("DiskMode", "DOD", "x"), "x");
  EXPECT_EQ(profile.ReadString("Other", "DOD", "x"), "x");
  EXPECT_TRUE(profile.HasKey("FILEMODE", "sound"));
  EXPECT_FALSE(profile.HasKey("FileMode", "Inversion"));
}

TEST(ProfileFile, AMissingOrUnreadableFileReadsAsEmpty) {
  test::TempDir folder;
  EXPECT_EQ(ProfileFile(folder.File("none.ini")).ReadString("FileMode", "DOD", "x"), "x");
  fs::create_directory(folder.File("folder.ini"));
  EXPECT_EQ(ProfileFile(folder.File("folder.ini")).ReadString("FileMode", "DOD", "x"), "x");
}

TEST(ProfileFile, GarbledFilesNeverStopTheReading) {
  test::TempDir folder;
  std::mt19937 generator(11);
  std::string junk(64 * 1024, '\0');
  for (char& c : junk) c = static_cast<char>(generator());
  ProfileFile binary(WriteFile(folder.File("junk.ini"), junk));
  EXPECT_EQ(binary.ReadString("FileMode", "DOD", "x"), "x");

  // A line of 100 KB is read as far as values go, and kept whole in the file.
  const std::string huge(100 * 1024, 'A');
  const std::string longLine = WriteFile(folder.File("long.ini"), "[FileMode]\nSound=" + huge + "\nDOD=1\n");
  ProfileFile profile(longLine);
  EXPECT_EQ(profile.ReadString("FileMode", "Sound", "x"), std::string(ProfileFile::kMaxValueLength, 'A'));
  EXPECT_EQ(profile.ReadString("FileMode", "DOD", "x"), "1");
  profile.WriteString("FileMode", "DOD", "0");
  EXPECT_NE(ReadWholeFile(longLine).find("Sound=" + huge + "\n"), std::string::npos);

  // Sections given twice read as one; a key given twice as its first value.
  ProfileFile twice(
      WriteFile(folder.File("twice.ini"),
                "[FileMode]\nDOD=1\nNullValue=AA\n[DiskMode]\nDOD=0\n[FileMode]\nNullValue=BB\nSound=s\n"));
  EXPECT_EQ(twice.ReadString("FileMode", "DOD", "x"), "1");
  EXPECT_EQ(twice.ReadString("FileMode", "NullValue", "x"), "AA");
  EXPECT_EQ(twice.ReadString("FileMode", "Sound", "x"), "s");
}

TEST(ProfileFile, AValueIsCutWithoutSplittingACharacter) {
  test::TempDir folder;
  // 2046 bytes, then a two-byte character across the limit.
  const std::string value = std::string(2046, 'a') + "\xC3\xA9" + "tail";
  ProfileFile profile(WriteFile(folder.File("omrek.ini"), "[FileMode]\nSound=" + value + "\n"));
  EXPECT_EQ(profile.ReadString("FileMode", "Sound", ""), std::string(2046, 'a'));
}

TEST(ProfileFile, AWriteKeepsWhatTheProgramDoesNotKnow) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"),
                                     "[Other]\n"
                                     "Colour=blue\n"
                                     "\n"
                                     "[FileMode]\n"
                                     "; the user's note\n"
                                     "DOD=1\n"
                                     "Extra=keep me\n");
  ProfileFile profile(path);
  profile.WriteString("FileMode", "DOD", "0");
  profile.WriteString("FileMode", "Sound", "s.wav");
  profile.WriteString("DiskMode", "WipeSlack", "1");
  EXPECT_EQ(ReadWholeFile(path),
            "[Other]\n"
            "Colour=blue\n"
            "\n"
            "\n"
            "[FileMode]\n"
            "\n"
            "; the user's note\n"
            "DOD=0\n"
            "Extra=keep me\n"
            "Sound=s.wav\n"
            "\n"
            "\n"
            "[DiskMode]\n"
            "WipeSlack=1\n");
  EXPECT_TRUE(NoTemporaryLeftIn(folder.Path()));
}

TEST(ProfileFile, EachWriteReadsTheFileAfresh) {
  test::TempDir folder;
  const std::string path = folder.File("omrek.ini");
  ProfileFile profile(path);
  profile.WriteString("FileMode", "DOD", "1");
  WriteFile(path, ReadWholeFile(path) + "Added=by hand\n");
  profile.WriteString("FileMode", "Inversion", "0");
  EXPECT_EQ(ReadWholeFile(path), "[FileMode]\nDOD=1\nAdded=by hand\nInversion=0\n");
}

TEST(ProfileFile, ALineBreakCannotSmuggleInKeys) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"), "[FileMode]\nDOD=0\n");
  ProfileFile profile(path);
  EXPECT_THROW(profile.WriteString("FileMode", "Sound", "x.wav\n[FileMode]\nDOD=1"), std::invalid_argument);
  EXPECT_EQ(ReadWholeFile(path), "[FileMode]\nDOD=0\n");
}

TEST(ProfileFile, AReadOnlyOrUnreadableFileIsLeftAsItWas) {
  test::TempDir folder;
  const std::string readOnly = WriteFile(folder.File("read-only.ini"), "[FileMode]\nDOD=1\n");
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_THROW(ProfileFile(readOnly).WriteString("FileMode", "DOD", "0"), IoError) << "even for root";
  EXPECT_EQ(ReadWholeFile(readOnly), "[FileMode]\nDOD=1\n");

  const std::string directory = folder.File("directory.ini");
  fs::create_directory(directory);
  EXPECT_ANY_THROW(ProfileFile(directory).WriteString("FileMode", "DOD", "0"));
  EXPECT_TRUE(fs::is_directory(directory));
  EXPECT_TRUE(NoTemporaryLeftIn(folder.Path()));
}

TEST(ProfileFile, TheOwnersAccessIsKept) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"), "[FileMode]\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  ProfileFile(path).WriteString("FileMode", "DOD", "1");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ProfileFile, WithoutRightsInTheFolderNothingChanges) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"), "[FileMode]\nDOD=1\n");
  fs::permissions(path, fs::perms::all);
  // The folder is root's and closed to others: nobody may write the file
  // but cannot put a new one in its place.
  EXPECT_EQ(test::RunTestCaseAsNobody("ProfileFileChild.CannotReplaceTheFile", {{"OMREK_PROFILE", path}}), 0);
  EXPECT_EQ(ReadWholeFile(path), "[FileMode]\nDOD=1\n");
  EXPECT_TRUE(NoTemporaryLeftIn(folder.Path()));
}

TEST(ProfileFileChild, CannotReplaceTheFile) {
  const std::string path = test::ChildArgument("OMREK_PROFILE");
  ProfileFile profile(path);
  EXPECT_EQ(profile.ReadString("FileMode", "DOD", "x"), "1");
  EXPECT_THROW(profile.WriteString("FileMode", "DOD", "0"), IoError);
}

TEST(ProfileFile, AFullDiskLeavesTheOldFileWhole) {
  test::LoopImage image(8, 1024, "full");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string path = WriteFile(image.File("omrek.ini"), "[FileMode]\nDOD=1\n");
  {
    FileHandle filler = FileHandle::Create(image.File("filler"));
    const std::string block(1 << 16, 'x');
    std::uint64_t offset = 0;
    try {
      for (;;) {
        filler.WriteAt(block.data(), block.size(), offset);
        offset += block.size();
      }
    } catch (const IoError&) {
    }
    // The last blocks go too, so not even the file's own size is free.
    try {
      for (;;) filler.WriteAt("x", 1, offset++);
    } catch (const IoError&) {
    }
  }
  ProfileFile profile(path);
  EXPECT_THROW(profile.WriteString("FileMode", "Sound", std::string(4096, 's')), IoError);
  EXPECT_EQ(ReadWholeFile(path), "[FileMode]\nDOD=1\n");
  EXPECT_TRUE(NoTemporaryLeftIn(image.MountPoint()));
}

}  // namespace
}  // namespace omrek
