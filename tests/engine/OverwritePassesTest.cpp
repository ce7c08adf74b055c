#include "engine/OverwritePasses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <vector>

#include "engine/FileDestruction.h"
#include "engine/StopRequest.h"
#include "engine/WorkTotal.h"
#include "intake/TargetFile.h"
#include "platform/IoError.h"
#include "platform/TerminationSignals.h"
#include "platform/WavePlayer.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/LoopImage.h"
#include "tests/support/RecordingMonitor.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

namespace omrek {
namespace {

using test::LoopImage;
using test::ReadWholeFile;
using test::RecordingMonitor;
using Bytes = std::vector<std::uint8_t>;

// The passes as written out sector by sector, 512 bytes at a time: the
// plain reference the engine's large writes must match byte for byte.
struct SectorModel {
  Bytes file;
  std::array<std::uint8_t, 512> block{};
  std::uint32_t seed = 0;

  void WriteSector(std::int64_t sector, const std::uint8_t* bytes) {
    const auto offset = static_cast<std::size_t>(sector) * 512;
    if (file.size() < offset + 512) file.resize(offset + 512);
    std::copy(bytes, bytes + 512, file.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  void Invert(std::int64_t sectors) {
    for (std::int64_t i = 0; i < sectors; ++i) {
      const auto offset = static_cast<std::size_t>(i) * 512;
      const std::size_t got = file.size() > offset ? std::min<std::size_t>(512, file.size() - offset) : 0;
      std::copy(file.begin() + static_cast<std::ptrdiff_t>(offset),
                file.begin() + static_cast<std::ptrdiff_t>(offset + got), block.begin());
      for (auto& byte : block) byte = static_cast<std::uint8_t>(255 - byte);
      WriteSector(i, block.data());
    }
  }
  void Fill(std::int64_t sectors, std::uint8_t value) {
    std::array<std::uint8_t, 512> buffer;
    buffer.fill(value);
    for (std::int64_t i = 0; i < sectors; ++i) WriteSector(i, buffer.data());
  }
  void Random(std::int64_t sectors, std::uint32_t newSeed) {
    seed = newSeed;
    std::array<std::uint8_t, 512> buffer;
    for (std::int64_t i = 0; i < sectors; ++i) {
      for (auto& byte : buffer) {
        seed = seed * 134775813u + 1u;
        byte = static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
      }
      WriteSector(i, buffer.data());
    }
  }
};

Bytes Pattern(std::size_t size, int salt) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(salt)) % 251);
  return bytes;
}

Bytes FileBytes(const std::string& path) {
  const std::string text = ReadWholeFile(path);
  return Bytes(text.begin(), text.end());
}

// One pass over the engine's WorkFile as the destroy command writes it.
bool DestroyPass(ShredEngine& engine, JobMonitor& monitor, const Pass& pass) {
  PassWriter writer(engine, monitor, kDestroyPasses, engine.BlockBuffer, false);
  return RunPass(writer, engine, pass, true);
}

// The same, for CompareOverSizes.
auto Running(const Pass& pass) {
  return [pass](ShredEngine& engine, JobMonitor& monitor) { DestroyPass(engine, monitor, pass); };
}

// Files of several 1 MiB chunks are prepared ahead on a worker; the
// largest spans several large requests, a short one last; the small file
// after it takes its tail from the carry that worker left.
const std::vector<std::size_t> kSizes{
    0, 1, 511, 512, 513, 1000, 4096, 4097, (3u << 20) + 123, (5u << 20) + 777, (33u << 20) + 4097, 1000};

// Where the passes write: ext4 with the page cache bypassed, as the destroy
// command writes, and through it; and a file system that refuses the bypass,
// where the same writes go through the cache.
enum class Storage { Ext4Bypassed, Ext4Cached, RamfsRefusingBypass };

class PassesOnExt4 : public ::testing::TestWithParam<Storage> {
 protected:
  bool Bypassed() const { return GetParam() != Storage::Ext4Cached; }
  std::string File(const std::string& name) const {
    return GetParam() == Storage::RamfsRefusingBypass ? ram_.MountPoint() + "/" + name : image_.File(name);
  }

