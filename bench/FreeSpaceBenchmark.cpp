// Wipes the free space of a scratch file system with one pass at a time and
// with the default disk profile, beside a baseline that fills the same
// space with 1 MiB writes, each followed by fsync, as dd would.
//
//   omrek_bench_free_space MOUNT-POINT    (scripts/bench-free-space.sh makes one)

#include <cstdio>
#include <string>
#include <vector>

#include "bench/SilentMonitor.h"
#include "disk/DiskInfo.h"
#include "disk/FreeSpaceWipe.h"
#include "platform/DriveTable.h"
#include "platform/FileHandle.h"
#include "platform/IoError.h"

namespace {

using namespace omrek;

double MiBPerSecond(std::int64_t bytes, double seconds) { return static_cast<double>(bytes) / (1 << 20) / seconds; }

double Baseline(const std::string& root, std::int64_t bytes) {
  const std::string path = root + "/baseline";
  std::vector<std::uint8_t> chunk(FreeSpaceWipe::kChunkSize, 0x5A);
  const double seconds = SecondsOf([&] {
    FileHandle file = FileHandle::Create(path);
    try {
      for (std::int64_t done = 0; done + static_cast<std::int64_t>(chunk.size()) <= bytes; done += chunk.size()) {
        file.WriteAt(chunk.data(), chunk.size(), static_cast<std::uint64_t>(done));
        file.Flush();
      }
    } catch (const IoError&) {
      // The disk is full: as far as the baseline goes.
    }
  });
  FileHandle::Delete(path);
  return seconds;
}

void Wipe(const char* name, const DriveToWipe& drive, const StoredWipeProfile& profile, int passes,
          double baselineSeconds, std::int64_t free) {
  ShredEngine engine;
  SilentMonitor monitor(engine);
  TDiskInfo diskInfo;
  FreeSpaceWipe wipe(
      engine, monitor, profile, [] { return false; }, diskInfo);
  const double seconds = SecondsOf([&] { wipe.WipeSelectedDrives({drive}); });
  const std::int64_t written = engine.Progress * static_cast<std::int64_t>(FreeSpaceWipe::kBlockSize);
  std::printf("%-22s %8.0f MiB/s per pass   %.2f of the baseline   (%lld of %lld MiB)\n", name,
              MiBPerSecond(written * passes, seconds), baselineSeconds / (seconds / passes),
              static_cast<long long>(written >> 20), static_cast<long long>(free >> 20));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: omrek_bench_free_space MOUNT-POINT\n");
    return 2;
  }
  const std::string root = argv[1];
  const char letter = DriveTable::Read().LetterOf(root);
  if (letter == 0) {
    std::fprintf(stderr, "%s is not the root of a lettered drive\n", root.c_str());
    return 2;
  }
  try {
    const std::int64_t free = QueryDiskSpace(root).FreeBytes;
    const double baseline = Baseline(root, free);
    std::printf("%lld MiB free on %c: (%s)\n", static_cast<long long>(free >> 20), letter, root.c_str());
    std::printf("%-22s %8.0f MiB/s\n", "1 MiB write + fsync", MiBPerSecond(free, baseline));

    StoredWipeProfile none;
    none.inversion = none.randomize = none.nullify1 = none.nullify2 = none.nullifyCustom = false;
    StoredWipeProfile fill = none, invert = none, random = none;
    fill.nullify1 = true;
    invert.inversion = true;
    random.randomize = true;
    Wipe("fill pass", {letter, root}, fill, 1, baseline, free);
    Wipe("invert pass", {letter, root}, invert, 1, baseline, free);
    Wipe("random pass", {letter, root}, random, 1, baseline, free);
    Wipe("default profile (5)", {letter, root}, StoredWipeProfile{}, 5, baseline, free);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
