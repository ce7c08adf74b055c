#include "engine/ChunkPipeline.h"

#include <algorithm>
#include <system_error>

namespace omrek {

ChunkPipeline::ChunkPipeline(const Buffers& buffers, std::uint64_t length, Prepare prepare,
                             const StartThread& startThread)
    : buffers_(buffers),
      length_(length),
      step_(buffers.front()->size()),
      chunks_(static_cast<std::int64_t>((length_ + step_ - 1) / step_)),
      prepare_(std::move(prepare)) {
  if (chunks_ > 1) StartWorker(startThread);
}

std::thread ChunkPipeline::StartStdThread(std::function<void()> work) { return std::thread(std::move(work)); }

void ChunkPipeline::StartWorker(const StartThread& startThread) {
  // A process at its thread limit must still destroy the file; without a
  // worker, Next() prepares each chunk itself.
  try {
    worker_ = startThread([this] { Work(); });
  } catch (const std::system_error&) {
  }
}

ChunkPipeline::~ChunkPipeline() {
  if (!worker_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

ChunkPipeline::Chunk ChunkPipeline::ChunkAt(std::int64_t index) const {
  const int slot = static_cast<int>(index % kSlots);
  const std::uint64_t offset = static_cast<std::uint64_t>(index) * step_;
  return {buffers_[static_cast<std::size_t>(slot)]->data(), offset,
          static_cast<std::size_t>(std::min(step_, length_ - offset)), slot};
}

ChunkPipeline::Chunk ChunkPipeline::Next() {
  // The worker stops at a failed chunk: waiting for the next one would
  // wait for ever.
  if (failure_) std::rethrow_exception(failure_);
  const Chunk chunk = ChunkAt(handed_++);
  try {
    if (worker_.joinable()) {
      AwaitPrepared(chunk);
    } else {
      prepare_(chunk.data, chunk.offset, chunk.bytes, chunk.slot);
    }
  } catch (...) {
    failure_ = std::current_exception();
    throw;
  }
  return chunk;
}

void ChunkPipeline::AwaitPrepared(const Chunk& chunk) {
  const auto slot = static_cast<std::size_t>(chunk.slot);
  std::exception_ptr error;
  {
    std::unique_lock lock(mutex_);
    held_ = -1;
    changed_.notify_all();
    changed_.wait(lock, [&] { return ready_[slot]; });
    ready_[slot] = false;
    held_ = chunk.slot;
    error = errors_[slot];
  }
  if (error) std::rethrow_exception(error);
}

void ChunkPipeline::Work() {
  for (std::int64_t index = 0; index < chunks_; ++index) {
    const Chunk chunk = ChunkAt(index);
    const auto slot = static_cast<std::size_t>(chunk.slot);
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || (!ready_[slot] && held_ != chunk.slot); });
      if (stopping_) return;
    }
    std::exception_ptr error;
    try {
      prepare_(chunk.data, chunk.offset, chunk.bytes, chunk.slot);
    } catch (...) {
      error = std::current_exception();
    }
    {
      const std::lock_guard lock(mutex_);
      errors_[slot] = error;
      ready_[slot] = true;
    }
    changed_.notify_all();
    // The caller stops at the chunk that failed; nothing after it is needed.
    if (error) return;
  }
}

}  // namespace omrek
