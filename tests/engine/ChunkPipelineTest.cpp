#include "engine/ChunkPipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/IoError.h"

namespace omrek {
namespace {

constexpr std::uint64_t kChunkBytes = 8 * ShredEngine::kSectorSize;

struct Buffers {
  std::array<IoBytes, ChunkPipeline::kSlots> held{IoBytes(kChunkBytes), IoBytes(kChunkBytes), IoBytes(kChunkBytes)};
  ChunkPipeline::Buffers Pointers() { return {&held[0], &held[1], &held[2]}; }
};

// What starting a thread raises in a process that has reached its limit.
std::thread NoThread(std::function<void()>) {
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

TEST(ChunkPipeline, HandsOutEveryChunkInOrderCyclingThroughTheBuffers) {
  Buffers buffers;
  const std::uint64_t length = 5 * kChunkBytes + 3;
  // Each chunk's bytes say which chunk it is.
  ChunkPipeline chunks(buffers.Pointers(), length,
                       [](std::uint8_t* buffer, std::uint64_t offset, std::size_t bytes, int) {
                         std::fill(buffer, buffer + bytes, static_cast<std::uint8_t>(offset / kChunkBytes + 1));
                       });
  std::uint64_t expectedOffset = 0;
  while (!chunks.Done()) {
    const auto chunk = chunks.Next();
    const auto index = static_cast<int>(expectedOffset / kChunkBytes);
    EXPECT_EQ(chunk.offset, expectedOffset);
    EXPECT_EQ(chunk.bytes, std::min(kChunkBytes, length - expectedOffset));
    EXPECT_EQ(chunk.slot, index % ChunkPipeline::kSlots);
    EXPECT_EQ(chunk.data, buffers.held[static_cast<std::size_t>(chunk.slot)].data());
    EXPECT_EQ(chunk.data[0], static_cast<std::uint8_t>(index + 1));
    EXPECT_EQ(chunk.data[chunk.bytes - 1], static_cast<std::uint8_t>(index + 1));
    expectedOffset += chunk.bytes;
  }
  EXPECT_EQ(expectedOffset, length);
}

TEST(ChunkPipeline, PreparesOnAWorkerOnlyWhenThereIsAChunkToOverlapAndAThreadToRunIt) {
  struct Pass {
    std::uint64_t length;
    ChunkPipeline::StartThread start;
    bool inlined;
  };
  const Pass passes[] = {{0u, ChunkPipeline::StartStdThread, true},
                         {kChunkBytes, ChunkPipeline::StartStdThread, true},
                         {3 * kChunkBytes, ChunkPipeline::StartStdThread, false},
                         {3 * kChunkBytes, NoThread, true}};
  for (const auto& [length, start, inlined] : passes) {
    Buffers buffers;
    std::vector<std::thread::id> preparers;
    ChunkPipeline chunks(
        buffers.Pointers(), length,
        [&](std::uint8_t*, std::uint64_t, std::size_t, int) { preparers.push_back(std::this_thread::get_id()); },
        start);
    int handed = 0;
    while (!chunks.Done()) {
      chunks.Next();
      ++handed;
    }
    EXPECT_EQ(handed, static_cast<int>((length + kChunkBytes - 1) / kChunkBytes));
    for (const auto& preparer : preparers) {
      EXPECT_EQ(preparer == std::this_thread::get_id(), inlined) << length << " bytes";
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
          buffers.Pointers(), 6 * kChunkBytes,
          [&](std::uint8_t*, std::uint64_t offset, std::size_t, int) {
            ++prepared;
            if (offset == 2 * kChunkBytes) throw IoError::FromErrno(EIO);
          },
          start);
      EXPECT_EQ(chunks.Next().offset, 0u);
      EXPECT_EQ(chunks.Next().offset, kChunkBytes);
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
    ChunkPipeline chunks(buffers.Pointers(), 100 * kChunkBytes,
                         [&](std::uint8_t*, std::uint64_t, std::size_t, int) { ++prepared; });
    chunks.Next();
  }
  EXPECT_LE(prepared, ChunkPipeline::kSlots) << "the worker runs at most two chunks ahead of the one held";
}

}  // namespace
}  // namespace omrek
