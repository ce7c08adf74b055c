#include "engine/OverwritePasses.h"

#include <algorithm>
#include <cstring>

#include "engine/ChunkDigest.h"
#include "engine/StopRequest.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr std::size_t kSector = ShredEngine::kSectorSize;

// Sectors per write call: the engine's buffer holds this many.
std::int64_t ChunkSectors(const ShredEngine& engine) {
  return static_cast<std::int64_t>(engine.IoBuffer.size() / kSector);
}

// Calls `chunk(first, count)` over all SectorCount sectors, a buffer at a
// time, counting progress for each chunk that `chunk` reports written.
template <typename Chunk>
void ForEachChunk(ShredEngine& engine, JobMonitor& monitor, Chunk&& chunk) {
  engine.PassDigests.clear();
  const std::int64_t step = ChunkSectors(engine);
  for (std::int64_t first = 0; first < engine.SectorCount; first += step) {
    StopIfEnding();
    const std::int64_t count = std::min(step, engine.SectorCount - first);
    chunk(first, count);
    monitor.AddProgress(static_cast<std::uint16_t>(count));
  }
}

// Writes `count` sectors of the buffer at sector `first`. On failure the
// sectors that fully landed still count as progress before the error goes on.
void WriteSectors(ShredEngine& engine, JobMonitor& monitor, std::int64_t first, std::int64_t count) {
  std::size_t written = 0;
  const auto offset = static_cast<std::uint64_t>(first) * kSector;
  const auto bytes = static_cast<std::size_t>(count) * kSector;
  try {
    engine.WorkFile->WriteAt(engine.IoBuffer.data(), bytes, offset, &written);
  } catch (const IoError&) {
    monitor.AddProgress(static_cast<std::uint16_t>(written / kSector));
    throw;
  }
  if (engine.KeepDigests) engine.PassDigests.push_back(ChunkDigest(engine.IoBuffer.data(), bytes));
  // The disk takes this chunk while the next one is prepared.
  engine.WorkFile->StartWriteback(offset, bytes);
}

// True when the pass reached the medium. A failed flush does not end the
// plan: the later passes still run, and the file counts as not destroyed.
bool Flush(ShredEngine& engine) {
  try {
    engine.WorkFile->Flush();
    return true;
  } catch (const IoError&) {
    return false;
  }
}

}  // namespace

void InvertBlocksWithCarry(std::uint8_t* data, std::size_t read, std::size_t blocks, std::size_t blockSize,
                           std::uint8_t* carry) {
  // Eight bytes at a time: a byte loop would cost as much as the disk.
  const auto invert = [](std::uint8_t* bytes, std::size_t count) {
    std::size_t i = 0;
    for (; i + sizeof(std::uint64_t) <= count; i += sizeof(std::uint64_t)) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, sizeof word);
      word = ~word;
      std::memcpy(bytes + i, &word, sizeof word);
    }
    for (; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
  };
  const std::size_t whole = std::min(read / blockSize, blocks);
  invert(data, whole * blockSize);
  if (whole > 0) std::memcpy(carry, data + (whole - 1) * blockSize, blockSize);
  for (std::size_t block = whole; block < blocks; ++block) {
    const std::size_t got = block == whole ? read % blockSize : 0;
    std::memcpy(carry, data + block * blockSize, got);
    invert(carry, blockSize);
    std::memcpy(data + block * blockSize, carry, blockSize);
  }
}

bool InvertPass(ShredEngine& engine, JobMonitor& monitor) {
  monitor.SetStatus("invert", "", "");
  bool complete = true;
  try {
    ForEachChunk(engine, monitor, [&](std::int64_t first, std::int64_t count) {
      const auto bytes = static_cast<std::size_t>(count) * kSector;
      const std::size_t read =
          engine.WorkFile->ReadAt(engine.IoBuffer.data(), bytes, static_cast<std::uint64_t>(first) * kSector);
      InvertBlocksWithCarry(engine.IoBuffer.data(), read, static_cast<std::size_t>(count), kSector,
                            engine.BlockBuffer.data());
      WriteSectors(engine, monitor, first, count);
    });
  } catch (const IoError&) {
    // A sector that cannot be read or written ends the pass, not the plan.
    complete = false;
  }
  return Flush(engine) && complete;
}

bool RandomPass(ShredEngine& engine, JobMonitor& monitor) {
  monitor.SetStatus("random", "", "");
  engine.Random.Reseed(engine.TimeOfDaySeed());
  ForEachChunk(engine, monitor, [&](std::int64_t first, std::int64_t count) {
    engine.Random.Fill(engine.IoBuffer.data(), static_cast<std::size_t>(count) * kSector);
    WriteSectors(engine, monitor, first, count);
  });
  return Flush(engine);
}

bool FillPass(ShredEngine& engine, JobMonitor& monitor, std::uint8_t value) {
  monitor.SetStatus("zeroing", "", "");
  std::memset(engine.IoBuffer.data(), value, engine.IoBuffer.size());
  ForEachChunk(engine, monitor,
               [&](std::int64_t first, std::int64_t count) { WriteSectors(engine, monitor, first, count); });
  return Flush(engine);
}

bool RunPass(ShredEngine& engine, JobMonitor& monitor, const Pass& pass) {
  switch (pass.kind) {
    case PassKind::Fill:
      return FillPass(engine, monitor, pass.value);
    case PassKind::Invert:
      return InvertPass(engine, monitor);
    case PassKind::Random:
      return RandomPass(engine, monitor);
  }
  return true;
}

}  // namespace omrek
