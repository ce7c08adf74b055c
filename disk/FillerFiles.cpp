#include "disk/FillerFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "platform/Directory.h"
#include "platform/DriveTable.h"
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

LeftoverFillers DeleteLeftoverFillers(const std::string& root) {
  LeftoverFillers found;
  try {
    const Directory folder = Directory::Open(root);
    for (const Directory::Entry& entry : folder.Entries()) {
      if (entry.kind != Directory::EntryKind::File || !IsFillerFileName(entry.name)) continue;
      const std::uint64_t bytes = folder.AllocatedBytes(entry.name);
      try {
        // A filler that another copy of the program is still filling is
        // open there; only one nobody holds is a leftover.
        folder.OpenFileExclusive(entry.name).Close();
        folder.RemoveEntry(entry.name);
      } catch (const IoError&) {
        continue;
      }
      ++found.files;
      found.bytes += bytes;
    }
  } catch (const IoError&) {
    // A root that cannot be opened or listed holds nothing this can reach.
  }
  return found;
}

void DeleteLeftoverFillersOfAllDrives(JobMonitor& monitor) {
  PutBackReservesOfKilledRuns();
  LeftoverFillers total;
  for (const std::string& root : DriveTable::Read().Roots()) {
    const LeftoverFillers found = DeleteLeftoverFillers(root);
    total.files += found.files;
    total.bytes += found.bytes;
  }
  if (total.files == 0) return;
  // Rounded up: a leftover of a few kilobytes still shows that space came
  // back.
  const std::uint64_t megs = (total.bytes + kMegabyte - 1) / kMegabyte;
  monitor.SetStatus("LEFTOVERS", Counted(static_cast<std::uint64_t>(total.files), "file", "files"),
                    Counted(megs, "meg", "megs") + " freed");
}

}  // namespace omrek
