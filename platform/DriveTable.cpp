#include "platform/DriveTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <utility>

namespace omrek {

namespace {

const std::set<std::string> kVirtualTypes = {"proc",   "sysfs",    "cgroup",     "cgroup2",     "devpts",    "devtmpfs",
                                             "mqueue", "debugfs",  "tracefs",    "securityfs",  "configfs",  "fusectl",
                                             "bpf",    "pstore",   "autofs",     "binfmt_misc", "hugetlbfs", "squashfs",
                                             "nsfs",   "efivarfs", "rpc_pipefs", "nfsd",        "selinuxfs"};

bool IsBelow(const std::string& path, const std::string& folder) {
  return path == folder || path.starts_with(folder + "/");
}

bool IsRamFileSystem(const std::string& type) { return type == "tmpfs" || type == "ramfs"; }

// RAM file systems the system keeps for itself hold nothing of the user's.
bool IsSystemRamDisk(const MountEntry& entry) {
  static const char* const kSystemFolders[] = {"/dev", "/run", "/sys", "/proc"};
  return IsRamFileSystem(entry.Type) &&
         std::any_of(std::begin(kSystemFolders), std::end(kSystemFolders),
                     [&](const char* folder) { return IsBelow(entry.MountPoint, folder); });
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Of several mounts on one point only the last is visible.
std::vector<MountEntry> VisibleMounts(const std::vector<MountEntry>& mounts) {
  std::map<std::string, MountEntry> byPoint;
  for (const MountEntry& entry : mounts) byPoint[entry.MountPoint] = entry;
  std::vector<MountEntry> visible;
  for (auto& [point, entry] : byPoint) visible.push_back(std::move(entry));
  return visible;  // sorted by mount point as text, since std::map is
}

}  // namespace

std::string Drive::DisplayName() const {
  return (Label.empty() ? RootDirectory : Label) + " (" + std::string(1, Letter) + ":)";
}

DriveTable DriveTable::Read() { return FromMounts(ReadMountTable()); }

DriveTable DriveTable::FromMounts(const std::vector<MountEntry>& mounts) {
  const std::vector<MountEntry> visible = VisibleMounts(mounts);
  std::vector<const MountEntry*> lettered;
  std::set<std::pair<unsigned, unsigned>> devices;

  const auto root =
      std::find_if(visible.begin(), visible.end(), [](const MountEntry& e) { return e.MountPoint == "/"; });
  if (root != visible.end()) {
    lettered.push_back(&*root);
    devices.insert({root->Major, root->Minor});
  }
  for (const MountEntry& entry : visible) {
    if (entry.MountPoint == "/" || kVirtualTypes.count(entry.Type) != 0 || IsSystemRamDisk(entry)) continue;
    if (!IsFolder(entry.MountPoint)) continue;  // a single file bound over another
    if (!devices.insert({entry.Major, entry.Minor}).second) continue;
    lettered.push_back(&entry);
  }

  DriveTable table;
  char letter = 'C';
  for (const MountEntry* entry : lettered) {
    if (letter > 'Z') break;
    table.lettered_.push_back({letter++, *entry});
  }
  return table;
}

Drive DriveTable::Describe(const Lettered& entry) {
  Drive drive;
  static_cast<Volume&>(drive) = DescribeVolume(entry.Mount, entry.Mount.MountPoint);
  drive.Letter = entry.Letter;
  return drive;
}

std::vector<Drive> DriveTable::Drives() const {
  std::vector<Drive> drives;
  for (const Lettered& entry : lettered_) drives.push_back(Describe(entry));
  return drives;
}

std::vector<std::string> DriveTable::Roots() const {
  std::vector<std::string> roots;
  for (const Lettered& entry : lettered_) roots.push_back(entry.Mount.MountPoint);
  return roots;
}

std::optional<Drive> DriveTable::Find(char letter) const {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const Lettered& entry : lettered_) {
    if (entry.Letter == upper) return Describe(entry);
  }
  return std::nullopt;
}

char DriveTable::LetterOf(const std::string& mountPoint) const {
  for (const Lettered& entry : lettered_) {
    if (entry.Mount.MountPoint == mountPoint) return entry.Letter;
  }
  return 0;
}

}  // namespace omrek
