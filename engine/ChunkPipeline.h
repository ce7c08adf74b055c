#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/ShredEngine.h"

namespace omrek {

// The chunks of one pass, each prepared (drawn, or read and inverted) on a
// worker thread while the caller writes the ones before it: on a fast device
// preparing a chunk costs as much as writing it. Chunks are handed out in
// order; preparing runs up to two chunks ahead, in the buffers the caller
// does not hold, so the worker has a whole chunk's time to wake up and
// never holds the writes back. A pass of one chunk or none starts no
// thread.
class ChunkPipeline {
 public:
  static constexpr int kSlots = 3;
  using Buffers = std::array<IoBytes*, kSlots>;

  // Fills `buffer` with the chunk of `bytes` bytes that starts `offset`
  // bytes into the stretch. `slot` (0 to kSlots - 1) names the buffer, so
  // what the preparer knows after a chunk (the stream's seed, the invert
  // carry) can wait beside it until the chunk is written.
  using Prepare = std::function<void(std::uint8_t* buffer, std::uint64_t offset, std::size_t bytes, int slot)>;

  struct Chunk {
    std::uint8_t* data;
    std::uint64_t offset;
    std::size_t bytes;
    int slot;
  };

  // Chunks of as many bytes as one buffer holds, over a stretch of `length`
  // bytes. All buffers must be as large.
  ChunkPipeline(const Buffers& buffers, std::uint64_t length, Prepare prepare);
  // Stops preparing and waits for the worker.
  ~ChunkPipeline();
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  bool Done() const { return handed_ == chunks_; }

  // The next chunk, prepared; the chunk handed out before goes back to the
  // worker. Raises what preparing this chunk raised.
  Chunk Next();

 private:
  Chunk ChunkAt(std::int64_t index) const;
  void Work();

  Buffers buffers_;
  std::uint64_t length_;
  std::uint64_t step_;
  std::int64_t chunks_;
  Prepare prepare_;

  // Under mutex_: which slots hold a prepared chunk, what preparing raised,
  // and the slot the caller holds (-1: none).
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<bool, kSlots> ready_{};
  std::array<std::exception_ptr, kSlots> errors_{};
  int held_ = -1;
  bool stopping_ = false;

  std::int64_t handed_ = 0;
  std::thread worker_;
};

}  // namespace omrek
