#include "settings/StoredProfile.h"

#include <algorithm>
#include <stdexcept>

namespace omrek {

namespace {

// The dialog's spin edit holds the pass count to this range.
constexpr std::int32_t kMaxPasses = 100;

const SettingKey& KeyOf(const std::string& section, const std::string& name) {
  for (const SettingKey& key : kSettingKeys) {
    if (section == key.section && name == key.name) return key;
  }
  throw std::logic_error("no setting " + section + "/" + name);
}

}  // namespace

StoredWipeProfile ReadStoredProfile(const SettingsFile& file, const std::string& section) {
  const auto boolean = [&](const char* name) { return file.ReadBoolean(KeyOf(section, name)); };
  StoredWipeProfile profile;
  profile.dod = boolean("DOD");
  profile.inversion = boolean("Inversion");
  profile.randomize = boolean("Randomize");
  profile.numRandomize = std::clamp(file.ReadInteger(KeyOf(section, "NumRandomize")), 0, kMaxPasses);
  profile.nullify1 = boolean("Nullify1");
  profile.nullify2 = boolean("Nullify2");
  profile.nullifyCustom = boolean("NullifyCustom");
  profile.nullValue = file.ReadText(KeyOf(section, "NullValue")).substr(0, 2);
  return profile;
}

bool ReadStoredWipeSlack(const SettingsFile& file) { return file.ReadBoolean(KeyOf("DiskMode", "WipeSlack")); }

}  // namespace omrek
