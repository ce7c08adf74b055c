#include "settings/ProfileFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/GuardedFolder.h"
#include "platform/IoError.h"
#include "settings/ProfileText.h"
#include "settings/SettingsFile.h"
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
            "[FileMode]\n"
            "; the user's note\n"
            "DOD=0\n"
            "Extra=keep me\n"
            "Sound=s.wav\n"
            "\n"
            "[DiskMode]\n"
            "WipeSlack=1\n");
  EXPECT_TRUE(NoTemporaryLeftIn(folder.Path()));
}

TEST(SetProfileValue, ChangesOnlyTheValueOfTheFirstLineTheReaderTakes) {
  EXPECT_EQ(SetProfileValue("; note\n[filemode]\n  dod =  1  \nDOD=2\n[FileMode]\nDod=3\n", "FileMode", "DOD", "0"),
            "; note\n[filemode]\n  dod =  0  \nDOD=2\n[FileMode]\nDod=3\n");
  EXPECT_EQ(SetProfileValue("[FileMode]\nSound=\nx\n", "FileMode", "Sound", "a b.wav"),
            "[FileMode]\nSound=a b.wav\nx\n");
  EXPECT_EQ(SetProfileValue("[ FileMode ] trailing\nDOD=1", "FileMode", "DOD", "0"), "[ FileMode ] trailing\nDOD=0")
      << "blanks inside the brackets and text after them, as the reader takes them";
}

TEST(SetProfileValue, ANewKeyFollowsItsSectionsLastLine) {
  const std::string text =
      "[FileMode]\nDOD=1\njunk without equals\n; note\n\n[DiskMode]\nDOD=0\n[FileMode]\nSound=s\n# end\n";
  EXPECT_EQ(
      SetProfileValue(text, "FileMode", "Inversion", "1"),
      "[FileMode]\nDOD=1\njunk without equals\n; note\n\n[DiskMode]\nDOD=0\n[FileMode]\nSound=s\nInversion=1\n# end\n");
  EXPECT_EQ(
      SetProfileValue(text, "DiskMode", "WipeSlack", "1"),
      "[FileMode]\nDOD=1\njunk without equals\n; note\n\n[DiskMode]\nDOD=0\nWipeSlack=1\n[FileMode]\nSound=s\n# end\n");
  EXPECT_EQ(SetProfileValue("[DiskMode]", "DiskMode", "DOD", "1"), "[DiskMode]\nDOD=1") << "no line break at the end";
}

TEST(SetProfileValue, ANewSectionGoesAtTheEndOfWhatTheReaderSees) {
  EXPECT_EQ(SetProfileValue("", "FileMode", "DOD", "1"), "[FileMode]\nDOD=1\n");
  EXPECT_EQ(SetProfileValue("[A]\nx=1\n", "FileMode", "DOD", "1"), "[A]\nx=1\n\n[FileMode]\nDOD=1\n");
  EXPECT_EQ(SetProfileValue("[A]\nx=1", "FileMode", "DOD", "1"), "[A]\nx=1\n\n[FileMode]\nDOD=1\n");
  const std::string afterNul("\0[FileMode]\nDOD=5\n[Secret]\nkept=1\n", 32);
  EXPECT_EQ(SetProfileValue("[A]\nx=1\n" + afterNul, "FileMode", "DOD", "1"),
            "[A]\nx=1\n\n[FileMode]\nDOD=1\n" + afterNul)
      << "the reader never sees what follows the NUL byte";
  EXPECT_EQ(SetProfileValue("\xEF\xBB\xBF", "FileMode", "DOD", "1"), "\xEF\xBB\xBF[FileMode]\nDOD=1\n");
}

TEST(SetProfileValue, AnUnclosedHeaderHidesTheKeysAfterItAsItDoesFromTheReader) {
  // For the reader, the keys after "[DiskMode" are in a section called
  // "DiskMode\nDOD", neither FileMode nor DiskMode.
  std::string text = "[FileMode]\nDOD=1\n[DiskMode\nDOD=1\nWipeSlack=0\n";
  const auto save = [&text] {
    text = SetProfileValue(text, "FileMode", "DOD", "0");
    text = SetProfileValue(text, "FileMode", "Sound", "s");
    text = SetProfileValue(text, "DiskMode", "WipeSlack", "1");
    text = SetProfileValue(text, "DiskMode", "DOD", "0");
  };
  save();
  const std::string once = text;
  EXPECT_EQ(once, "[FileMode]\nDOD=0\nSound=s\n[DiskMode\nDOD=1\nWipeSlack=0\n\n[DiskMode]\nWipeSlack=1\nDOD=0\n");
  save();
  EXPECT_EQ(text, once) << "the next save finds what this one wrote";

  // A "[" with only blanks after it would take a header behind it for its
  // name, so the new section goes in front of it.
  EXPECT_EQ(SetProfileValue("[A]\nx=1\n  [ \n\t\n", "FileMode", "DOD", "1"),
            "[A]\nx=1\n\n[FileMode]\nDOD=1\n  [ \n\t\n");
  EXPECT_EQ(SetProfileValue("[\nFileMode]\nDOD=1\n", "FileMode", "DOD", "0"), "[\nFileMode]\nDOD=0\n")
      << "the reader's header reaches across the line break";
}

