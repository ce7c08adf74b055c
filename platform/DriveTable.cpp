#include "platform/DriveTable.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <utility>

#include "platform/MountProbe.h"

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

// Asks the file system itself as well: a FUSE mount answers a stat from
// the kernel's cache for a while after its server stopped, a statvfs never.
// Only the wait counts; a file system that cannot tell its space answered.
bool IsAnsweringFolder(const std::string& path) {
  struct statvfs space {};
  static_cast<void>(::statvfs(path.c_str(), &space));
  return IsFolder(path);
}

enum class MountPointKind { Folder, Other, NotResponding };

MountPointKind KindOfMountPoint(const std::string& mountPoint) {
  const std::optional<bool> folder =
      MountProbe::Ask<bool>(mountPoint, [mountPoint] { return IsAnsweringFolder(mountPoint); });
  if (!folder) return MountPointKind::NotResponding;
  return *folder ? MountPointKind::Folder : MountPointKind::Other;
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
  std::vector<std::pair<const MountEntry*, bool>> lettered;
  std::set<std::pair<unsigned, unsigned>> devices;
  DriveTable table;

  const auto root =
      std::find_if(visible.begin(), visible.end(), [](const MountEntry& e) { return e.MountPoint == "/"; });
  if (root != visible.end()) {
    lettered.push_back({&*root, true});
    devices.insert({root->Major, root->Minor});
  }
  for (const MountEntry& entry : visible) {
    if (entry.MountPoint == "/" || kVirtualTypes.count(entry.Type) != 0 || IsSystemRamDisk(entry)) continue;
    // A single file bound over another is no drive. A mount that does not
    // answer is taken for a folder: the user's remote drive must show.
    const MountPointKind kind = KindOfMountPoint(entry.MountPoint);
    if (kind == MountPointKind::Other) continue;
    if (!devices.insert({entry.Major, entry.Minor}).second) {
      table.secondMounts_.push_back(entry);
      continue;
    }
    lettered.push_back({&entry, kind == MountPointKind::Folder});
  }

  char letter = 'C';
  for (const auto& [entry, responding] : lettered) {
    if (letter > 'Z') break;
    table.lettered_.push_back({letter++, *entry, responding});
  }
  return table;
}

Drive DriveTable::Describe(const Lettered& entry) {
  Drive drive;
  std::optional<Volume> volume;
  if (entry.Responding) {
    const MountEntry mount = entry.Mount;
    volume = MountProbe::Ask<Volume>(mount.MountPoint, [mount] { return DescribeVolume(mount, mount.MountPoint); });
  }
  if (volume) {
    static_cast<Volume&>(drive) = std::move(*volume);
  } else {
    // Listed like a network drive, so the preselection of fixed drives
    // never picks it.
    drive.RootDirectory = entry.Mount.MountPoint;
    drive.Device = entry.Mount.Source;
    drive.FileSystem = entry.Mount.Type;
    drive.Kind = DriveKind::Remote;
    drive.Responding = false;
  }
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
  for (const Lettered& entry : lettered_) {
    if (entry.Responding) roots.push_back(entry.Mount.MountPoint);
  }
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

std::optional<std::pair<char, std::string>> DriveTable::LetteredMountOf(const std::string& mountPoint) const {
  if (const char letter = LetterOf(mountPoint); letter != 0) return std::pair(letter, mountPoint);
  for (const MountEntry& second : secondMounts_) {
    if (second.MountPoint != mountPoint) continue;
    for (const Lettered& entry : lettered_) {
      if (entry.Mount.Major == second.Major && entry.Mount.Minor == second.Minor) {
        return std::pair(entry.Letter, entry.Mount.MountPoint);
      }
    }
  }
  return std::nullopt;
}

}  // namespace omrek
