#include "disk/FillerFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>

#include "intake/ReadablePath.h"
#include "platform/Directory.h"
#include "platform/DriveTable.h"
#include "platform/FileSystemLock.h"
#include "platform/IoError.h"
#include "platform/ReservedClusters.h"

namespace omrek {

namespace {

constexpr std::string_view kFillerPrefix = "Omrek-Delete This File if you see it ";
constexpr std::uint64_t kMegabyte = 1 << 20;

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

std::string Counted(std::uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Why a file with a filler's name cannot be a leftover of this user's runs;
// empty when it may be one. Another user's file, or a second name of a file
// kept elsewhere, is never the program's to delete.
std::string WhyNotALeftover(const FileOwnership& ownership) {
  if (!ownership.runningUsers) return "owned by another user";
  if (ownership.links != 1) return "more than one link";
  return {};
}

// Deletes the file `name` of the root `folder` when it is provably a
// leftover filler and counts it in `found`; names it there when it is
// another user's or has other names.
void DeleteIfLeftover(const Directory& folder, const std::string& name, const std::string& path,
                      LeftoverFillers& found) {
  const auto seen = folder.Examine(name);
  if (!seen) return;
  if (const std::string why = WhyNotALeftover(seen->ownership); !why.empty()) {
    (seen->ownership.runningUsers ? found.left : found.others).push_back("left " + ReadablePath(path) + ": " + why);
    return;
  }
  try {
    // A filler that another copy of the program is still filling is open
    // there; only one nobody holds is a leftover. What was seen by name is
    // checked again on the open file, which the name may no longer lead to.
    const FileHandle file = folder.OpenFileExclusive(name);
    if (!WhyNotALeftover(file.Ownership()).empty()) return;
    const std::uint64_t bytes = file.AllocatedBytes();
    folder.RemoveEntryOf(name, file.Identity());
    ++found.files;
    found.bytes += bytes;
  } catch (const IoError&) {
    // In use, or changed under the clean-up: not provably a leftover.
  }
}

// The drive's lock, held while its leftovers go; false when another copy
// of the program wipes the drive: its closed fillers are in flight, not
// left over. Where no lock can be kept (no journal folder) no copy of this
// user's can be wiping, as each refuses its drives then: the clean-up goes
// on without.
bool TakeTurn(const std::string& root, std::optional<FileSystemLock>& turn) {
  try {
    turn = FileSystemLock::TryTake(root);
    return turn.has_value();
  } catch (const IoError&) {
    return true;
  }
}

}  // namespace

std::string FillerFileName(int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%3.3d", number);
  return std::string(kFillerPrefix) + digits;
}

bool IsFillerFileName(const std::string& name) {
  if (!name.starts_with(kFillerPrefix)) return false;
  const std::string_view number = std::string_view(name).substr(kFillerPrefix.size());
  return number.size() >= 3 && AllDigits(number);
}

std::string LeftoverFillers::FilesText() const { return Counted(static_cast<std::uint64_t>(files), "file", "files"); }

std::string LeftoverFillers::FreedText() const {
  return Counted((bytes + kMegabyte - 1) / kMegabyte, "meg", "megs") + " freed";
}

LeftoverFillers DeleteLeftoverFillers(const std::string& root) {
  LeftoverFillers found;
  try {
    const Directory folder = Directory::Open(root);
    for (const Directory::Entry& entry : folder.Entries()) {
      if (entry.kind == Directory::EntryKind::File && IsFillerFileName(entry.name)) {
        DeleteIfLeftover(folder, entry.name, PathInFolder(root, entry.name), found);
      }
    }
  } catch (const IoError&) {
    // A root that cannot be opened or listed holds nothing this can reach.
  }
  return found;
}

void TellLeftFillers(JobMonitor& monitor, const LeftoverFillers& found) {
  for (const std::string& left : found.left) monitor.ShowMessage(left);
}

LeftoverFillers DeleteLeftoverFillersOfAllDrives() {
  LeftoverFillers total;
  for (const std::string& root : DriveTable::Read().Roots()) {
    std::optional<FileSystemLock> turn;
    if (!TakeTurn(root, turn)) continue;
    LeftoverFillers found = DeleteLeftoverFillers(root);
    total.files += found.files;
    total.bytes += found.bytes;
    total.left.insert(total.left.end(), found.left.begin(), found.left.end());
  }
  return total;
}

}  // namespace omrek
