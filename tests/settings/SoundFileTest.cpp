#include "settings/SoundFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/FileHandle.h"
#include "tests/support/TempDir.h"

namespace omrek {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

// Runs in another working folder for as long as it lives.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& path) : previous_(fs::current_path()) { fs::current_path(path); }
  ~WorkingFolder() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

TEST(ResolveSoundPath, AFileThatIsThereElseTheSoundFolder) {
  test::TempDir folder;
  fs::create_directory(folder.File("program"));
  const std::string program = folder.File("program");
  const std::string elsewhere = WriteFile(folder.File("chime.wav"), "RIFF");

  EXPECT_EQ(ResolveSoundPath(elsewhere, program), elsewhere);
  EXPECT_EQ(ResolveSoundPath(folder.File("gone/missing.wav"), program), folder.File("program/missing.wav"));
  EXPECT_EQ(ResolveSoundPath("whoose.wav", program), folder.File("program/whoose.wav"));
  EXPECT_EQ(ResolveSoundPath("", program), folder.File("program/")) << "the folder itself";
  fs::create_directory(folder.File("sounds.wav"));
  EXPECT_EQ(ResolveSoundPath(folder.File("sounds.wav"), program), folder.File("program/sounds.wav"))
      << "a folder is no sound file";

  WorkingFolder working(folder.Path());
  EXPECT_EQ(ResolveSoundPath("chime.wav", program), "chime.wav") << "relative to the working folder";
}

TEST(ReadSoundImage, TheWholeFileOrAnError) {
  test::TempDir folder;
  const std::string sound = WriteFile(folder.File("chime.wav"), std::string("RIFF\0\x01\x02", 7));
  EXPECT_EQ(ReadSoundImage(sound), std::vector<std::uint8_t>({'R', 'I', 'F', 'F', 0, 1, 2}));
  fs::create_symlink(sound, folder.File("link.wav"));
  EXPECT_EQ(ReadSoundImage(folder.File("link.wav")).size(), 7u) << "a link to a sound is followed";

  EXPECT_ANY_THROW(ReadSoundImage(folder.File("missing.wav")));
  EXPECT_ANY_THROW(ReadSoundImage(folder.Path() + "/"));
  // A huge file is refused before anything is read.
  FileHandle::Create(folder.File("huge.wav")).SetLength(kMaxSoundBytes + 1);
  EXPECT_ANY_THROW(ReadSoundImage(folder.File("huge.wav")));
}

TEST(ShippedSound, IsAShortWave) {
  const std::string image = test::ReadWholeFile(OMREK_SHIPPED_SOUND);
  ASSERT_GT(image.size(), 44u);
  EXPECT_LT(image.size(), 64u * 1024);
  EXPECT_EQ(image.substr(0, 4), "RIFF");
  EXPECT_EQ(image.substr(8, 8), "WAVEfmt ");
  std::uint16_t format = 0;
  std::memcpy(&format, image.data() + 20, sizeof format);
  EXPECT_EQ(format, 1) << "plain PCM, which every player takes";
  EXPECT_EQ(image.substr(36, 4), "data");
}

}  // namespace
}  // namespace omrek
