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
// thread, and neither does a process that cannot have another: its chunks
// are prepared inline, slower but just as well.
class ChunkPipeline {
 public:
  static constexpr int kSlots = 3;
  using Buffers = std::array<IoBytes*, kSlots>;

  // Fills `buffer` with the chunk of `bytes` bytes that starts `offset`
  // bytes into the stretch. `slot` (0 to kSlots - 1) names the buffer, so
  // what the preparer knows after a chunk (the stream's seed, the invert
  // carry) can wait beside it until the chunk is written.
  using Prepare = std::function<void(std::uint8_t* buffer, std::uint64_t offset, std::size_t bytes, int slot)>;

  // Starts the thread that runs `work`. The default makes a std::thread;
  // one that raises std::system_error stands for a process out of threads.
  using StartThread = std::function<std::thread(std::function<void()> work)>;

  struct Chunk {
    std::uint8_t* data;
    std::uint64_t offset;
    std::size_t bytes;
    int slot;
  };

  // Chunks of as many bytes as one buffer holds, over a stretch of `length`
  // bytes. All buffers must be as large.
  ChunkPipeline(const Buffers& buffers, std::uint64_t length, Prepare prepare,
                const StartThread& startThread = StartStdThread);
  // Stops preparing and waits for the worker.
  ~ChunkPipeline();
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;

  bool Done() const { return handed_ == chunks_; }

  // The next chunk, prepared; the chunk handed out before goes back to the
  // worker. Raises what preparing this chunk raised, and raises it again
  // on every later call: no chunk after a failed one is prepared.
  Chunk Next();

  static std::thread StartStdThread(std::function<void()> work);

 private:
  void StartWorker(const StartThread& startThread);
  Chunk ChunkAt(std::int64_t index) const;
  void AwaitPrepared(const Chunk& chunk);
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
  // What the chunk that failed raised; only the caller's thread sees it.
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace omrek
