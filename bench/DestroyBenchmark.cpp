// Measures each overwrite pass kind (zero, random, invert) on a 1 GiB file
// beside `dd oflag=direct conv=fdatasync` with 1 MiB and with 16 MiB
// requests on the same file in the same run, and prints the pass's speed
// against each; the invert pass, which reads each byte before it writes
// it, also against dd reading and writing the file in place. The three take turns in an order that rotates each round,
// and each run starts from a file written and flushed a moment before. Then
// the page cache's growth while a 1 GiB file is destroyed with the default
// passes, what verification adds to a destroy, and the random generator
// beside a plain memory fill. Meant for a file system on a loop device with
// direct I/O (scripts/bench-destroy.sh makes one), so that writes meet the
// disk and not the host's page cache.
//
//   omrek_bench_destroy [FOLDER] [ROUNDS]     (defaults: the current folder, 3)

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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

constexpr std::uint64_t kFileSize = 1ull << 30;
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
  std::this_thread::sleep_for(std::chrono::seconds(1));
}

// Seconds dd takes to overwrite the file in requests of `mebibytes` MiB
// around the page cache, flushing at the end as each pass does; 0 when dd
// refuses the file (no direct I/O on this file system). With `inPlace`, dd
// reads each request from the file itself first, as the invert pass must:
// the device then carries every byte twice.
double DdDirect(const std::string& path, std::uint64_t mebibytes, bool inPlace = false) {
  const std::string source = inPlace ? "'" + path + "' iflag=direct" : "/dev/zero";
  const std::string command = "dd if=" + source + " of='" + path + "' bs=" + std::to_string(mebibytes) +
                              "M count=" + std::to_string((kFileSize >> 20) / mebibytes) +
                              " oflag=direct conv=notrunc,fdatasync status=none 2>/dev/null";
  int status = 0;
  const double seconds = SecondsOf([&] { status = std::system(command.c_str()); });
  return status == 0 ? seconds : 0;
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

// The median seconds of each run, the runs taking turns in an order that
// rotates by one each round, so that none always follows the same other.
std::vector<double> InTurns(const std::vector<std::function<double()>>& runs, const std::string& path, int rounds) {
  std::vector<std::vector<double>> seconds(runs.size());
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t turn = 0; turn < runs.size(); ++turn) {
      const std::size_t run = (turn + static_cast<std::size_t>(round)) % runs.size();
      WriteSettled(path, kFileSize);
      seconds[run].push_back(runs[run]());
    }
  }
  std::vector<double> medians;
  for (const auto& each : seconds) medians.push_back(Median(each));
  return medians;
}

void Passes(const std::string& path, int rounds) {
  const struct {
    const char* name;
    Pass pass;
  } passes[] = {
      {"zero pass", {PassKind::Fill, 0x00}}, {"random pass", {PassKind::Random}}, {"invert pass", {PassKind::Invert}}};
  ShredEngine engine;
  std::printf("%-20s %7s %7s %7s %7s %7s %7s %10s %6s\n", "1 GiB, median MiB/s", "pass", "dd 1M", "dd 16M", "/dd 1M",
              "/dd 16M", "/faster", "dd r+w 16M", "/r+w");
  for (const auto& [name, pass] : passes) {
    // The pass and dd with 1 MiB and 16 MiB requests; beside the invert
    // pass, which reads what it writes, dd reading and writing in place too.
    std::vector<std::function<double()>> runs = {[&] { return TimedPass(engine, path, pass); },
                                                 [&] { return DdDirect(path, 1); }, [&] { return DdDirect(path, 16); }};
    if (pass.kind == PassKind::Invert) runs.emplace_back([&] { return DdDirect(path, 16, true); });
    const std::vector<double> seconds = InTurns(runs, path, rounds);
    const auto rate = [&](std::size_t run) { return seconds[run] > 0 ? MiBPerSecond(kFileSize, seconds[run]) : 0; };
    std::printf("%-20s %7.0f", name, rate(0));
    if (rate(1) > 0 && rate(2) > 0) {
      std::printf(" %7.0f %7.0f %7.2f %7.2f %7.2f", rate(1), rate(2), rate(0) / rate(1), rate(0) / rate(2),
                  rate(0) / std::max(rate(1), rate(2)));
    } else {
      std::printf(" %7s %7s %7s %7s %7s", "refused", "refused", "-", "-", "-");
    }
    if (runs.size() > 3 && rate(3) > 0) {
      std::printf(" %10.0f %6.2f\n", rate(3), rate(0) / rate(3));
    } else {
      std::printf(" %10s %6s\n", "-", "-");
    }
  }
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

// What reading the file back costs: 1 GiB destroyed with the default
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
  std::printf("1 GiB destroyed with the default 5 passes: %.2f s, verified %.2f s (verification costs %.0f%%)\n",
              Median(plain), Median(verified), 100 * (Median(verified) / Median(plain) - 1));
}

// The memory fill and the generator write into buffers of the same size,
// that of a long pass's requests, so neither sits in a cache the other
// does not.
void GeneratorSpeed() {
  constexpr std::uint64_t kBytes = 2ull << 30;
  constexpr std::size_t kRequest = ShredEngine::kLargeIoBufferSize;
  std::vector<std::uint8_t> memory(kRequest, 1);
  const double fill = SecondsOf([&] {
    for (std::uint64_t done = 0; done < kBytes; done += kRequest) {
      std::memset(memory.data(), static_cast<int>(done >> 20), kRequest);
      asm volatile("" : : "r"(memory.data()) : "memory");
    }
  });
  std::printf("%-30s %8.0f MiB/s\n", "memory fill (memset, 16 MiB)", MiBPerSecond(kBytes, fill));
  std::vector<std::uint8_t> buffer(kRequest);
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
      for (std::uint64_t done = 0; done < bytes; done += kRequest) stream.FillWith(kernel, buffer.data(), kRequest);
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