TEST(MalformedLine, OnlyAHeaderWithoutItsBracketCounts) {
  EXPECT_EQ(MalformedLine("[FileMode]\nDOD=1\n[DiskMode\nDOD=0\n"), 3u);
  EXPECT_EQ(MalformedLine("[FileMode]\r\nDOD=1\r\n\r\n  [DiskMode\r\n"), 4u) << "\\r\\n is one break";
  EXPECT_EQ(MalformedLine("[A]\rx=1\r[B"), 3u);
  EXPECT_EQ(MalformedLine("\xEF\xBB\xBF[FileMode\n"), 1u);
  EXPECT_EQ(MalformedLine("[FileMode] after\nDOD=[1\n; [note\n# [note\njust words\n=\n\n"), std::nullopt);
  EXPECT_EQ(MalformedLine(std::string_view("[A]\n\0[B\n", 8)), std::nullopt) << "the reader stops at a NUL";
  EXPECT_EQ(MalformedLine(""), std::nullopt);
}

TEST(ProfileFile, AFileAboveOneMebibyteIsNotRead) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"), "[FileMode]\nDOD=1\n");
  fs::resize_file(path, ProfileFile::kMaxFileSize + 1);
  const ProfileFile large(path);
  EXPECT_EQ(large.Problem(), "larger than 1 MiB");
  EXPECT_FALSE(large.HasKey("FileMode", "DOD"));
  EXPECT_THROW(ProfileFile(path).WriteString("FileMode", "DOD", "0"), std::runtime_error);
  EXPECT_EQ(fs::file_size(path), ProfileFile::kMaxFileSize + 1) << "nor replaced";

  fs::resize_file(path, ProfileFile::kMaxFileSize);
  const ProfileFile largest(path);
  EXPECT_EQ(largest.Problem(), "");
  EXPECT_EQ(largest.ReadString("FileMode", "DOD", "x"), "1");
}

TEST(SetProfileValue, NewLinesEndAsTheFilesLinesEnd) {
  EXPECT_EQ(SetProfileValue("[A]\r\nx=1\r\n", "A", "y", "2"), "[A]\r\nx=1\r\ny=2\r\n");
  EXPECT_EQ(SetProfileValue("[A]\r\nx=1\r\n", "B", "y", "2"), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(SetProfileValue("[A]\rx=1\r", "A", "y", "2"), "[A]\rx=1\ry=2\r");
}

// Random texts built from the pieces that trip readers up: after any one
// change, the reader finds the new value, every other key reads as before,
// and what follows a NUL byte is untouched.
TEST(SetProfileValue, TheReaderAlwaysFindsWhatWasWritten) {
  test::TempDir folder;
  const std::vector<std::string> pieces{"[",
                                        "]",
                                        "FileMode",
                                        "diskmode",
                                        "DOD",
                                        "Sound",
                                        "=",
                                        "1",
                                        " ",
                                        "\t",
                                        "\n",
                                        "\r\n",
                                        "\r",
                                        ";",
                                        "#",
                                        "x",
                                        "\xEF\xBB\xBF",
                                        std::string(1, '\0'),
                                        "\n[FileMode]\n",
                                        "\n[DiskMode\n",
                                        "\nDOD=1\n",
                                        "\nSound = s\n"};
  const std::vector<std::string> sections{"FileMode", "DiskMode", "x", ""};
  const std::vector<std::string> keys{"DOD", "Sound", "x", "1"};
  std::mt19937 generator(16);
  const std::string path = folder.File("omrek.ini");
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int i = generator() % 30; i > 0; --i) text += pieces[generator() % pieces.size()];
    const std::string& section = sections[generator() % 3];
    const std::string& key = keys[generator() % keys.size()];
    const std::string edited = SetProfileValue(text, section, key, "new value");

    // A new file each time: ext4 flushes a file that is cut and written again.
    fs::remove(path);
    const ProfileFile before(WriteFile(path, text));
    fs::remove(path);
    const ProfileFile after(WriteFile(path, edited));
    ASSERT_EQ(after.ReadString(section, key, "?"), "new value") << testing::PrintToString(text);
    for (const std::string& otherSection : sections) {
      for (const std::string& otherKey : keys) {
        if (otherSection == section && otherKey == key) continue;
        ASSERT_EQ(after.ReadString(otherSection, otherKey, "?"), before.ReadString(otherSection, otherKey, "?"))
            << testing::PrintToString(text) << " " << otherSection << "/" << otherKey;
      }
    }
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
      ASSERT_TRUE(edited.ends_with(text.substr(nul))) << testing::PrintToString(text);
    }
  }
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
  EXPECT_THROW(profile.WriteString("FileMode", "Sound", std::string("x\0y", 3)), std::invalid_argument)
      << "a NUL byte would hide the rest of the file";
  EXPECT_EQ(ReadWholeFile(path), "[FileMode]\nDOD=0\n");
}

