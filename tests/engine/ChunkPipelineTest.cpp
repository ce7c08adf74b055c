#include "engine/ChunkPipeline.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/IoError.h"

namespace omrek {
namespace {

constexpr std::int64_t kChunkSectors = 8;

struct Buffers {
  std::array<IoBytes, ChunkPipeline::kSlots> held{IoBytes(kChunkSectors * ShredEngine::kSectorSize),
                                                  IoBytes(kChunkSectors* ShredEngine::kSectorSize),
                                                  IoBytes(kChunkSectors* ShredEngine::kSectorSize)};
  ChunkPipeline::Buffers Pointers() { return {&held[0], &held[1], &held[2]}; }
};

TEST(ChunkPipeline, HandsOutEveryChunkInOrderCyclingThroughTheBuffers) {
  Buffers buffers;
  const std::int64_t sectors = 5 * kChunkSectors + 3;
  ChunkPipeline chunks(buffers.Pointers(), sectors,
                       [](std::uint8_t* buffer, std::int64_t first, std::int64_t count, int) {
                         std::fill(buffer, buffer + count * ShredEngine::kSectorSize, static_cast<std::uint8_t>(first));
                       });
  std::int64_t expectedFirst = 0;
  while (!chunks.Done()) {
    const auto chunk = chunks.Next();
    const int index = static_cast<int>(expectedFirst / kChunkSectors);
    EXPECT_EQ(chunk.first, expectedFirst);
    EXPECT_EQ(chunk.count, std::min(kChunkSectors, sectors - expectedFirst));
    EXPECT_EQ(chunk.slot, index % ChunkPipeline::kSlots);
    EXPECT_EQ(chunk.data, buffers.held[static_cast<std::size_t>(chunk.slot)].data());
    EXPECT_EQ(chunk.data[0], static_cast<std::uint8_t>(expectedFirst));
    EXPECT_EQ(chunk.data[chunk.count * ShredEngine::kSectorSize - 1], static_cast<std::uint8_t>(expectedFirst));
    expectedFirst += chunk.count;
  }
  EXPECT_EQ(expectedFirst, sectors);
}

TEST(ChunkPipeline, PreparesOnAWorkerOnlyWhenThereIsAChunkToOverlap) {
  for (const std::int64_t sectors : {std::int64_t{0}, kChunkSectors, 3 * kChunkSectors}) {
    Buffers buffers;
    std::vector<std::thread::id> preparers;
    ChunkPipeline chunks(buffers.Pointers(), sectors, [&](std::uint8_t*, std::int64_t, std::int64_t, int) {
      preparers.push_back(std::this_thread::get_id());
    });
    int handed = 0;
    while (!chunks.Done()) {
      chunks.Next();
      ++handed;
    }
    EXPECT_EQ(handed, (sectors + kChunkSectors - 1) / kChunkSectors);
    for (const auto& preparer : preparers) {
      EXPECT_EQ(preparer == std::this_thread::get_id(), sectors <= kChunkSectors) << sectors << " sectors";
    }
  }
}

TEST(ChunkPipeline, RaisesAtTheChunkWhosePreparingFailed) {
  Buffers buffers;
  ChunkPipeline chunks(buffers.Pointers(), 6 * kChunkSectors, [](std::uint8_t*, std::int64_t first, std::int64_t, int) {
    if (first == 2 * kChunkSectors) throw IoError::FromErrno(EIO);
  });
  EXPECT_EQ(chunks.Next().first, 0);
  EXPECT_EQ(chunks.Next().first, kChunkSectors);
  EXPECT_THROW(chunks.Next(), IoError);
}

TEST(ChunkPipeline, LeavingBeforeTheLastChunkStopsTheWorker) {
  Buffers buffers;
  int prepared = 0;
  {
    ChunkPipeline chunks(buffers.Pointers(), 100 * kChunkSectors,
                         [&](std::uint8_t*, std::int64_t, std::int64_t, int) { ++prepared; });
    chunks.Next();
  }
  EXPECT_LE(prepared, ChunkPipeline::kSlots) << "the worker runs at most two chunks ahead of the one held";
}

}  // namespace
}  // namespace omrek
