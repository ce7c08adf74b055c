#include "engine/OverwritePasses.h"

#include <algorithm>
#include <cstring>

#include "engine/ChunkDigest.h"
#include "engine/ChunkPipeline.h"
#include "engine/StopRequest.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr std::size_t kSector = ShredEngine::kSectorSize;

// Writes `count` sectors from `data` at sector `first`. On failure the
// sectors that fully landed still count as progress before the error goes
// on.
void WriteSectors(ShredEngine& engine, JobMonitor& monitor, const std::uint8_t* data, std::int64_t first,
                  std::int64_t count) {
  std::size_t written = 0;
  const auto offset = static_cast<std::uint64_t>(first) * kSector;
  const auto bytes = static_cast<std::size_t>(count) * kSector;
  try {
    engine.WorkFile->WriteAt(data, bytes, offset, &written);
  } catch (const IoError&) {
    monitor.AddProgress(static_cast<std::uint16_t>(written / kSector));
    throw;
  }
  if (engine.KeepDigests) engine.PassDigests.push_back(ChunkDigest(data, bytes));
  // The disk takes this chunk while the next one is prepared.
  engine.WorkFile->StartWriteback(offset, bytes);
}

ChunkPipeline::Buffers PassBuffers(ShredEngine& engine) {
  return {&engine.IoBuffer, &engine.SpareIoBuffers[0], &engine.SpareIoBuffers[1]};
}

// Writes every chunk of the pass in order, counting progress per chunk.
// `taken(chunk)` runs before each write: what preparing the chunk left
// behind becomes the engine's, as if it had been prepared just then.
template <typename Taken>
void WriteChunks(ShredEngine& engine, JobMonitor& monitor, ChunkPipeline& chunks, Taken&& taken) {
  while (!chunks.Done()) {
    StopIfEnding();
    const ChunkPipeline::Chunk chunk = chunks.Next();
    taken(chunk);
    WriteSectors(engine, monitor, chunk.data, chunk.first, chunk.count);
    monitor.AddProgress(static_cast<std::uint16_t>(chunk.count));
  }
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
  // 64 bytes at a time, in an inner loop of fixed length that the compiler
  // turns into a few vector instructions: a plain byte loop would cost as
  // much as the disk, and on a RAM disk more than the write itself.
  const auto invert = [](std::uint8_t* bytes, std::size_t count) {
    constexpr std::size_t kStride = 64;
    std::size_t i = 0;
    for (; i + kStride <= count; i += kStride) {
      for (std::size_t j = 0; j < kStride; ++j) bytes[i + j] = static_cast<std::uint8_t>(~bytes[i + j]);
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
  // The worker carries its own copy of the block; the engine's follows it
  // chunk by chunk as the chunks are written.
  std::array<std::uint8_t, kSector> carry = engine.BlockBuffer;
  std::array<std::array<std::uint8_t, kSector>, ChunkPipeline::kSlots> carryAfter{};
  bool complete = true;
  try {
    ChunkPipeline chunks(PassBuffers(engine), engine.SectorCount,
                         [&](std::uint8_t* buffer, std::int64_t first, std::int64_t count, int slot) {
                           const auto bytes = static_cast<std::size_t>(count) * kSector;
                           const std::size_t read =
                               engine.WorkFile->ReadAt(buffer, bytes, static_cast<std::uint64_t>(first) * kSector);
                           InvertBlocksWithCarry(buffer, read, static_cast<std::size_t>(count), kSector, carry.data());
                           carryAfter[static_cast<std::size_t>(slot)] = carry;
                         });
    WriteChunks(engine, monitor, chunks, [&](const ChunkPipeline::Chunk& chunk) {
      engine.BlockBuffer = carryAfter[static_cast<std::size_t>(chunk.slot)];
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
  // The worker draws from its own copy; the engine's stream follows it
  // chunk by chunk as the chunks are written.
  RandomStream stream(engine.Random.Seed());
  std::array<std::uint32_t, ChunkPipeline::kSlots> seedAfter{};
  ChunkPipeline chunks(PassBuffers(engine), engine.SectorCount,
                       [&](std::uint8_t* buffer, std::int64_t, std::int64_t count, int slot) {
                         stream.Fill(buffer, static_cast<std::size_t>(count) * kSector);
                         seedAfter[static_cast<std::size_t>(slot)] = stream.Seed();
                       });
  WriteChunks(engine, monitor, chunks, [&](const ChunkPipeline::Chunk& chunk) {
    engine.Random.Reseed(seedAfter[static_cast<std::size_t>(chunk.slot)]);
  });
  return Flush(engine);
}

bool FillPass(ShredEngine& engine, JobMonitor& monitor, std::uint8_t value) {
  monitor.SetStatus("zeroing", "", "");
  // One buffer of the byte serves every chunk: nothing to prepare, so no
  // worker either. Only as much of it as the file takes: for a small file,
  // filling the whole buffer would cost more than writing it.
  const auto filled = std::min(engine.IoBuffer.size(), static_cast<std::size_t>(engine.SectorCount) * kSector);
  std::memset(engine.IoBuffer.data(), value, filled);
  const auto step = static_cast<std::int64_t>(engine.IoBuffer.size() / kSector);
  for (std::int64_t first = 0; first < engine.SectorCount; first += step) {
    StopIfEnding();
    const std::int64_t count = std::min(step, engine.SectorCount - first);
    WriteSectors(engine, monitor, engine.IoBuffer.data(), first, count);
    monitor.AddProgress(static_cast<std::uint16_t>(count));
  }
  return Flush(engine);
}

bool RunPass(ShredEngine& engine, JobMonitor& monitor, const Pass& pass) {
  engine.PassDigests.clear();
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