TEST(ProfileFile, ALinkTheUserOwnsIsReadAndWrittenThrough) {
  test::TempDir folder;
  fs::create_directory(folder.File("dotfiles"));
  const std::string target = WriteFile(folder.File("dotfiles/omrek.ini"), "; mine\n[FileMode]\nDOD=1\n");
  const std::string link = folder.File("omrek.ini");
  fs::create_symlink("dotfiles/omrek.ini", link);
  ProfileFile profile(link);
  EXPECT_EQ(profile.ReadString("FileMode", "DOD", "x"), "1");
  profile.WriteString("FileMode", "DOD", "0");
  EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
  EXPECT_EQ(ReadWholeFile(target), "; mine\n[FileMode]\nDOD=0\n");
  EXPECT_TRUE(NoTemporaryLeftIn(folder.Path()));
  EXPECT_TRUE(NoTemporaryLeftIn(folder.File("dotfiles")));
}

TEST(ProfileFile, ALinkToWhatTheUserDoesNotOwnIsNotFollowed) {
  test::TempDir folder;
  const std::string othersFile = WriteFile(folder.File("others.ini"), "[FileMode]\nDOD=1\n");
  ASSERT_EQ(::chown(othersFile.c_str(), 65534, 65534), 0);
  const std::string ownFile = WriteFile(folder.File("own.ini"), "[FileMode]\nDOD=1\n");
  fs::create_directory(folder.File("folder.ini"));
  const std::string toOthers = folder.File("to-others.ini");
  const std::string plantedLink = folder.File("planted.ini");
  const std::string toFolder = folder.File("to-folder.ini");
  const std::string dangling = folder.File("dangling.ini");
  fs::create_symlink(othersFile, toOthers);
  fs::create_symlink(ownFile, plantedLink);
  ASSERT_EQ(::lchown(plantedLink.c_str(), 65534, 65534), 0) << "a link someone else made";
  fs::create_symlink(folder.File("folder.ini"), toFolder);
  fs::create_symlink(folder.File("none.ini"), dangling);
  for (const std::string& link : {toOthers, plantedLink, toFolder, dangling}) {
    ProfileFile profile(link);
    EXPECT_EQ(profile.ReadString("FileMode", "DOD", "x"), "x") << link;
    EXPECT_THROW(profile.WriteString("FileMode", "DOD", "0"), IoError) << link;
    EXPECT_TRUE(fs::is_symlink(link));
  }
  EXPECT_EQ(ReadWholeFile(othersFile), "[FileMode]\nDOD=1\n");
  EXPECT_EQ(ReadWholeFile(ownFile), "[FileMode]\nDOD=1\n");
  EXPECT_FALSE(fs::exists(folder.File("none.ini")));
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

constexpr auto kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;

// Root saves into a folder of root's that everyone may change (as a shared
// folder may be) while nobody keeps swapping the temporary file for a link
// to a file of root's: whatever nobody wins, that file keeps its bytes and
// its access.
TEST(ProfileFile, ATemporarySwappedForALinkNeverLeadsTheSaveElsewhere) {
  test::TempDir folder;
  const std::string shared = folder.File("shared");
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all);
  fs::create_directory(folder.File("root-only"));
  fs::permissions(folder.File("root-only"), fs::perms::owner_all);
  const std::string secret = WriteFile(folder.File("root-only/secret"), "root's own\n");
  fs::permissions(secret, kOwnerOnly);
  // Open to all, so that a mode carried over to the wrong file shows.
  const std::string path = WriteFile(shared + "/omrek.ini", "[FileMode]\nDOD=1\n");
  const auto openToAll = static_cast<fs::perms>(0666);
  fs::permissions(path, openToAll);
  const std::string ready = folder.File("shared/ready");
  const std::string stop = folder.File("stop");

  std::atomic<bool> childEnded = false;
  int childStatus = -1;
  std::thread swapper([&] {
    childStatus = test::RunTestCaseAsNobody(
        "ProfileFileChild.SwapsTheTemporaryForALink",
        {{"OMREK_PROFILE", path}, {"OMREK_TARGET", secret}, {"OMREK_READY", ready}, {"OMREK_STOP", stop}});
    childEnded = true;
  });
  while (!fs::exists(ready) && !childEnded) std::this_thread::yield();
  for (int i = 0; i < 400; ++i) {
    try {
      ProfileFile(path).WriteString("FileMode", "NumRandomize", std::to_string(i));
    } catch (const std::exception&) {
      // A save nobody spoils fails, and so may the later ones once a link
      // of nobody's holds the name.
    }
  }
  WriteFile(stop, "");
  swapper.join();
  EXPECT_EQ(childStatus, 0);
  EXPECT_EQ(ReadWholeFile(secret), "root's own\n");
  EXPECT_EQ(fs::status(secret).permissions(), kOwnerOnly);
  if (fs::is_regular_file(fs::symlink_status(path))) {
    EXPECT_EQ(fs::status(path).permissions(), openToAll);
  }
}

