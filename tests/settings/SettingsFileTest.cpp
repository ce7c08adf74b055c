#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <stdexcept>
#include <vector>

#include "settings/SettingsLocation.h"
#include "settings/StoredProfile.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

using test::ReadWholeFile;
using test::WriteFile;

const SettingKey& Key(const char* section, const char* name) {
  for (const SettingKey& key : kSettingKeys) {
    if (std::string_view(key.section) == section && std::string_view(key.name) == name) return key;
  }
  throw std::out_of_range(name);
}

TEST(ParseProfileInteger, DecimalOrHexadecimalWithASign) {
  EXPECT_EQ(ParseProfileInteger("500"), 500);
  EXPECT_EQ(ParseProfileInteger("-3"), -3);
  EXPECT_EQ(ParseProfileInteger("+7"), 7);
  EXPECT_EQ(ParseProfileInteger("0x0A"), 10);
  EXPECT_EQ(ParseProfileInteger("0X1f"), 31);
  EXPECT_EQ(ParseProfileInteger("$FF"), 255);
  EXPECT_EQ(ParseProfileInteger("-$10"), -16);
  EXPECT_EQ(ParseProfileInteger("2147483647"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ParseProfileInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());

  for (const char* notANumber : {"", "yes", "12abc", "1.5", "--5", "+-5", "0x", "$", "0x-1", "2147483648", "0x80000000",
                                 "99999999999999999999999"}) {
    EXPECT_FALSE(ParseProfileInteger(notANumber).has_value()) << notANumber;
  }
}

TEST(SettingsPathFor, TheProgramsNameWithIni) {
  EXPECT_EQ(SettingsPathFor("/opt/omrek/omrek"), "/opt/omrek/omrek.ini");
  EXPECT_EQ(SettingsPathFor("/opt/omrek/Omrek.exe"), "/opt/omrek/Omrek.ini");
  EXPECT_EQ(SettingsPathFor("/opt/omrek.d/omrek"), "/opt/omrek.d/omrek.ini")
      << "a dot in a folder name is no extension";
  EXPECT_EQ(SettingsPathFor("/opt/omrek.tar.gz"), "/opt/omrek.tar.ini");
}

TEST(SettingsFile, WithoutAFileEveryKeyHasItsDefault) {
  test::TempDir folder;
  const SettingsFile file(folder.File("omrek.ini"));
  EXPECT_FALSE(file.ReadBoolean(Key("FileMode", "DOD")));
  EXPECT_TRUE(file.ReadBoolean(Key("FileMode", "Inversion")));
  EXPECT_EQ(file.ReadInteger(Key("FileMode", "NumRandomize")), 1);
  EXPECT_EQ(file.ReadText(Key("FileMode", "NullValue")), "FE");
  EXPECT_EQ(file.ReadText(Key("FileMode", "Sound")), "whoose.wav");
  EXPECT_TRUE(file.ReadBoolean(Key("DiskMode", "WipeSlack")));
  EXPECT_EQ(file.ReadText(Key("DiskMode", "SelectedDrives")), "C");
  EXPECT_FALSE(file.Stored(Key("DiskMode", "SelectedDrives")));
}

TEST(SettingsFile, NumbersThatAreNoNumbersGiveTheDefault) {
  test::TempDir folder;
  const SettingsFile file(WriteFile(folder.File("omrek.ini"),
                                    "[FileMode]\n"
                                    "DOD=yes\n"
                                    "Inversion=0\n"
                                    "Randomize=abc\n"
                                    "NumRandomize=0x0A\n"
                                    "Nullify1=\n"
                                    "[DiskMode]\n"
                                    "DOD=2\n"
                                    "NumRandomize=many\n"
                                    "WipeSlack=-1\n"));
  EXPECT_FALSE(file.ReadBoolean(Key("FileMode", "DOD"))) << "yes is no number: the default, false";
  EXPECT_FALSE(file.ReadBoolean(Key("FileMode", "Inversion")));
  EXPECT_TRUE(file.ReadBoolean(Key("FileMode", "Randomize"))) << "the default";
  EXPECT_EQ(file.ReadInteger(Key("FileMode", "NumRandomize")), 10);
  EXPECT_TRUE(file.ReadBoolean(Key("FileMode", "Nullify1"))) << "empty: the default";
  EXPECT_TRUE(file.ReadBoolean(Key("DiskMode", "DOD"))) << "any number but 0";
  EXPECT_EQ(file.ReadInteger(Key("DiskMode", "NumRandomize")), 1);
  EXPECT_TRUE(file.ReadBoolean(Key("DiskMode", "WipeSlack")));
}

TEST(SettingsFile, AFirstSaveLaysTheFileOut) {
  test::TempDir folder;
  const std::string path = folder.File("omrek.ini");
  SettingsFile file(path);
  for (const SettingKey& key : kSettingKeys) file.WriteText(key, key.fallback);
  EXPECT_EQ(ReadWholeFile(path),
            "[FileMode]\n"
            "DOD=0\n"
            "Inversion=1\n"
            "Randomize=1\n"
            "NumRandomize=1\n"
            "Nullify1=1\n"
            "Nullify2=1\n"
            "NullifyCustom=1\n"
            "NullValue=FE\n"
            "Sound=whoose.wav\n"
            "\n"
            "[DiskMode]\n"
            "DOD=0\n"
            "Inversion=1\n"
            "Randomize=1\n"
            "NumRandomize=1\n"
            "Nullify1=1\n"
            "Nullify2=1\n"
            "NullifyCustom=1\n"
            "NullValue=FE\n"
            "SelectedDrives=C\n"
            "WipeBackground=0\n"
            "WipeSlack=1\n"
            "SelectedMounts=\n");
}

TEST(MountPointList, AnyBytesComeBackExactly) {
  const std::vector<std::string> mountPoints{"/",
                                             "/media/a b",
                                             "/mnt/x;y",
                                             "/mnt/back\\slash",
                                             " /lead\tand\ntrail ",
                                             "/mnt/\xFF\x01\x7F",
                                             "/media/caf\xC3\xA9",
                                             "/mnt/\\040"};
  const std::string value = JoinMountPoints(mountPoints);
  EXPECT_EQ(value,
            "/;/media/a\\040b;/mnt/x\\073y;/mnt/back\\134slash;\\040/lead\\011and\\012trail\\040;"
            "/mnt/\xFF\\001\\177;/media/caf\xC3\xA9;/mnt/\\134040");
  EXPECT_EQ(SplitMountPoints(value), mountPoints);
  EXPECT_EQ(JoinMountPoints({}), "");
  EXPECT_TRUE(SplitMountPoints("").empty());
  EXPECT_EQ(SplitMountPoints(";/a;;/b\\9;/c\\;/d\\400"), (std::vector<std::string>{"/a", "/b\\9", "/c\\", "/d\\400"}))
      << "empty fields are passed over; a backslash without an escape stands for itself";
}

TEST(SettingsFile, MountPointsSurviveTheFileAndACutOneIsLeftOut) {
  test::TempDir folder;
  const std::string path = folder.File("omrek.ini");
  const SettingKey& key = Key("DiskMode", "SelectedMounts");
  const std::vector<std::string> odd{" /media/a b ", "/mnt/x;y"};
  SettingsFile(path).WriteMountPoints(key, odd);
  EXPECT_EQ(SettingsFile(path).ReadMountPoints(key), odd);

  // Cut at the length a value is read to, the last mount point could name
  // /mnt/short, another drive: it is left out.
  const std::string full(1500, 'a');
  SettingsFile(path).WriteMountPoints(key, {"/" + full, "/mnt/" + std::string(ProfileFile::kMaxValueLength, 'b')});
  EXPECT_EQ(SettingsFile(path).ReadMountPoints(key), std::vector<std::string>{"/" + full});
}

TEST(SettingsFile, TypedWritesAndTheirFailure) {
  test::TempDir folder;
  const std::string path = folder.File("omrek.ini");
  SettingsFile file(path);
  file.WriteBoolean(Key("FileMode", "DOD"), true);
  file.WriteInteger(Key("FileMode", "NumRandomize"), -250);
  EXPECT_EQ(ReadWholeFile(path), "[FileMode]\nDOD=1\nNumRandomize=-250\n");

  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  try {
    file.WriteBoolean(Key("FileMode", "Inversion"), false);
    FAIL() << "a read-only file was written";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
  }
}

TEST(PlacesOf, ABuildTreeOrPortableFolderKeepsEverythingBesideTheProgram) {
  test::TempDir folder;
  const std::string program = folder.File("omrek");
  const ProgramPlaces places = PlacesOf(program, {"/xdg", "/home/user"});
  EXPECT_EQ(places.settingsFile, folder.File("omrek.ini"));
  EXPECT_EQ(places.dataFolder, folder.Path());
  EXPECT_EQ(places.documentFolder, folder.Path());
  EXPECT_EQ(places.windowModule, folder.File("omrek-window.so"));
}

TEST(PlacesOf, AnInstalledProgramKeepsItsSettingsInTheUsersConfigFolder) {
  test::TempDir prefix;
  std::filesystem::create_directories(prefix.File("bin"));
  std::filesystem::create_directories(prefix.File("share/omrek"));
  const std::string program = prefix.File("bin/omrek");

  const ProgramPlaces places = PlacesOf(program, {"/xdg", "/home/user"});
  EXPECT_EQ(places.settingsFile, "/xdg/omrek/omrek.ini");
  EXPECT_EQ(places.dataFolder, prefix.File("share/omrek"));
  EXPECT_EQ(places.documentFolder, prefix.File("share/doc/omrek"));
  EXPECT_EQ(places.windowModule, prefix.File("lib/omrek/modules/omrek-window.so"));
  EXPECT_EQ(PlacesOf(program, {"", "/home/user"}).settingsFile, "/home/user/.config/omrek/omrek.ini");
  EXPECT_EQ(PlacesOf(program, {"relative", "/home/user"}).settingsFile, "/home/user/.config/omrek/omrek.ini")
      << "a relative XDG_CONFIG_HOME counts as unset";

  WriteFile(prefix.File("bin/omrek.ini"), "");
  EXPECT_EQ(PlacesOf(program, {"/xdg", "/home/user"}).settingsFile, prefix.File("bin/omrek.ini"))
      << "a settings file beside the program makes it portable";
  EXPECT_EQ(PlacesOf(program, {"/xdg", "/home/user"}).dataFolder, prefix.File("share/omrek"));
}

TEST(CreateSettingsFolder, MakesTheMissingFolders) {
  test::TempDir home;
  namespace fs = std::filesystem;
  fs::permissions(home.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  const std::string settings = home.File(".config/omrek/omrek.ini");
  CreateSettingsFolder(settings);
  EXPECT_TRUE(fs::is_directory(home.File(".config/omrek")));
  for (const std::string& made : {home.File(".config"), home.File(".config/omrek")}) {
    EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made << " is the user's alone";
  }
  EXPECT_EQ(fs::status(home.Path()).permissions(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec)
      << "a folder that was there keeps its permissions";
  SettingsFile file(settings);
  file.WriteBoolean(Key("FileMode", "DOD"), true);
  EXPECT_EQ(ReadWholeFile(settings), "[FileMode]\nDOD=1\n");
}

// Private whatever the umask, and never made behind a link or inside another
// user's folder: the program may run as root with that user's HOME.
TEST(CreateSettingsFolder, MakesNothingBehindALinkOrInAnotherUsersFolder) {
  test::TempDir home;
  namespace fs = std::filesystem;
  const mode_t umask = ::umask(0);
  CreateSettingsFolder(home.File("open/omrek/omrek.ini"));
  ::umask(umask);
  EXPECT_EQ(fs::status(home.File("open/omrek")).permissions(), fs::perms::owner_all) << "not widened by the umask";

  fs::create_directories(home.File("elsewhere"));
  fs::create_directory_symlink(home.File("elsewhere"), home.File(".config"));
  ASSERT_EQ(::lchown(home.File(".config").c_str(), 65534, 65534), 0) << "the user's link, not root's";
  CreateSettingsFolder(home.File(".config/omrek/omrek.ini"));
  EXPECT_FALSE(fs::exists(home.File("elsewhere/omrek"))) << "no folder behind the link";
  EXPECT_THROW(CreatePrivateFolders(home.File(".config/omrek")), std::runtime_error);
  EXPECT_THROW(SettingsFile(home.File(".config/omrek.ini")).WriteBoolean(Key("FileMode", "DOD"), true),
               std::runtime_error)
      << "the save still refuses a linked folder";

  fs::create_directories(home.File("theirs"));
  ASSERT_EQ(::chown(home.File("theirs").c_str(), 65534, 65534), 0);
  EXPECT_THROW(CreatePrivateFolders(home.File("theirs/omrek")), std::runtime_error);
  EXPECT_FALSE(fs::exists(home.File("theirs/omrek")));

  // A system's own link, as /home -> /var/home, is root's in a folder of root's.
  fs::create_directory_symlink(home.File("elsewhere"), home.File("roots"));
  CreatePrivateFolders(home.File("roots/omrek"));
  EXPECT_TRUE(fs::is_directory(home.File("elsewhere/omrek")));
}

TEST(ReadStoredProfile, ReadsAModeAsAStartWouldReadItIntoTheDialog) {
  test::TempDir folder;
  const std::string path = WriteFile(folder.File("omrek.ini"),
                                     "[FileMode]\nDOD=2\nInversion=0\nNumRandomize=500\nNullValue=abc\n"
                                     "[DiskMode]\nNumRandomize=-3\nNullify2=yes\nWipeSlack=0\n");
  const SettingsFile file(path);

  const StoredWipeProfile fileMode = ReadStoredProfile(file, "FileMode");
  EXPECT_TRUE(fileMode.DOD());
  EXPECT_FALSE(fileMode.Inversion());
  EXPECT_TRUE(fileMode.Randomize());
  EXPECT_EQ(fileMode.NumRandomize(), 100);
  EXPECT_EQ(fileMode.NullValue(), "ab");

  const StoredWipeProfile diskMode = ReadStoredProfile(file, "DiskMode");
  EXPECT_EQ(diskMode.NumRandomize(), 0);
  EXPECT_TRUE(diskMode.Nullify2()) << "not a number: the default";
  EXPECT_EQ(diskMode.NullValue(), "FE");
  EXPECT_FALSE(ReadStoredWipeSlack(file));
  EXPECT_TRUE(ReadStoredWipeSlack(SettingsFile(folder.File("missing.ini"))));
}

}  // namespace
}  // namespace omrek