  // Runs `pass` over a file of each size in turn with one engine, and the
  // model's `step` over the same bytes, comparing file and progress.
  template <typename Pass, typename Step>
  void CompareOverSizes(const char* status, Pass&& pass, Step&& step) {
    OMREK_REQUIRE_MOUNTED(image_);
    if (!ram_.Mounted()) GTEST_SKIP() << ram_.Reason();
    ShredEngine engine;
    engine.TimeOfDaySeed = [] { return 43210u; };
    RecordingMonitor monitor(engine);
    SectorModel model;
    int salt = 0;
    for (const std::size_t size : kSizes) {
      const Bytes original = Pattern(size, ++salt);
      const std::string path = File("f" + std::to_string(size));
      test::WriteFile(path, std::string(original.begin(), original.end()));
      engine.SectorCount = SectorsToClusterEnd(size, 4096);
      engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
      if (Bypassed()) {
        EXPECT_EQ(engine.WorkFile->BypassCache(), GetParam() == Storage::Ext4Bypassed) << "refused on ramfs only";
      }
      engine.Progress = 0;
      monitor.statuses.clear();

      pass(engine, monitor);
      engine.WorkFile->Close();
      model.file = original;
      step(model, engine.SectorCount);

      const Bytes written = FileBytes(path);
      ASSERT_EQ(written.size(), static_cast<std::size_t>(engine.SectorCount) * 512) << size << " bytes";
      ASSERT_TRUE(written == model.file) << status << " over " << size << " bytes";
      EXPECT_EQ(engine.Progress, engine.SectorCount);
      EXPECT_EQ(monitor.statuses, std::vector<std::string>{status});
    }
  }

