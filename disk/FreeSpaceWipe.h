#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"
#include "engine/WipeProfile.h"

namespace omrek {

class TDiskInfo;

// A drive as the user picked it: its letter then, and its root folder.
struct DriveToWipe {
  char letter;
  std::string root;
};

// Overwrites the free space of drives: temporary filler files in a drive's
// root take its free space a megabyte (a chunk of 32 blocks of 32768 bytes)
// at a time, each chunk written with every pass of the disk-mode profile;
// below a megabyte the chunks shrink to the whole blocks left, and a last
// block takes the final bytes, until the drive is full. Then the filler
// files are deleted.
// With the disk-mode WipeSlack option the drive's slack is swept first.
//
// Whatever ends a drive's filler phase (the disk full, a filler file that
// cannot be made, Cancel, any error), every filler file made for it is
// deleted, so the drive is never left full.
class FreeSpaceWipe {
 public:
  static constexpr std::uint64_t kBlockSize = 32768;
  static constexpr std::int64_t kChunkBlocks = 32;
  static constexpr std::uint64_t kChunkSize = kBlockSize * kChunkBlocks;
  // The smallest write tried before a drive counts as full: a page.
  static constexpr std::uint64_t kSmallestPiece = 4096;

  FreeSpaceWipe(ShredEngine& engine, JobMonitor& monitor, const WipeProfile& profile, std::function<bool()> wipeSlack,
                TDiskInfo& diskInfo);

  // The command over the picked drives, in order; stops between drives when
  // CancelFlag is set.
  void WipeSelectedDrives(const std::vector<DriveToWipe>& drives);

  void WipeDriveFreeSpace(const DriveToWipe& drive);

  // Chunks written into one filler file before the next is started: 1024,
  // a gigabyte. Tests lower it to see the change of file without writing
  // a gigabyte.
  std::int64_t chunksPerFile = 1024;

 private:
  void FillFreeSpace(char letter, const std::string& root);
  void OpenFillerFile(const std::string& root, int number);
  void WipeChunk(std::uint64_t offset, std::size_t bytes);
  void FillChunk(std::uint64_t offset, std::size_t bytes, std::uint8_t value);
  void InvertChunk(std::uint64_t offset, std::size_t bytes);
  void RandomChunk(std::uint64_t offset, std::size_t bytes);
  void DeleteFillerFiles();

  ShredEngine& engine_;
  JobMonitor& monitor_;
  const WipeProfile& profile_;
  std::function<bool()> wipeSlack_;
  TDiskInfo& diskInfo_;
  // The block the passes last wrote; what the invert pass complements where
  // the filler file holds no data yet.
  std::vector<std::uint8_t> fillerBlock_;
  std::vector<std::string> fillerFiles_;
};

// "Omrek-Delete This File if you see it 001": three digits, four from 1000.
std::string FillerFileName(int number);

}  // namespace omrek
