#include "disk/ClusterSize.h"

#include "disk/DiskInfo.h"
#include "platform/DriveTable.h"
#include "platform/PinnedFile.h"

namespace omrek {

namespace {

void KeepIfMeasured(std::uint32_t& clusterSize, const Volume& volume) {
  if (volume.ClusterSize() != 0) clusterSize = volume.ClusterSize();
}

}  // namespace

void MeasureClusterSize(TDiskInfo& diskInfo, std::uint32_t& clusterSize, char driveLetter) {
  const auto drive = DriveTable::Read().Find(driveLetter);
  if (!drive) return;
  diskInfo.SetDisk(driveLetter);
  KeepIfMeasured(clusterSize, *drive);
}

void MeasureClusterSizeOfPath(std::uint32_t& clusterSize, const std::string& path) {
  if (const std::uint32_t measured = ClusterSizeOf(path)) clusterSize = measured;
}

void MeasureClusterSizeOf(std::uint32_t& clusterSize, const PinnedFile& file) {
  if (const std::uint32_t measured = file.ClusterSize()) clusterSize = measured;
}

}  // namespace omrek
