#pragma once

#include <cstdint>

namespace omrek {

// The state of the one command the program runs at a time. The main window
// holds exactly one.
struct ShredEngine {
  // Bytes per cluster of the volume last measured; never 0, because the
  // sector counts divide by it.
  static constexpr std::uint32_t kDefaultClusterSize = 32768;

  std::uint32_t ClusterSize = kDefaultClusterSize;
  // 64-bit: sector totals of files past 4 GiB would overflow 32 bits.
  std::int64_t WorkTotal = 0;
  std::int64_t Progress = 0;
  std::uint16_t RowIndex = 0;
  bool CancelFlag = false;
};

}  // namespace omrek
