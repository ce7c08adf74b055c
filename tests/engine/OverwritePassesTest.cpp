#include "engine/OverwritePasses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "engine/WorkTotal.h"
#include "platform/IoError.h"
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

// Files of several 1 MiB chunks are prepared ahead on a worker;
// the small file after the largest takes its tail from the carry that
// worker left.
const std::vector<std::size_t> kSizes{0, 1, 511, 512, 513, 1000, 4096, 4097, (3u << 20) + 123, (5u << 20) + 777, 1000};

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

  LoopImage image_{64, 4096, "passes"};
  test::TmpfsMount ram_{std::string(), "ramfs"};
};

INSTANTIATE_TEST_SUITE_P(CacheBypassedOrNot, PassesOnExt4,
                         ::testing::Values(Storage::Ext4Bypassed, Storage::Ext4Cached, Storage::RamfsRefusingBypass));

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
  LoopImage image(4, 1024, "fullrandom");
  OMREK_REQUIRE_MOUNTED(image);
  const std::string path = test::WriteFile(image.File("victim"), std::string(1024, 'v'));
  ShredEngine engine;
  engine.TimeOfDaySeed = [] { return 43210u; };
  RecordingMonitor monitor(engine);
  engine.WorkFile = FileHandle::OpenExisting(path, FileHandle::Access::ReadWrite);
  engine.WorkFile->BypassCache();
  engine.SectorCount = 64 * 1024;

  EXPECT_THROW(DestroyPass(engine, monitor, {PassKind::Random}), IoError);

  // The worker draws a chunk ahead of the writes; the engine's stream must
  // stand where drawing chunk by chunk, up to the one that failed, leaves it.
  const std::size_t chunk = engine.IoBuffer.size();
  const auto failed = static_cast<std::size_t>(engine.Progress) * 512 / chunk;
  RandomStream expected(43210u);
  Bytes scratch(chunk);
  for (std::size_t drawn = 0; drawn <= failed; ++drawn) expected.Fill(scratch.data(), chunk);
  EXPECT_EQ(engine.Random.Seed(), expected.Seed());
}

}  // namespace
}  // namespace omrek
