#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/RandomStream.h"
#include "platform/FileHandle.h"
#include "platform/PinnedFile.h"

namespace omrek {

// Writes around the page cache need buffers aligned to the device's blocks;
// a page (4096 bytes) is at least that on the devices in use.
template <typename T>
struct PageAligned {
  using value_type = T;
  static constexpr std::align_val_t kAlignment{4096};
  PageAligned() = default;
  template <typename U>
  explicit PageAligned(const PageAligned<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), kAlignment)); }
  void deallocate(T* pointer, std::size_t) { ::operator delete(pointer, kAlignment); }
  bool operator==(const PageAligned&) const = default;
};
using IoBytes = std::vector<std::uint8_t, PageAligned<std::uint8_t>>;

// The state of the one command the program runs at a time. The main window
// holds exactly one.
struct ShredEngine {
  static constexpr std::uint32_t kDefaultClusterSize = 32768;
  static constexpr std::size_t kSectorSize = 512;
  // The passes' requests: a megabyte, and for passes that fill a large
  // request, as large as the device takes in one go. One large request
  // keeps the device's whole queue busy (the kernel splits it and sends
  // the pieces together), where megabytes one after another leave it idle
  // between them.
  static constexpr std::size_t kIoBufferSize = 1 << 20;
  static constexpr std::size_t kLargeIoBufferSize = 16 << 20;

  ShredEngine();

  // The one file the engine has open, and the listed file it was opened as
  // (the destroy command deletes that one and no other).
  std::optional<FileHandle> WorkFile;
  std::optional<PinnedFile> WorkTarget;

  // The destroy command's invert carry, a sector. Its contents carry over
  // from sector to sector and file to file, and decide what the pass writes
  // past a file's end; zero when the engine is made, never cleared.
  std::array<std::uint8_t, kSectorSize> BlockBuffer{};

  // Sectors each pass writes over the current file: up to the end of its
  // last cluster.
  std::int64_t SectorCount = 0;

  // Bytes per cluster of the volume last measured; never 0, because the
  // sector counts divide by it.
  std::uint32_t ClusterSize = kDefaultClusterSize;

  // 64-bit: sector totals of files past 4 GiB would overflow 32 bits.
  std::int64_t WorkTotal = 0;
  std::int64_t Progress = 0;
  // 32-bit: a 16-bit index would wrap, and loop forever, past 65535 rows.
  std::int32_t RowIndex = 0;
  bool CancelFlag = false;

  // The program's one random stream, and what reseeds it: the UTC time of
  // day in milliseconds (tests set a fixed seed here).
  RandomStream Random;
  std::function<std::uint32_t()> TimeOfDaySeed;

  // Grows the buffers below to kLargeIoBufferSize once a pass of at least
  // that length comes; they never shrink. Small files never need more than
  // a megabyte, and a program that destroys none holds none.
  void GrowIoBuffersFor(std::uint64_t passLength);

  // One large buffer for the passes' writes, allocated once for the run,
  // aligned for writes that bypass the page cache; and two more as large,
  // which the invert and random passes prepare the next chunks in while
  // one is written.
  IoBytes IoBuffer;
  std::array<IoBytes, 2> SpareIoBuffers;
};

}  // namespace omrek
