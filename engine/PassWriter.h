#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engine/JobMonitor.h"
#include "engine/PassPlan.h"
#include "engine/RandomStream.h"
#include "engine/ShredEngine.h"

namespace omrek {

// What sets one command's passes apart from another's. The size of the
// invert pass's carried block is the size of the carry a writer is given.
struct PassStyle {
  // A long pass (the destroy command's, over a whole file) shows its name
  // ("zeroing", "invert", "random"), counts a unit of progress per 512-byte
  // sector as it lands, and stops between chunks once the program is asked
  // to end. A short one, a megabyte at most, leaves all three to its
  // command.
  bool reportsWhileWriting = false;
  // The invert pass complements the carried block alone and writes it
  // whole, whatever the length: past a file's end there is nothing to read.
  // Else it complements what the file holds, and the carry only where the
  // file ends short.
  bool invertsCarryOnly = false;
  // Fill and random passes leave their last block in the carry too, so an
  // invert after them complements what they wrote.
  bool everyPassSetsCarry = false;
  // Each random pass reseeds the stream from the time of day; else the
  // stream runs on from where the pass before left it.
  bool reseedsEachRandomPass = true;
};

// The destroy command's passes: over whole files, a 512-byte carry.
inline constexpr PassStyle kDestroyPasses{.reportsWhileWriting = true};
// The slack wipe's: past a file's end, a 32768-byte carry.
inline constexpr PassStyle kSlackPasses{.invertsCarryOnly = true};
// The free-space wipe's: over filler files a megabyte at a time, a
// 32768-byte carry; one random stream for the whole command.
inline constexpr PassStyle kFreeSpacePasses{.everyPassSetsCarry = true, .reseedsEachRandomPass = false};

// Told of each chunk a writer writes into a file, just before and just
// after: what must know the file's bytes at every moment of the passes.
class ChunkWatch {
 public:
  virtual ~ChunkWatch() = default;
  // Raising stops the pass before the chunk is written.
  virtual void Writing(const std::uint8_t* bytes, std::size_t count, std::uint64_t offset) = 0;
  virtual void Wrote() = 0;
};

// Writes passes over stretches of files, a chunk of the engine's IoBuffer at
// a time, each chunk in one request; a pass long enough grows the buffers
// first (ShredEngine::GrowIoBuffersFor). Where a pass's chunks must be made
// (read and inverted, or drawn), a worker makes the next ones in the spare
// buffers while one is written.
// What reaches the file, and at which offsets, is exactly what writing it
// block by block (or byte by byte) would give; so is what the carry and the
// engine's random stream hold after each chunk written.
class PassWriter {
 public:
  // `carry` is the invert pass's carried block; it must outlive the writer.
  // With `keepDigests`, the writer keeps a digest of every chunk of the pass
  // it wrote last, for VerifyLastPass.
  PassWriter(ShredEngine& engine, JobMonitor& monitor, const PassStyle& style, std::span<std::uint8_t> carry,
             bool keepDigests);
  // A copy would share its carry, most often a member of the command that
  // holds the writer, with the writer it was copied from.
  PassWriter(const PassWriter&) = delete;
  PassWriter& operator=(const PassWriter&) = delete;

  // Writes `pass` over the `length` bytes of `file` from `offset`, growing
  // the file as needed, without flushing it. A failed read or write raises
  // IoError; with reportsWhileWriting, the sectors that did land count as
  // progress first, and StopRequested is raised between two chunks once the
  // program is asked to end. `watch`, if given, is told of every chunk.
  void Write(FileHandle& file, std::uint64_t offset, std::uint64_t length, const Pass& pass,
             ChunkWatch* watch = nullptr);

  // Reads back, past the page cache, what the last Write put in `file`.
  // Raises IoError (EIO) where the device gives back something else, or
  // where no digest was kept.
  void VerifyLastPass(FileHandle& file);

 private:
  // What making a chunk leaves for the next: the invert's block and the
  // random stream.
  struct Carried {
    std::vector<std::uint8_t> block;
    RandomStream stream;
  };
  // How a pass of one kind is written.
  struct Maker {
    const char* name;      // its status text
    std::uint64_t length;  // the bytes it writes
    bool reseeds;          // the stream starts afresh from the time of day
    bool madeOnce;         // one buffer serves every chunk
    // Makes the `bytes` bytes found `at` bytes into the file.
    std::function<void(Carried& carried, std::uint8_t* buffer, std::uint64_t at, std::size_t bytes)> make;
  };

  Maker MakerOf(const Pass& pass, FileHandle& file, std::uint64_t length) const;
  void WriteMadeOnce(FileHandle& file, std::uint64_t offset, const Maker& maker);
  void WriteMadeEach(FileHandle& file, std::uint64_t offset, const Maker& maker);
  void WriteChunk(FileHandle& file, const std::uint8_t* data, std::uint64_t at, std::size_t bytes);
  void CountProgress(std::size_t bytes);
  Carried CarriedNow() const;
  void Take(const Carried& carried);

  ShredEngine& engine_;
  JobMonitor& monitor_;
  PassStyle style_;
  std::span<std::uint8_t> carry_;
  bool keepDigests_;
  // Where the last pass wrote, in chunks of how many bytes, and the digests
  // of its chunks in order.
  std::uint64_t lastOffset_ = 0;
  std::uint64_t lastLength_ = 0;
  std::size_t lastChunk_ = 0;
  std::vector<std::uint64_t> digests_;
  ChunkWatch* watch_ = nullptr;  // the running Write's
};

}  // namespace omrek
