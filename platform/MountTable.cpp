#include "platform/MountTable.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace omrek {

namespace {

// The kernel writes space, tab, newline and backslash in paths as \ooo.
std::string Unescape(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string digits = field.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string::npos) {
        out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

bool ParseLine(const std::string& line, MountEntry& entry) {
  // id parent major:minor root mount-point options [optional...] - type source super-options
  std::istringstream fields(line);
  std::string id, parent, device, root, mountPoint, options;
  if (!(fields >> id >> parent >> device >> root >> mountPoint >> options)) return false;
  std::string field;
  while (fields >> field && field != "-") {
  }
  std::string type, source;
  if (field != "-" || !(fields >> type >> source)) return false;

  const auto colon = device.find(':');
  if (colon == std::string::npos) return false;
  entry.Major = static_cast<unsigned>(std::stoul(device.substr(0, colon)));
  entry.Minor = static_cast<unsigned>(std::stoul(device.substr(colon + 1)));
  entry.MountPoint = Unescape(mountPoint);
  entry.Type = type;
  entry.Source = Unescape(source);
  entry.Id = static_cast<unsigned>(std::stoul(id));
  return true;
}

std::optional<unsigned> MountIdOf(const std::string& path) {
  struct statx facts {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID, &facts) != 0) return std::nullopt;
  if ((facts.stx_mask & STATX_MNT_ID) == 0) return std::nullopt;
  return static_cast<unsigned>(facts.stx_mnt_id);
}

// Of mounts on the same point the later hides the earlier, so a tie goes to
// the later one.
const MountEntry* LongestMountPointOver(const std::string& canonical, const std::vector<MountEntry>& entries) {
  const MountEntry* best = nullptr;
  for (const MountEntry& entry : entries) {
    const bool holds =
        entry.MountPoint == "/" || canonical == entry.MountPoint || canonical.starts_with(entry.MountPoint + "/");
    if (holds && (best == nullptr || entry.MountPoint.size() >= best->MountPoint.size())) best = &entry;
  }
  return best;
}

}  // namespace

std::optional<MountEntry> MountHoldingPath(const std::string& path, const std::vector<MountEntry>& entries) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (const std::optional<unsigned> id = MountIdOf(path)) {
    for (const MountEntry& entry : entries) {
      if (entry.Id == *id) return entry;
    }
  }
  std::error_code error;
  const std::string canonical = std::filesystem::weakly_canonical(path, error).string();
  if (error) return std::nullopt;
  const MountEntry* best = LongestMountPointOver(canonical, entries);
  if (best == nullptr) return std::nullopt;
  return *best;
}

std::vector<MountEntry> ParseMountTable(const std::string& text) {
  std::vector<MountEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    MountEntry entry;
    try {
      if (ParseLine(line, entry)) entries.push_back(std::move(entry));
    } catch (const std::exception&) {
      // A line we cannot read describes no drive we could use.
    }
  }
  return entries;
}

std::vector<MountEntry> ReadMountTable() {
  std::ifstream file("/proc/self/mountinfo");
  std::ostringstream text;
  text << file.rdbuf();
  return ParseMountTable(text.str());
}

std::optional<std::string> MountPointHolding(const std::string& path) {
  const std::optional<MountEntry> mount = MountHoldingPath(path, ReadMountTable());
  if (!mount) return std::nullopt;
  return mount->MountPoint;
}

}  // namespace omrek
