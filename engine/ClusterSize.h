#pragma once

#include <cstdint>
#include <string>

namespace omrek {

class ClusterSizeMemo;
class PinnedFile;

// The cluster size of the file system that actually holds `path`, whether
// or not it has a drive letter, into `clusterSize`; kept when nothing can be
// measured, so the cluster size never becomes 0: every sector count
// divides by it. Asks that file system only: reading the whole drive table for
// every file would stall on any unreachable mount elsewhere.
void MeasureClusterSizeOfPath(std::uint32_t& clusterSize, const std::string& path);
// The same for a file already reached.
void MeasureClusterSizeOf(std::uint32_t& clusterSize, const PinnedFile& file);
// The same, measuring each file system once in `memo`.
void MeasureClusterSizeOf(std::uint32_t& clusterSize, const PinnedFile& file, ClusterSizeMemo& memo);

}  // namespace omrek
