// Sweeps the slack of 20,000 small files and prints files per second.
//
//   omrek_bench_sweep [folder]     (default: the current folder)

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/SilentMonitor.h"
#include "disk/SlackSweep.h"
#include "platform/FileHandle.h"

int main(int argc, char* argv[]) {
  using namespace omrek;
  namespace fs = std::filesystem;
  constexpr int kFolders = 20;
  constexpr int kFilesPerFolder = 1000;
  const fs::path tree = fs::path(argc > 1 ? argv[1] : ".") / "omrek-sweep-bench";
  try {
    fs::remove_all(tree);
    for (int folder = 0; folder < kFolders; ++folder) {
      const fs::path path = tree / ("folder" + std::to_string(folder));
      fs::create_directories(path);
      for (int file = 0; file < kFilesPerFolder; ++file) {
        const std::string content(static_cast<std::size_t>(100 + file * 37 % 4000), 'x');
        FileHandle::Create((path / ("file" + std::to_string(file))).string())
            .WriteAt(content.data(), content.size(), 0);
      }
    }
    ShredEngine engine;
    engine.ClusterSize = 32768;
    SilentMonitor monitor(engine);
    SlackSweep sweep(engine, monitor);
    const double seconds = SecondsOf([&] { sweep.SweepDriveSlack(tree.string()); });
    std::printf("swept %d files (%d skipped) in %.2f s: %.0f files/s\n", sweep.SweepFileCount(), sweep.SweepSkipCount(),
                seconds, sweep.SweepFileCount() / seconds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    fs::remove_all(tree);
    return 1;
  }
  fs::remove_all(tree);
  return 0;
}
