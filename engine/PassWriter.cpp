#include "engine/PassWriter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "engine/ChunkDigest.h"
#include "engine/ChunkPipeline.h"
#include "engine/StopRequest.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

constexpr std::size_t kSector = ShredEngine::kSectorSize;
// Progress counts a chunk's sectors in one 16-bit step.
static_assert(ShredEngine::kLargeIoBufferSize / kSector <= 0xFFFF);

std::size_t ChunkBytes(std::uint64_t chunk, std::uint64_t left) {
  return static_cast<std::size_t>(std::min(chunk, left));
}

// The invert of a run of blocks, done at once as block-by-block inversion
// through a carried buffer would do it: `data` holds the `read` bytes found
// at the run's place; a block read whole is inverted, a block read short
// keeps the carry's bytes past what was read, a block past the data is the
// carry inverted again. `carry` (one block) is left as after the last block.
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

}  // namespace

PassWriter::PassWriter(ShredEngine& engine, JobMonitor& monitor, const PassStyle& style, std::span<std::uint8_t> carry,
                       bool keepDigests)
    : engine_(engine), monitor_(monitor), style_(style), carry_(carry), keepDigests_(keepDigests) {}

void PassWriter::Write(FileHandle& file, std::uint64_t offset, std::uint64_t length, const Pass& pass,
                       ChunkWatch* watch) {
  const Maker maker = MakerOf(pass, file, length);
  watch_ = watch;
  if (style_.reportsWhileWriting) monitor_.SetStatus(maker.name, "", "");
  if (maker.reseeds) engine_.Random.Reseed(engine_.TimeOfDaySeed());
  engine_.GrowIoBuffersFor(maker.length);
  lastOffset_ = offset;
  lastLength_ = maker.length;
  lastChunk_ = engine_.IoBuffer.size();
  digests_.clear();
  if (maker.madeOnce) {
    WriteMadeOnce(file, offset, maker);
  } else {
    WriteMadeEach(file, offset, maker);
  }
}

// Everything that sets one pass kind apart from the others is here.
PassWriter::Maker PassWriter::MakerOf(const Pass& pass, FileHandle& file, std::uint64_t length) const {
  const std::size_t block = carry_.size();
  const bool setsCarry = style_.everyPassSetsCarry;
  switch (pass.kind) {
    case PassKind::Fill:
      return {"zeroing", length, false, true,
              [value = pass.value, block, setsCarry](Carried& carried, std::uint8_t* buffer, std::uint64_t,
                                                     std::size_t bytes) {
                std::memset(buffer, value, bytes);
                if (setsCarry && bytes > 0) std::memset(carried.block.data(), value, block);
              }};
    case PassKind::Invert: {
      const bool carryOnly = style_.invertsCarryOnly;
      return {"invert", carryOnly ? block : length, false, false,
              [&file, block, carryOnly](Carried& carried, std::uint8_t* buffer, std::uint64_t at, std::size_t bytes) {
                const std::size_t read = carryOnly ? 0 : file.ReadAt(buffer, bytes, at);
                InvertBlocksWithCarry(buffer, read, (bytes + block - 1) / block, block, carried.block.data());
              }};
    }
    case PassKind::Random:
      return {"random", length, style_.reseedsEachRandomPass, false,
              [block, setsCarry](Carried& carried, std::uint8_t* buffer, std::uint64_t, std::size_t bytes) {
                carried.stream.Fill(buffer, bytes);
                if (setsCarry && bytes >= block) std::memcpy(carried.block.data(), buffer + bytes - block, block);
              }};
  }
  throw std::invalid_argument("no such pass kind");
}

void PassWriter::WriteMadeOnce(FileHandle& file, std::uint64_t offset, const Maker& maker) {
  // Nothing to make per chunk, so no worker either. Only as much of the
  // buffer as the pass takes: for a small file, filling the whole buffer
  // would cost more than writing it.
  IoBytes& buffer = engine_.IoBuffer;
  Carried carried = CarriedNow();
  maker.make(carried, buffer.data(), offset, ChunkBytes(buffer.size(), maker.length));
  Take(carried);
  for (std::uint64_t at = 0; at < maker.length; at += buffer.size()) {
    if (style_.reportsWhileWriting) StopIfEnding();
    WriteChunk(file, buffer.data(), offset + at, ChunkBytes(buffer.size(), maker.length - at));
  }
}

void PassWriter::WriteMadeEach(FileHandle& file, std::uint64_t offset, const Maker& maker) {
  // The worker makes the chunks from its own copy of what they carry; the
  // writer's copy follows it chunk by chunk as the chunks are taken, so
  // that it stands, whatever fails, where making the chunks one by one up
  // to the one taken last would have left it.
  Carried carried = CarriedNow();
  std::array<Carried, ChunkPipeline::kSlots> after;
  ChunkPipeline chunks({&engine_.IoBuffer, &engine_.SpareIoBuffers[0], &engine_.SpareIoBuffers[1]}, maker.length,
                       [&](std::uint8_t* buffer, std::uint64_t at, std::size_t bytes, int slot) {
                         maker.make(carried, buffer, offset + at, bytes);
                         after[static_cast<std::size_t>(slot)] = carried;
                       });
  while (!chunks.Done()) {
    if (style_.reportsWhileWriting) StopIfEnding();
    const ChunkPipeline::Chunk chunk = chunks.Next();
    Take(after[static_cast<std::size_t>(chunk.slot)]);
    WriteChunk(file, chunk.data, offset + chunk.offset, chunk.bytes);
  }
}

void PassWriter::WriteChunk(FileHandle& file, const std::uint8_t* data, std::uint64_t at, std::size_t bytes) {
  std::size_t written = 0;
  if (watch_ != nullptr) watch_->Writing(data, bytes, at);
  try {
    file.WriteAt(data, bytes, at, &written);
  } catch (const IoError&) {
    // What fully landed still counts before the error goes on.
    CountProgress(written);
    throw;
  }
  if (watch_ != nullptr) watch_->Wrote();
  if (keepDigests_) digests_.push_back(ChunkDigest(data, bytes));
  // The disk takes this chunk while the next one is made.
  file.StartWriteback(at, bytes);
  CountProgress(bytes);
}

void PassWriter::CountProgress(std::size_t bytes) {
  if (style_.reportsWhileWriting) monitor_.AddProgress(static_cast<std::uint16_t>(bytes / kSector));
}

PassWriter::Carried PassWriter::CarriedNow() const {
  return {std::vector<std::uint8_t>(carry_.begin(), carry_.end()), RandomStream(engine_.Random.Seed())};
}

void PassWriter::Take(const Carried& carried) {
  std::copy(carried.block.begin(), carried.block.end(), carry_.begin());
  engine_.Random.Reseed(carried.stream.Seed());
}

void PassWriter::VerifyLastPass(FileHandle& file) {
  // Around the cache where the file bypasses it; else its clean pages go
  // first, so the bytes come from the device.
  file.DropCachedPages();
  IoBytes& buffer = engine_.IoBuffer;
  std::size_t index = 0;
  for (std::uint64_t at = 0; at < lastLength_; at += lastChunk_, ++index) {
    const std::size_t bytes = ChunkBytes(lastChunk_, lastLength_ - at);
    const bool same = index < digests_.size() && file.ReadAt(buffer.data(), bytes, lastOffset_ + at) == bytes &&
                      ChunkDigest(buffer.data(), bytes) == digests_[index];
    if (!same) throw IoError::FromErrno(EIO);
  }
}

}  // namespace omrek
