#include "engine/ChunkPipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <system_error>
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

// What starting a thread raises in a process that has reached its limit.
std::thread NoThread(std::function<void()>) {
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

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

TEST(ChunkPipeline, PreparesOnAWorkerOnlyWhenThereIsAChunkToOverlapAndAThreadToRunIt) {
  struct Pass {
    std::int64_t sectors;
    ChunkPipeline::StartThread start;
    bool inlined;
  };
  const Pass passes[] = {{0, ChunkPipeline::StartStdThread, true},
                         {kChunkSectors, ChunkPipeline::StartStdThread, true},
                         {3 * kChunkSectors, ChunkPipeline::StartStdThread, false},
                         {3 * kChunkSectors, NoThread, true}};
  for (const auto& [sectors, start, inlined] : passes) {
    Buffers buffers;
    std::vector<std::thread::id> preparers;
    ChunkPipeline chunks(
        buffers.Pointers(), sectors,
        [&](std::uint8_t*, std::int64_t, std::int64_t, int) { preparers.push_back(std::this_thread::get_id()); },
        start);
    int handed = 0;
    while (!chunks.Done()) {
      chunks.Next();
      ++handed;
    }
    EXPECT_EQ(handed, (sectors + kChunkSectors - 1) / kChunkSectors);
    for (const auto& preparer : preparers) {
      EXPECT_EQ(preparer == std::this_thread::get_id(), inlined) << sectors << " sectors";
    }
  }
}

TEST(ChunkPipeline, RaisesAtTheChunkWhosePreparingFailedAndAgainWhenAskedOnceMore) {
  for (const ChunkPipeline::StartThread& start :
       {ChunkPipeline::StartThread(ChunkPipeline::StartStdThread), ChunkPipeline::StartThread(NoThread)}) {
    Buffers buffers;
    std::atomic<int> prepared = 0;
    {
      ChunkPipeline chunks(
          buffers.Pointers(), 6 * kChunkSectors,
          [&](std::uint8_t*, std::int64_t first, std::int64_t, int) {
            ++prepared;
            if (first == 2 * kChunkSectors) throw IoError::FromErrno(EIO);
          },
          start);
      EXPECT_EQ(chunks.Next().first, 0);
      EXPECT_EQ(chunks.Next().first, kChunkSectors);
      EXPECT_THROW(chunks.Next(), IoError);
      // The worker has stopped at the failed chunk; a caller that asks
      // again gets the same error instead of waiting for it.
      try {
        chunks.Next();
        ADD_FAILURE() << "a chunk after the failed one was handed out";
      } catch (const IoError& error) {
        EXPECT_EQ(error.Code(), EIO);
      }
      EXPECT_FALSE(chunks.Done());
    }
    EXPECT_EQ(prepared, 3) << "no chunk after the failed one is prepared";
  }
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