  LoopImage image_{96, 4096, "passes"};
  test::TmpfsMount ram_{std::string(), "ramfs"};
};

std::string StorageName(const ::testing::TestParamInfo<Storage>& storage) {
  constexpr std::array<const char*, 3> kNames = {"ext4_bypassed", "ext4_cached", "ramfs_refusing_bypass"};
  return kNames.at(static_cast<std::size_t>(storage.param));
}

INSTANTIATE_TEST_SUITE_P(CacheBypassedOrNot, PassesOnExt4,
                         ::testing::Values(Storage::Ext4Bypassed, Storage::Ext4Cached, Storage::RamfsRefusingBypass),
                         StorageName);

TEST_P(PassesOnExt4, FillWritesItsByteToTheEndOfTheLastCluster) {
  CompareOverSizes("zeroing", Running({PassKind::Fill, 0xE5}),
                   [](SectorModel& model, std::int64_t sectors) { model.Fill(sectors, 0xE5); });
}

TEST_P(PassesOnExt4, InvertCarriesItsBufferPastEachFilesEnd) {
  // One engine and one model over all the files: what the buffer held after
  // one file decides what the next file's tail receives.
  CompareOverSizes("invert", Running({PassKind::Invert}),
                   [](SectorModel& model, std::int64_t sectors) { model.Invert(sectors); });
}

TEST_P(PassesOnExt4, RandomWritesTheStreamOfTheTimeOfDay) {
  CompareOverSizes("random", Running({PassKind::Random}),
                   [](SectorModel& model, std::int64_t sectors) { model.Random(sectors, 43210u); });
}

TEST_P(PassesOnExt4, NoSectorsStillShowsAndFlushes) {
  OMREK_REQUIRE_MOUNTED(image_);
  const std::string path = test::WriteFile(image_.File("kept"), "keep");
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  engine.SectorCount = 0;
  for (const Pass& pass : {Pass{PassKind::Fill, 0}, Pass{PassKind::Invert}, Pass{PassKind::Random}}) {
    DestroyPass(engine, monitor, pass);
  }
  EXPECT_EQ(monitor.statuses, (std::vector<std::string>{"zeroing", "invert", "random"}));
  EXPECT_EQ(engine.Progress, 0);
  EXPECT_EQ(ReadWholeFile(path), "keep");
}

TEST(PassesOnAFullDisk, InvertEndsQuietlyWhileFillAndRandomFail) {
  LoopImage image(4, 1024, "full");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string path = test::WriteFile(image.File("victim"), std::string(1024, 'v'));
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  engine.SectorCount = 64 * 1024;  // 32 MiB: far more than the disk holds

  EXPECT_FALSE(DestroyPass(engine, monitor, {PassKind::Invert})) << "ends early, quietly, and says so";
  const std::int64_t inverted = engine.Progress;
  EXPECT_GT(inverted, 0);
  EXPECT_LT(inverted, engine.SectorCount);
  const Bytes afterInvert = FileBytes(path);
  EXPECT_EQ(afterInvert[0], static_cast<std::uint8_t>(~'v'));
  EXPECT_GE(afterInvert.size(), static_cast<std::size_t>(inverted) * 512) << "every counted sector landed";

  for (const Pass& pass : {Pass{PassKind::Fill, 0x00}, Pass{PassKind::Random}}) {
    try {
      DestroyPass(engine, monitor, pass);
      ADD_FAILURE() << "a full disk must fail the pass";
    } catch (const IoError& error) {
      EXPECT_STREQ(error.what(), "Disk full");
    }
  }
}

TEST(PassesOnAFullDisk, RandomLeavesTheStreamAfterTheChunkThatFailed) {
  // The disk fills in the third of the pass's large requests.
  LoopImage image(48, 1024, "fullrandom");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string path = test::WriteFile(image.File("victim"), std::string(1024, 'v'));
  ShredEngine engine;
  engine.TimeOfDaySeed = [] { return 43210u; };
  RecordingMonitor monitor(engine);
  engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  engine.WorkFile->BypassCache();
  engine.SectorCount = 256 * 1024;

  EXPECT_THROW(DestroyPass(engine, monitor, {PassKind::Random}), IoError);

  // The worker draws a chunk ahead of the writes; the engine's stream must
  // stand where drawing chunk by chunk, up to the one that failed, leaves it.
  const std::size_t chunk = engine.IoBuffer.size();
  EXPECT_EQ(chunk, ShredEngine::kLargeIoBufferSize);
  const auto failed = static_cast<std::size_t>(engine.Progress) * 512 / chunk;
  EXPECT_GE(failed, 1u) << "a request after the first";
  RandomStream expected(43210u);
  Bytes scratch(chunk);
  for (std::size_t drawn = 0; drawn <= failed; ++drawn) expected.Fill(scratch.data(), chunk);
  EXPECT_EQ(engine.Random.Seed(), expected.Seed());
}

// A monitor that asks the program to end, as a Ctrl+C would, once the
// first request of a pass has landed.
class EndingMonitor : public RecordingMonitor {
 public:
  using RecordingMonitor::RecordingMonitor;
  void AddProgress(std::uint16_t amount) override {
    RecordingMonitor::AddProgress(amount);
    ::raise(SIGINT);
  }
};

// Large requests still leave the end a safe point between any two of them:
// what landed is whole requests, and nothing is written after the request.
TEST(PassesOverLargeFiles, AnEndRequestStopsThemBetweenTwoRequests) {
  LoopImage image(64, 4096, "stopped");
  OMREK_REQUIRE_MOUNTED(image);
  constexpr std::size_t kLength = 40u << 20;
  const std::string path = test::WriteFile(image.File("large"), std::string(kLength, 'o'));
  // In a child: the end request cannot be taken back in this process.
  EXPECT_EXIT(
      {
        TerminationSignals::Install();
        ShredEngine engine;
        EndingMonitor monitor(engine);
        engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
        engine.WorkFile->BypassCache();
        engine.SectorCount = static_cast<std::int64_t>(kLength / 512);
        bool stopped = false;
        try {
          DestroyPass(engine, monitor, {PassKind::Invert});
        } catch (const StopRequested&) {
          stopped = true;
        }
        engine.WorkFile->Close();
        const std::size_t request = ShredEngine::kLargeIoBufferSize;
        const Bytes written = FileBytes(path);
        const auto inverted = static_cast<std::uint8_t>(~'o');
        const bool firstWhole = std::all_of(written.begin(), written.begin() + request,
                                            [&](std::uint8_t byte) { return byte == inverted; });
        const bool restUntouched =
            std::all_of(written.begin() + request, written.end(), [](std::uint8_t byte) { return byte == 'o'; });
        const bool carried = std::all_of(engine.BlockBuffer.begin(), engine.BlockBuffer.end(),
                                         [&](std::uint8_t byte) { return byte == inverted; });
        std::_Exit(stopped && written.size() == kLength && firstWhole && restUntouched && carried &&
                           engine.Progress == static_cast<std::int64_t>(request / 512)
                       ? 0
                       : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A write that fails in the middle of a pass over a large file, between
// two of its requests: the file is kept at its own length, the passes
// before are told, and progress counts just what landed.
TEST(PassesOverLargeFiles, AWriteFailingMidPassKeepsTheFileAndTellsThePassesDone) {
  LoopImage image(64, 4096, "midpass");
  OMREK_REQUIRE_MOUNTED(image);
  constexpr std::size_t kLength = (40u << 20) - 1000;
  const std::string original(kLength, 'k');
  const std::string path = test::WriteFile(image.File("large"), original);
  ShredEngine engine;
  RecordingMonitor monitor(engine);
  const StoredWipeProfile defaults;
  WavePlayer silent;
  FileDestruction destruction(engine, monitor, defaults, silent);
  TargetOutcome done;
  {
    // Three requests a pass (16, 16 and 8 MiB): the fifth write is the
    // second pass's second request.
    test::InjectedFault writes(test::FaultedCall::Write, image.MountPoint(), EIO, 5);
    done = destruction.DestroyFile(ListFile(path));
  }
  EXPECT_EQ(done.outcome, Outcome::FailedMidway);
  EXPECT_EQ(done.passesDone, 1);
  EXPECT_EQ(done.passesPlanned, 5);
  EXPECT_EQ(done.bytes, 40u << 20);
  EXPECT_EQ(engine.Progress, static_cast<std::int64_t>(((40u << 20) + ShredEngine::kLargeIoBufferSize) / 512));
  const Bytes kept = FileBytes(path);
  ASSERT_EQ(kept.size(), kLength) << "kept at its own length";
  const std::size_t request = ShredEngine::kLargeIoBufferSize;
  EXPECT_TRUE(std::none_of(kept.begin() + request, kept.end(), [](std::uint8_t byte) { return byte == 'k'; }))
      << "the first pass reached the whole file";
  EXPECT_EQ(monitor.statuses.back(), "ERROR");
}

// The slack and free-space passes as those commands describe them: block by
// block through one carried block of 32768 bytes.
struct CarriedBlockModel {
  // The slack's inversion complements its block alone and writes it whole.
  bool invertsCarryOnly;
  // The free space's fill and random passes are written through the block.
  bool everyPassSetsCarry;
  // The slack reseeds each random pass; the free space draws on.
  bool reseedsEachRandomPass;
  std::function<std::uint32_t()> timeOfDay{};
  std::uint32_t seed = 0;
  Bytes block = Bytes(32768);
  Bytes file{};

  void Run(const Pass& pass, std::size_t offset, std::size_t length) {
    if (pass.kind == PassKind::Invert && invertsCarryOnly) length = block.size();
    if (pass.kind == PassKind::Random && reseedsEachRandomPass) seed = timeOfDay();
    for (std::size_t at = offset; at < offset + length; at += block.size()) {
      Bytes out(std::min(block.size(), offset + length - at));
      if (pass.kind == PassKind::Invert) {
        const std::size_t from = std::min(at, file.size());
        const std::size_t got = invertsCarryOnly ? 0 : std::min(block.size(), file.size() - from);
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(from), got, block.begin());
        for (auto& byte : block) byte = static_cast<std::uint8_t>(~byte);
        std::copy_n(block.begin(), out.size(), out.begin());
      } else {
        for (auto& byte : out) byte = pass.kind == PassKind::Fill ? pass.value : RandomStream::Draw(seed);
        if (everyPassSetsCarry && out.size() == block.size()) block = out;
      }
      file.resize(std::max(file.size(), at + out.size()));
      std::copy(out.begin(), out.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
    }
  }
};

TEST(PassesOfTheDiskCommands, SlackAndFreeSpaceWriteWhatTheirBlockByBlockModelsDo) {
  LoopImage image(16, 4096, "diskpasses");
  OMREK_REQUIRE_MOUNTED(image);
  struct Stretch {
    std::size_t offset;
    std::size_t length;
    std::vector<Pass> passes;
  };
  struct Command {
    const char* name;
    PassStyle style;
    CarriedBlockModel model;
    std::string original;  // what the file holds first
    std::vector<Stretch> stretches;
  };
  // The invert of the second stretch keeps what the fill left in the carry;
  // the carry after the third is what the random pass left there.
  const std::vector<Pass> first{{PassKind::Invert}, {PassKind::Random}, {PassKind::Invert}, {PassKind::Fill, 0xE5}};
  const std::vector<Pass> second{{PassKind::Invert}};
  const std::vector<Pass> third{{PassKind::Random}};
  // The slack of a file three times over; a filler file's first chunk, then
  // stretches of several chunks, which a worker makes ahead.
  const Command commands[] = {
      {"slack",
       kSlackPasses,
       {true, false, true},
       std::string(1000, 's'),
       {{1000, 3096, first}, {1000, 3096, second}, {1000, 3096, third}}},
      {"free space",
       kFreeSpacePasses,
       {false, true, false},
       "",
       {{0, 1 << 20, first}, {1 << 20, (2 << 20) + 32768, second}, {(3 << 20) + 32768, 2 << 20, third}}}};
  for (Command command : commands) {
    SCOPED_TRACE(command.name);
    ShredEngine engine;
    std::uint32_t clock = 500;
    engine.TimeOfDaySeed = [&clock] { return clock += 7; };
    engine.Random.Reseed(99);
    RecordingMonitor monitor(engine);
    std::array<std::uint8_t, 32768> carry{};
    std::uint32_t modelClock = 500;
    CarriedBlockModel& model = command.model;
    model.timeOfDay = [&modelClock] { return modelClock += 7; };
    model.seed = 99;
    model.file.assign(command.original.begin(), command.original.end());
    const std::string path = test::WriteFile(image.File("file"), command.original);
    FileHandle file = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
    PassWriter writer(engine, monitor, command.style, carry, false);

    for (const Stretch& stretch : command.stretches) {
      for (const Pass& pass : stretch.passes) {
        writer.Write(file, stretch.offset, stretch.length, pass);
        model.Run(pass, stretch.offset, stretch.length);
      }
    }
    file.Close();
    ASSERT_TRUE(FileBytes(path) == model.file);
    EXPECT_TRUE(Bytes(carry.begin(), carry.end()) == model.block) << "the carry left for the next file or chunk";
    EXPECT_EQ(engine.Random.Seed(), model.seed);
    EXPECT_TRUE(monitor.statuses.empty()) << "their commands show their own status";
  }
}

// The read-back after each command's last pass: a device that gives back
// what was written passes, one that stored something else in the pass's
// last chunk is caught, whatever the pass.
TEST(PassesReadBack, CatchADeviceThatStoresSomethingElseAfterEveryKindOfPass) {
  LoopImage image(48, 4096, "readback");
  OMREK_REQUIRE_MOUNTED(image);
  ShredEngine engine;
  engine.TimeOfDaySeed = [] { return 777u; };
  RecordingMonitor monitor(engine);
  std::array<std::uint8_t, 32768> block{};
  struct Command {
    const char* name;
    PassStyle style;
    std::span<std::uint8_t> carry;
    std::uint64_t offset;
    std::uint64_t length;
    int writes;  // what one pass writes in
  };
  // The destroy pass over a file of three large requests, the last short.
  const Command commands[] = {{"destroy", kDestroyPasses, engine.BlockBuffer, 0, (32 << 20) + 4096, 3},
                              {"slack", kSlackPasses, block, 1000, 3096, 1},
                              {"free space", kFreeSpacePasses, block, 1 << 20, 1 << 20, 1}};
  for (const Command& command : commands) {
    for (const Pass& pass : {Pass{PassKind::Fill, 0x5A}, Pass{PassKind::Invert}, Pass{PassKind::Random}}) {
      for (const bool corrupted : {false, true}) {
        SCOPED_TRACE(std::string(command.name) + ", pass kind " + std::to_string(static_cast<int>(pass.kind)) +
                     (corrupted ? ", corrupted" : ", sound"));
        const std::string path = test::WriteFile(image.File("file"), std::string(1000, 'x'));
        FileHandle file = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
        PassWriter writer(engine, monitor, command.style, command.carry, true);
        {
          std::optional<test::CorruptedWrites> corrupt;
          if (corrupted) corrupt.emplace(image.MountPoint(), command.writes);
          writer.Write(file, command.offset, command.length, pass);
          file.Flush();
        }
        if (corrupted) {
          EXPECT_THROW(writer.VerifyLastPass(file), IoError);
        } else {
          EXPECT_NO_THROW(writer.VerifyLastPass(file));
        }
      }
    }
  }
}

}  // namespace
}  // namespace omrek
