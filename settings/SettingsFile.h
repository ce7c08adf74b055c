#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/MountPointList.h"
#include "settings/ProfileFile.h"

namespace omrek {

// DriveLetters and MountPoints are texts that the drive list is written to
// (and, for MountPoints, read from); see MountPointList.h for the latter.
enum class SettingType { Boolean, Integer, Text, DriveLetters, MountPoints };

// One key of the settings file and the configuration dialog's control that
// it is read into and written from.
struct SettingKey {
  const char* section;
  const char* name;
  SettingType type;
  const char* fallback;  // the value of a missing key, as the file would hold it
  const char* control;   // the control's objectName
  bool loaded;           // false for the keys that are written but never read
};

// Every key in the order a save writes it: FileMode's nine, then DiskMode's
// twelve. Loading walks the same table.
extern const std::array<SettingKey, 21> kSettingKeys;

// The [Options] section, written after [DiskMode]: choices the dialog does
// not show. Verify: read each file back after its last pass. WipeNames:
// rename a file to names that tell nothing before deleting it.
extern const SettingKey kVerifyKey;
extern const SettingKey kWipeNamesKey;
// OfferReport: after a command the window offers to save its report;
// "Don't offer again" turns it off.
extern const SettingKey kOfferReportKey;
// ThenWipeSpace: whether a Destroy goes on to wipe the free space the files
// leave, as the user last chose it in the window against what was offered;
// missing until then.
extern const SettingKey kThenWipeSpaceKey;
// The drives (mount points) whose warning about overwriting in place the
// user asked not to see again.
extern const SettingKey kQuietDrivesKey;

// The settings file of the program at `executablePath`: its name with the
// extension (from the last dot of the file name) replaced by ".ini", or
// ".ini" appended when the name has no dot.
std::string SettingsPathFor(const std::string& executablePath);

// A whole number as the settings file holds it: decimal, or hexadecimal
// after "0x", "0X" or "$", with an optional sign in front. Nothing for any
// other text or for a number outside 32 bits.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

// The settings file, read by the key table's types. Reading never fails: a
// missing file, section or key, or a value that is not a number where one
// is wanted, gives the key's default.
class SettingsFile {
 public:
  explicit SettingsFile(std::string path) : profile_(std::move(path)) {}

  const std::string& Path() const { return profile_.Path(); }
  // See ProfileFile::Problem.
  const std::string& Problem() const { return profile_.Problem(); }

  // Any number but 0 is true.
  bool ReadBoolean(const SettingKey& key) const;
  std::int32_t ReadInteger(const SettingKey& key) const;
  std::string ReadText(const SettingKey& key) const;
  // The mount points a MountPoints key holds. When the value is longer than
  // a value may be read, its last mount point is left out: cut short, it
  // could name another drive.
  std::vector<std::string> ReadMountPoints(const SettingKey& key) const;
  // Whether the file holds the key at all.
  bool Stored(const SettingKey& key) const { return profile_.HasKey(key.section, key.name); }

  // Each key reaches the file before the call returns. When it cannot be
  // written the call raises "Unable to write to " and the file's path,
  // followed by ": " and the reason when the file or its folder is refused
  // as another user's or a link; the keys written before stay in the file.
  void WriteBoolean(const SettingKey& key, bool value) { WriteText(key, value ? "1" : "0"); }
  void WriteInteger(const SettingKey& key, std::int32_t value) { WriteText(key, std::to_string(value)); }
  void WriteText(const SettingKey& key, const std::string& value);
  void WriteMountPoints(const SettingKey& key, const std::vector<std::string>& mountPoints) {
    WriteText(key, JoinMountPoints(mountPoints));
  }

 private:
  ProfileFile profile_;
};

}  // namespace omrek
