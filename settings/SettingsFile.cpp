#include "settings/SettingsFile.h"

#include <charconv>
#include <limits>
#include <stdexcept>

#include "platform/GuardedFolder.h"

namespace omrek {

namespace {

constexpr SettingType kBoolean = SettingType::Boolean;
constexpr SettingType kInteger = SettingType::Integer;
constexpr SettingType kText = SettingType::Text;
constexpr SettingType kDriveLetters = SettingType::DriveLetters;
constexpr SettingType kMountPoints = SettingType::MountPoints;

}  // namespace

const std::array<SettingKey, 21> kSettingKeys{{
    {"FileMode", "DOD", kBoolean, "0", "chkDOD", true},
    {"FileMode", "Inversion", kBoolean, "1", "chkInvert", true},
    {"FileMode", "Randomize", kBoolean, "1", "chkRandomize", true},
    {"FileMode", "NumRandomize", kInteger, "1", "numRandomize", true},
    {"FileMode", "Nullify1", kBoolean, "1", "chkNullify1", true},
    {"FileMode", "Nullify2", kBoolean, "1", "chkNullify2", true},
    {"FileMode", "NullifyCustom", kBoolean, "1", "chkNullifyCustom", true},
    {"FileMode", "NullValue", kText, "FE", "edtNullValue", true},
    {"FileMode", "Sound", kText, "whoose.wav", "edtSoundFile", true},
    {"DiskMode", "DOD", kBoolean, "0", "chkDODDisk", true},
    {"DiskMode", "Inversion", kBoolean, "1", "chkInvertDisk", true},
    {"DiskMode", "Randomize", kBoolean, "1", "chkRandomizeDisk", true},
    {"DiskMode", "NumRandomize", kInteger, "1", "numRandomizeDisk", true},
    {"DiskMode", "Nullify1", kBoolean, "1", "chkNullify1Disk", true},
    {"DiskMode", "Nullify2", kBoolean, "1", "chkNullify2Disk", true},
    {"DiskMode", "NullifyCustom", kBoolean, "1", "chkNullifyCustomDisk", true},
    {"DiskMode", "NullValue", kText, "FE", "edtNullValueDisk", true},
    // Letters follow the sorted mount points and shift when a file system is
    // mounted in front, so a stored letter could name another drive, even a
    // removable one: they are written for the file's sake and never read
    // back; SelectedMounts brings the selection back.
    {"DiskMode", "SelectedDrives", kDriveLetters, "C", "lstDisk", false},
    // Background wiping never came to be: the key is kept for the file's
    // sake, always written as the hidden, always-off check box says.
    {"DiskMode", "WipeBackground", kBoolean, "0", "chkWipeBackground", false},
    {"DiskMode", "WipeSlack", kBoolean, "1", "chkWipeSlack", true},
    // After the keys above, which keep their order. Without it the drive
    // list keeps the fixed drives it selected itself.
    {"DiskMode", "SelectedMounts", kMountPoints, "", "lstDisk", true},
}};

const SettingKey kVerifyKey{"Options", "Verify", kBoolean, "0", "", true};
const SettingKey kWipeNamesKey{"Options", "WipeNames", kBoolean, "1", "", true};
const SettingKey kOfferReportKey{"Options", "OfferReport", kBoolean, "1", "", true};
const SettingKey kThenWipeSpaceKey{"Options", "ThenWipeSpace", kBoolean, "0", "", true};
const SettingKey kQuietDrivesKey{"Options", "QuietDrives", SettingType::MountPoints, "", "", true};

std::string SettingsPathFor(const std::string& executablePath) {
  const std::size_t nameStart = executablePath.find_last_of('/') + 1;
  const std::size_t dot = executablePath.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && dot >= nameStart;
  return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".ini";
}

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
  bool negative = false;
  if (text.starts_with('+') || text.starts_with('-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  }
  // Unsigned, so that from_chars takes no second sign.
  std::uint64_t magnitude = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;

  if (magnitude > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  const auto value = static_cast<std::int64_t>(magnitude);
  const std::int64_t signedValue = negative ? -value : value;
  if (signedValue < std::numeric_limits<std::int32_t>::min() ||
      signedValue > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(signedValue);
}

bool SettingsFile::ReadBoolean(const SettingKey& key) const { return ReadInteger(key) != 0; }

std::int32_t SettingsFile::ReadInteger(const SettingKey& key) const {
  if (const auto stored = ParseProfileInteger(ReadText(key))) return *stored;
  return *ParseProfileInteger(key.fallback);
}

std::string SettingsFile::ReadText(const SettingKey& key) const {
  return profile_.ReadString(key.section, key.name, key.fallback);
}

std::vector<std::string> SettingsFile::ReadMountPoints(const SettingKey& key) const {
  const std::string value = ReadText(key);
  std::vector<std::string> mountPoints = SplitMountPoints(value);
  // A cut keeps whole UTF-8 characters, so it may stop up to three bytes
  // short of the limit.
  const bool mayBeCut = value.size() + 3 >= ProfileFile::kMaxValueLength;
  if (mayBeCut && !mountPoints.empty()) mountPoints.pop_back();
  return mountPoints;
}

void SettingsFile::WriteText(const SettingKey& key, const std::string& value) {
  try {
    profile_.WriteString(key.section, key.name, value);
  } catch (const UntrustedPlace& refused) {
    throw std::runtime_error("Unable to write to " + Path() + ": " + refused.what());
  } catch (const std::exception&) {
    throw std::runtime_error("Unable to write to " + Path());
  }
}

}  // namespace omrek
