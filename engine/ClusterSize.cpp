#include "engine/ClusterSize.h"

#include "platform/PinnedFile.h"
#include "platform/Volume.h"

namespace omrek {

void MeasureClusterSizeOfPath(std::uint32_t& clusterSize, const std::string& path) {
  if (const std::uint32_t measured = ClusterSizeOf(path)) clusterSize = measured;
}

void MeasureClusterSizeOf(std::uint32_t& clusterSize, const PinnedFile& file) {
  if (const std::uint32_t measured = file.ClusterSize()) clusterSize = measured;
}

void MeasureClusterSizeOf(std::uint32_t& clusterSize, const PinnedFile& file, ClusterSizeMemo& memo) {
  if (const std::uint32_t measured = file.ClusterSize(memo)) clusterSize = measured;
}

}  // namespace omrek
