#include "disk/DiskInfo.h"

#include <cctype>
#include <cstdio>

#include "platform/DriveTable.h"

namespace omrek {

TDiskInfo::TDiskInfo() { SetDisk('C'); }

void TDiskInfo::SetDisk(char letter) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (upper < 'A' || upper > 'Z') return;
  const auto drive = DriveTable::Read().Find(upper);
  if (!drive) return;

  disk_ = upper;
  serialNumber_ = drive->Serial;
  serialNumberStr_ = SerialNumberText(drive->Serial);
  volumeLabel_ = drive->Label;
  fileSystem_ = drive->FileSystem;
  driveType_ = static_cast<TDriveType>(drive->Kind);
  diskSize_ = drive->TotalBytes;
  diskFree_ = drive->FreeBytes;
  rootDirectory_ = drive->RootDirectory;
}

std::string SerialNumberText(std::uint32_t serial) {
  char text[10];
  std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFF);
  return text;
}

void MeasureClusterSize(TDiskInfo& diskInfo, std::uint32_t& clusterSize, char driveLetter) {
  const auto drive = DriveTable::Read().Find(driveLetter);
  if (!drive) return;
  diskInfo.SetDisk(driveLetter);
  if (drive->ClusterSize() != 0) clusterSize = drive->ClusterSize();
}

}  // namespace omrek
