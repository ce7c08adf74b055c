// Wipes the free space of a scratch file system with one pass at a time and
// with the default disk profile, each beside two baselines filling the same
// space with 1 MiB writes around the page cache, in the same round:
// `dd oflag=direct conv=fdatasync`, flushing once at the end, for the
// one-pass profiles, and `dd oflag=direct,dsync`, flushing after each MiB,
// for the profile of five passes, whose passes over a megabyte each reach
// the disk before the next. The runs of a round take turns in an order
// rotated from round to round, so none always follows the same one. Prints
// each run's median speed (per pass) and the median of the ratios paired
// per round, then what the wipe a Destroy can be followed by costs per GiB.
//
//   omrek_bench_free_space MOUNT-POINT [ROUNDS]   (scripts/bench-free-space.sh makes one)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
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
  std::this_thread::sleep_for(std::chrono::seconds(1));
}

// MiB/s of dd writing `megs` MiB of zeros into a file of the drive, with
// `flags` for how it flushes; the file goes afterwards, outside the timing.
double Dd(const std::string& root, std::int64_t megs, const std::string& flags) {
  const std::string path = root + "/baseline";
  const std::string command = "dd if=/dev/zero of='" + path + "' bs=1M count=" + std::to_string(megs) + " " + flags +
                              " status=none 2>/dev/null";
  const double seconds = SecondsOf([&] { (void)std::system(command.c_str()); });
  const auto bytes = static_cast<std::int64_t>(FileHandle::OpenExisting(path, FileHandle::Access::Read).Size());
  FileHandle::Delete(path);
  return MiBPerSecond(static_cast<double>(bytes), seconds);
}

// MiB/s per pass of the whole wipe of the drive: the filling, the flushes
// and the fillers deleted.
double Wipe(const DriveToWipe& drive, const StoredWipeProfile& profile, int passes) {
  ShredEngine engine;
  SilentMonitor monitor(engine);
  TDiskInfo diskInfo;
  FreeSpaceWipe wipe(
      engine, monitor, profile, [] { return false; }, diskInfo);
  const double seconds = SecondsOf([&] { wipe.WipeSelectedDrives({drive}); });
  const auto bytes = static_cast<double>(engine.Progress) * FreeSpaceWipe::kBlockSize;
  return MiBPerSecond(bytes * passes, seconds);
}

struct Run {
  Run(const char* name, std::function<double()> measure, int baseline = -1)
      : name(name), measure(std::move(measure)), baseline(baseline) {}
  const char* name;
  std::function<double()> measure;
  int baseline;  // the run this one is compared with, per round; -1: none
  std::vector<double> speeds;
  std::vector<double> ratios;
};

StoredWipeProfile OnePass(bool StoredWipeProfile::*option) {
  StoredWipeProfile profile;
  profile.inversion = profile.randomize = profile.nullify1 = profile.nullify2 = profile.nullifyCustom = false;
  profile.*option = true;
  return profile;
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
  try {
    const std::int64_t free = QueryDiskSpace(root).FreeBytes;
    // A little short of full: dd stops at a full disk without its flush.
    const std::int64_t megs = (free >> 20) - 4;
    const DriveToWipe drive{letter, root};
    const StoredWipeProfile fill = OnePass(&StoredWipeProfile::nullify1);
    const StoredWipeProfile invert = OnePass(&StoredWipeProfile::inversion);
    const StoredWipeProfile random = OnePass(&StoredWipeProfile::randomize);
    const StoredWipeProfile standard;
    std::vector<Run> runs;
    runs.emplace_back("dd, one flush", [&] { return Dd(root, megs, "oflag=direct conv=fdatasync"); });
    runs.emplace_back("dd, flush each MiB", [&] { return Dd(root, megs, "oflag=direct,dsync"); });
    runs.emplace_back(
        "fill pass", [&] { return Wipe(drive, fill, 1); }, 0);
    runs.emplace_back(
        "invert pass", [&] { return Wipe(drive, invert, 1); }, 0);
    runs.emplace_back(
        "random pass", [&] { return Wipe(drive, random, 1); }, 0);
    runs.emplace_back(
        "default profile (5)", [&] { return Wipe(drive, standard, 5); }, 1);
    for (int round = 0; round < rounds; ++round) {
      for (std::size_t turn = 0; turn < runs.size(); ++turn) {
        Run& run = runs[(turn + static_cast<std::size_t>(round)) % runs.size()];
        Settle(root);
        run.speeds.push_back(run.measure());
      }
      for (Run& run : runs) {
        if (run.baseline >= 0) run.ratios.push_back(run.speeds.back() / runs[run.baseline].speeds.back());
      }
    }
    std::printf("%lld MiB free on %c: (%s), median of %d rounds\n", static_cast<long long>(free >> 20), letter,
                root.c_str(), rounds);
    std::printf("%-22s %12s %10s  %s\n", "", "MiB/s/pass", "ratio", "against");
    for (const Run& run : runs) {
      std::printf("%-22s %12.0f", run.name, Median(run.speeds));
      if (run.baseline >= 0) std::printf(" %10.2f  %s", Median(run.ratios), runs[run.baseline].name);
      std::printf("\n");
    }
    // --then-wipe-space and the window's check box run this very wipe after
    // a Destroy: its whole cost, seconds for each GiB the drive has free.
    std::printf("a Destroy's wipe afterwards: %.1f s per GiB free with one pass, %.1f s with the default profile\n",
                1024 / Median(runs[2].speeds), 1024.0 * 5 / Median(runs[5].speeds));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
