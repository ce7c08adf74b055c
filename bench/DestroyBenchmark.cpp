// Measures each overwrite pass on a 256 MiB file beside three baselines on
// the same file in the same run: `dd oflag=direct` (1 MiB writes around the
// page cache), the same with `conv=fdatasync` (the flush each pass ends
// with), and a plain in-place overwrite (1 MiB writes through the cache,
// then fsync). Runs alternate, and each starts from a file written
// and flushed a few seconds before. Then the page cache's growth while a
// 1 GiB file is destroyed with the default passes, what verification adds
// to a destroy, and the random generator beside a plain memory fill.
//
//   omrek_bench_destroy [FOLDER] [ROUNDS]     (defaults: the current folder, 3)

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/SilentMonitor.h"
#include "engine/FileDestruction.h"
#include "engine/OverwritePasses.h"
#include "engine/RandomStream.h"
#include "engine/WorkTotal.h"
#include "platform/FileHandle.h"
#include "platform/WavePlayer.h"

namespace {

using namespace omrek;

constexpr std::uint64_t kFileSize = 256ull << 20;
constexpr std::uint64_t kCacheCheckSize = 1ull << 30;
constexpr std::size_t kChunk = 1 << 20;

// Writes the file around the page cache and flushes it, then lets the disk
// settle, so no timing starts with another run's data still on its way.
void WriteSettled(const std::string& path, std::uint64_t size) {
  IoBytes chunk(kChunk, 0x11);
  FileHandle file = FileHandle::Create(path);
  file.BypassCache();
  for (std::uint64_t offset = 0; offset < size; offset += kChunk) file.WriteAt(chunk.data(), kChunk, offset);
  file.Flush();
  file.FlushFileSystem();
  std::this_thread::sleep_for(std::chrono::seconds(2));
}

// Seconds, or 0 when dd refuses the file (no direct I/O on this file system).
// `conv` adds to notrunc: ",fdatasync" flushes at the end as each pass does.
double DdDirect(const std::string& path, const std::string& conv) {
  const std::string command = "dd if=/dev/zero of='" + path + "' bs=1M count=" + std::to_string(kFileSize >> 20) +
                              " oflag=direct conv=notrunc" + conv + " status=none 2>/dev/null";
  int status = 0;
  const double seconds = SecondsOf([&] { status = std::system(command.c_str()); });
  return status == 0 ? seconds : 0;
}

double PlainOverwrite(const std::string& path) {
  std::vector<std::uint8_t> chunk(kChunk, 0x5A);
  FileHandle file = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  return SecondsOf([&] {
    for (std::uint64_t offset = 0; offset < kFileSize; offset += kChunk) file.WriteAt(chunk.data(), kChunk, offset);
    file.Flush();
  });
}

// One pass as the destroy command runs it: the file opened around the cache.
double TimedPass(ShredEngine& engine, const std::string& path, const Pass& pass) {
  SilentMonitor monitor(engine);
  engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  engine.WorkFile->BypassCache();
  engine.SectorCount = static_cast<std::int64_t>(kFileSize / ShredEngine::kSectorSize);
  PassWriter writer(engine, monitor, kDestroyPasses, engine.BlockBuffer, false);
  const double seconds = SecondsOf([&] { RunPass(writer, engine, pass, true); });
  engine.WorkFile.reset();
  return seconds;
}

void Passes(const std::string& path, int rounds) {
  const struct {
    const char* name;
    Pass pass;
  } passes[] = {
      {"fill pass", {PassKind::Fill, 0xE5}}, {"invert pass", {PassKind::Invert}}, {"random pass", {PassKind::Random}}};
  ShredEngine engine;
  std::printf("%-22s %8s %10s %8s %14s %8s %10s\n", "256 MiB, median MiB/s", "pass", "dd direct", "pass/dd",
              "dd +fdatasync", "pass/it", "pass/plain");
  for (const auto& [name, pass] : passes) {
    std::vector<double> dd, ddSynced, plain, program;
    for (int round = 0; round < rounds; ++round) {
      WriteSettled(path, kFileSize);
      dd.push_back(DdDirect(path, ""));
      WriteSettled(path, kFileSize);
      ddSynced.push_back(DdDirect(path, ",fdatasync"));
      WriteSettled(path, kFileSize);
      program.push_back(TimedPass(engine, path, pass));
      WriteSettled(path, kFileSize);
      plain.push_back(PlainOverwrite(path));
    }
    const double passRate = MiBPerSecond(kFileSize, Median(program));
    const double plainRate = MiBPerSecond(kFileSize, Median(plain));
    if (Median(dd) > 0 && Median(ddSynced) > 0) {
      const double ddRate = MiBPerSecond(kFileSize, Median(dd));
      const double syncedRate = MiBPerSecond(kFileSize, Median(ddSynced));
      std::printf("%-22s %8.0f %10.0f %8.2f %14.0f %8.2f %10.2f\n", name, passRate, ddRate, passRate / ddRate,
                  syncedRate, passRate / syncedRate, passRate / plainRate);
    } else {
      std::printf("%-22s %8.0f %10s %8s %14s %8s %10.2f\n", name, passRate, "refused", "-", "refused", "-",
                  passRate / plainRate);
    }
  }
  std::printf("%-24s %10.0f MiB/s (1 MiB writes through the cache, then fsync)\n", "plain overwrite",
              MiBPerSecond(kFileSize, PlainOverwrite(path)));
}

// Seconds the destroy command takes over the file with the default passes,
// and whether it deleted it.
std::pair<double, bool> TimedDestroy(const std::string& path, DestroyOptions options) {
  ShredEngine engine;
  SilentMonitor monitor(engine);
  const StoredWipeProfile defaults;
  WavePlayer silent;
  FileDestruction destruction(engine, monitor, defaults, silent, options);
  bool destroyed = false;
  const double seconds =
      SecondsOf([&] { destroyed = destruction.DestroyFile(ListFile(path)).outcome == Outcome::Destroyed; });
  return {seconds, destroyed};
}

// The largest rise of Cached in /proc/meminfo while a 1 GiB file is
// destroyed with the default passes.
void CacheGrowth(const std::string& path) {
  WriteSettled(path, kCacheCheckSize);
  const double before = CachedMiB();
  std::atomic<bool> done = false;
  double peak = before;
  std::thread sampler([&] {
    while (!done) {
      peak = std::max(peak, CachedMiB());
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const auto [seconds, destroyed] = TimedDestroy(path, {});
  done = true;
  sampler.join();
  std::printf("1 GiB destroyed with the default 5 passes in %.1f s (%s): page cache grew by %.0f MiB at most\n",
              seconds, destroyed ? "deleted" : "FAILED", peak - before);
}

// What reading the file back costs: 256 MiB destroyed with the default
// passes, with and without verification, the runs alternating.
void VerificationCost(const std::string& path, int rounds) {
  std::vector<double> plain, verified;
  for (int round = 0; round < rounds; ++round) {
    for (const bool verify : {false, true}) {
      WriteSettled(path, kFileSize);
      DestroyOptions options;
      options.verify = verify;
      const auto [seconds, destroyed] = TimedDestroy(path, options);
      if (!destroyed) throw std::runtime_error(verify ? "the verified destroy failed" : "the destroy failed");
      (verify ? verified : plain).push_back(seconds);
    }
  }
  std::printf("256 MiB destroyed with the default 5 passes: %.2f s, verified %.2f s (verification costs %.0f%%)\n",
              Median(plain), Median(verified), 100 * (Median(verified) / Median(plain) - 1));
}

// The memory fill is a memset of a buffer far larger than the caches; the
// generator draws into one pass buffer, as the passes do.
void GeneratorSpeed() {
  constexpr std::uint64_t kBytes = 2ull << 30;
  constexpr std::size_t kLarge = 256u << 20;
  std::vector<std::uint8_t> memory(kLarge, 1);
  const double fill = SecondsOf([&] {
    for (std::uint64_t done = 0; done < kBytes; done += kLarge) {
      std::memset(memory.data(), static_cast<int>(done >> 20), kLarge);
      asm volatile("" : : "r"(memory.data()) : "memory");
    }
  });
  std::printf("%-30s %8.0f MiB/s\n", "memory fill (memset, 256 MiB)", MiBPerSecond(kBytes, fill));
  std::vector<std::uint8_t> buffer(kChunk);
  const struct {
    const char* name;
    RandomStream::Kernel kernel;
    std::uint64_t bytes;
  } kernels[] = {{"AVX-512", RandomStream::Kernel::Avx512, kBytes},
                 {"AVX2", RandomStream::Kernel::Avx2, kBytes},
                 {"one draw at a time", RandomStream::Kernel::OneByOne, kBytes / 8}};
  for (const auto& [name, kernel, bytes] : kernels) {
    if (!RandomStream::Supports(kernel)) continue;
    RandomStream stream(1);
    const double seconds = SecondsOf([&] {
      for (std::uint64_t done = 0; done < bytes; done += kChunk) stream.FillWith(kernel, buffer.data(), kChunk);
    });
    std::printf("generator, %-19s %8.0f MiB/s   %.2f of the memory fill\n", name, MiBPerSecond(bytes, seconds),
                (static_cast<double>(bytes) / seconds) / (static_cast<double>(kBytes) / fill));
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string path = folder + "/omrek-bench.tmp";
  try {
    std::printf("in %s, %d rounds\n", folder.c_str(), rounds);
    Passes(path, rounds);
    CacheGrowth(path);
    VerificationCost(path, rounds);
    GeneratorSpeed();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    FileHandle::Delete(path);
    return 1;
  }
  try {
    FileHandle::Delete(path);
  } catch (const std::exception&) {
    // The destroy above deleted it already.
  }
  return 0;
}
