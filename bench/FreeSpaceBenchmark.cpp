// Wipes the free space of a scratch file system with one pass at a time and
// with the default disk profile, each run beside a baseline run just before
// it in the same run: `dd oflag=direct,dsync bs=1M` filling the same space
// (1 MiB writes around the page cache, each waited for, as the wipe flushes
// each megabyte). Prints medians.
//
//   omrek_bench_free_space MOUNT-POINT [ROUNDS]   (scripts/bench-free-space.sh makes one)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/SilentMonitor.h"
#include "disk/DiskInfo.h"
#include "disk/FreeSpaceWipe.h"
#include "platform/DriveTable.h"
#include "platform/FileHandle.h"

namespace {

using namespace omrek;

// Lets the disk settle after the last run's deletions.
void Settle(const std::string& root) {
  std::system(("sync -f '" + root + "'").c_str());
  std::this_thread::sleep_for(std::chrono::seconds(2));
}

// MiB/s of dd filling the free space; it ends at the size asked or on a
// full disk.
double DdDirectDsync(const std::string& root, std::int64_t free) {
  const std::string path = root + "/baseline";
  const std::string command = "dd if=/dev/zero of='" + path + "' bs=1M count=" + std::to_string(free >> 20) +
                              " oflag=direct,dsync status=none 2>/dev/null";
  const double seconds = SecondsOf([&] { (void)std::system(command.c_str()); });
  const auto bytes = static_cast<std::int64_t>(FileHandle::OpenExisting(path, FileHandle::Access::Read).Size());
  FileHandle::Delete(path);
  return MiBPerSecond(bytes, seconds);
}

// Seconds per pass, and the bytes each pass wrote.
std::pair<double, std::int64_t> Wipe(const DriveToWipe& drive, const StoredWipeProfile& profile, int passes) {
  ShredEngine engine;
  SilentMonitor monitor(engine);
  TDiskInfo diskInfo;
  FreeSpaceWipe wipe(
      engine, monitor, profile, [] { return false; }, diskInfo);
  const double seconds = SecondsOf([&] { wipe.WipeSelectedDrives({drive}); });
  return {seconds / passes, engine.Progress * static_cast<std::int64_t>(FreeSpaceWipe::kBlockSize)};
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: omrek_bench_free_space MOUNT-POINT [ROUNDS]\n");
    return 2;
  }
  const std::string root = argv[1];
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const char letter = DriveTable::Read().LetterOf(root);
  if (letter == 0) {
    std::fprintf(stderr, "%s is not the root of a lettered drive\n", root.c_str());
    return 2;
  }
  StoredWipeProfile none;
  none.inversion = none.randomize = none.nullify1 = none.nullify2 = none.nullifyCustom = false;
  StoredWipeProfile fill = none, invert = none, random = none;
  fill.nullify1 = true;
  invert.inversion = true;
  random.randomize = true;
  const struct {
    const char* name;
    StoredWipeProfile profile;
    int passes;
  } runs[] = {{"fill pass", fill, 1},
              {"invert pass", invert, 1},
              {"random pass", random, 1},
              {"default profile (5)", StoredWipeProfile{}, 5}};
  try {
    const std::int64_t free = QueryDiskSpace(root).FreeBytes;
    std::printf("%lld MiB free on %c: (%s), median of %d\n", static_cast<long long>(free >> 20), letter, root.c_str(),
                rounds);
    std::printf("%-22s %12s %12s %10s\n", "", "MiB/s/pass", "dd MiB/s", "wipe/dd");
    for (const auto& [name, profile, passes] : runs) {
      std::vector<double> dd, wipe;
      std::int64_t written = 0;
      for (int round = 0; round < rounds; ++round) {
        Settle(root);
        dd.push_back(DdDirectDsync(root, free));
        Settle(root);
        const auto [seconds, bytes] = Wipe({letter, root}, profile, passes);
        wipe.push_back(seconds);
        written = bytes;
      }
      const double wipeRate = MiBPerSecond(written, Median(wipe));
      const double ddRate = Median(dd);
      std::printf("%-22s %12.0f %12.0f %10.2f   (%lld MiB written)\n", name, wipeRate, ddRate, wipeRate / ddRate,
                  static_cast<long long>(written >> 20));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
