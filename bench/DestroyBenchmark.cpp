// Measures the overwrite passes on a 256 MiB file against a plain in-place
// overwrite of the same file (1 MiB writes, then fsync), and the random
// generator alone.
//
//   omrek_bench_destroy [folder]     (default: the current folder)

#include <cstdio>
#include <string>
#include <vector>

#include "bench/SilentMonitor.h"
#include "engine/OverwritePasses.h"
#include "engine/RandomStream.h"
#include "platform/FileHandle.h"

namespace {

using namespace omrek;

constexpr std::uint64_t kFileSize = 256ull << 20;
constexpr std::size_t kChunk = 1 << 20;

double MiBPerSecond(std::uint64_t bytes, double seconds) { return static_cast<double>(bytes) / (1 << 20) / seconds; }

double PlainOverwrite(const std::string& path) {
  std::vector<std::uint8_t> chunk(kChunk, 0x5A);
  FileHandle file = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  return SecondsOf([&] {
    for (std::uint64_t offset = 0; offset < kFileSize; offset += kChunk) file.WriteAt(chunk.data(), kChunk, offset);
    file.Flush();
  });
}

double TimedPass(ShredEngine& engine, const std::string& path, const Pass& pass) {
  SilentMonitor monitor(engine);
  engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  engine.SectorCount = static_cast<std::int64_t>(kFileSize / ShredEngine::kSectorSize);
  const double seconds = SecondsOf([&] { RunPass(engine, monitor, pass); });
  engine.WorkFile.reset();
  return seconds;
}

void GeneratorSpeed() {
  constexpr std::uint64_t kBytes = 2ull << 30;
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
    std::printf("generator, %-18s %8.0f MiB/s (%.2f GiB/s)\n", name, MiBPerSecond(bytes, seconds),
                MiBPerSecond(bytes, seconds) / 1024);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string folder = argc > 1 ? argv[1] : ".";
  const std::string path = folder + "/omrek-bench.tmp";
  try {
    {
      FileHandle file = FileHandle::Create(path);
      std::vector<std::uint8_t> chunk(kChunk, 0x11);
      for (std::uint64_t offset = 0; offset < kFileSize; offset += kChunk) file.WriteAt(chunk.data(), kChunk, offset);
      file.Flush();
    }
    ShredEngine engine;
    const double baseline = PlainOverwrite(path);
    std::printf("256 MiB file in %s\n", folder.c_str());
    std::printf("%-28s %8.0f MiB/s\n", "plain overwrite + fsync", MiBPerSecond(kFileSize, baseline));
    const struct {
      const char* name;
      Pass pass;
    } passes[] = {{"fill pass", {PassKind::Fill, 0xE5}},
                  {"invert pass", {PassKind::Invert}},
                  {"random pass", {PassKind::Random}}};
    for (const auto& [name, pass] : passes) {
      const double seconds = TimedPass(engine, path, pass);
      std::printf("%-28s %8.0f MiB/s   %.2f of the plain overwrite\n", name, MiBPerSecond(kFileSize, seconds),
                  baseline / seconds);
    }
    GeneratorSpeed();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    FileHandle::Delete(path);
    return 1;
  }
  FileHandle::Delete(path);
  return 0;
}