TEST(ProfileFileChild, SwapsTheTemporaryForALink) {
  const std::string temporary = test::ChildArgument("OMREK_PROFILE") + ".new";
  const std::string taken = test::ChildArgument("OMREK_PROFILE") + ".taken";
  const std::string target = test::ChildArgument("OMREK_TARGET");
  const std::string stop = test::ChildArgument("OMREK_STOP");
  WriteFile(test::ChildArgument("OMREK_READY"), "");
  while (!fs::exists(stop)) {
    // Either root's temporary is taken away, or the name is held before
    // root makes it; both fail quietly when the other side is quicker.
    static_cast<void>(::rename(temporary.c_str(), taken.c_str()));
    static_cast<void>(::symlink(target.c_str(), temporary.c_str()));
  }
}

TEST(ProfileFile, AFolderThatIsALinkOrAnotherUsersIsNeverWrittenInto) {
  test::TempDir folder;
  const std::string roots = folder.File("roots");
  fs::create_directory(roots);
  fs::create_symlink(roots, folder.File("linked"));
  EXPECT_THROW(ProfileFile(folder.File("linked/omrek.ini")).WriteString("FileMode", "DOD", "1"), UntrustedPlace);
  EXPECT_TRUE(fs::is_empty(roots)) << "nothing is made behind the link";

  const std::string nobodys = folder.File("nobodys");
  fs::create_directory(nobodys);
  ASSERT_EQ(::chown(nobodys.c_str(), 65534, 65534), 0);
  const std::string inNobodys = nobodys + "/omrek.ini";
  try {
    SettingsFile(inNobodys).WriteBoolean(kVerifyKey, true);
    ADD_FAILURE() << "root wrote into nobody's folder";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to write to " + inNobodys + ": the folder " + nobodys + " belongs to another user");
  }
  EXPECT_TRUE(fs::is_empty(nobodys));

  // A file of nobody's in root's own folder is not replaced either.
  const std::string othersFile = WriteFile(roots + "/omrek.ini", "[FileMode]\nDOD=1\n");
  ASSERT_EQ(::chown(othersFile.c_str(), 65534, 65534), 0);
  EXPECT_THROW(ProfileFile(othersFile).WriteString("FileMode", "DOD", "0"), UntrustedPlace);
  EXPECT_EQ(ReadWholeFile(othersFile), "[FileMode]\nDOD=1\n");
  EXPECT_TRUE(NoTemporaryLeftIn(roots));

  // A temporary left by a crash does not stop the next save, and one that
  // is a link is taken away, never written through.
  const std::string own = WriteFile(folder.File("own.ini"), "[FileMode]\nDOD=1\n");
  WriteFile(own + ".new", "half");
  ProfileFile(own).WriteString("FileMode", "DOD", "0");
  EXPECT_EQ(ReadWholeFile(own), "[FileMode]\nDOD=0\n");
  const std::string secret = WriteFile(folder.File("secret"), "root's own\n");
  fs::permissions(secret, kOwnerOnly);
  fs::permissions(own, fs::perms::all);
  fs::create_symlink(secret, own + ".new");
  ProfileFile(own).WriteString("FileMode", "DOD", "1");
  EXPECT_EQ(ReadWholeFile(own), "[FileMode]\nDOD=1\n");
  EXPECT_EQ(fs::status(own).permissions(), fs::perms::all);
  EXPECT_EQ(ReadWholeFile(secret), "root's own\n");
  EXPECT_EQ(fs::status(secret).permissions(), kOwnerOnly);
  EXPECT_TRUE(NoTemporaryLeftIn(folder.Path()));
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
