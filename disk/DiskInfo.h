#pragma once

#include <cstdint>
#include <string>

namespace omrek {

// Kinds of drive, in the order of the numbers the platform reports (0-6).
enum TDriveType : std::uint8_t { dtUnknown, dtNoDrive, dtFloppy, dtFixed, dtNetwork, dtCDROM, dtRAM };

// The facts of one drive letter at a time. Setting the letter refreshes all
// of them; it starts out describing drive C.
class TDiskInfo {
 public:
  TDiskInfo();

  char Disk() const { return disk_; }
  // Upper-cases the letter and reads the drive's facts. A character that is
  // not a letter, or a letter with nothing mounted, changes nothing.
  void SetDisk(char letter);

  const std::string& SerialNumberStr() const { return serialNumberStr_; }
  std::uint32_t SerialNumber() const { return serialNumber_; }
  const std::string& VolumeLabel() const { return volumeLabel_; }
  const std::string& FileSystem() const { return fileSystem_; }
  TDriveType DriveType() const { return driveType_; }
  std::int64_t DiskSize() const { return diskSize_; }
  std::int64_t DiskFree() const { return diskFree_; }
  // Where the drive's files live: its mount point.
  const std::string& RootDirectory() const { return rootDirectory_; }

 private:
  char disk_ = 0;
  std::string serialNumberStr_ = "0000-0000";
  std::uint32_t serialNumber_ = 0;
  std::string volumeLabel_;
  std::string fileSystem_;
  TDriveType driveType_ = dtUnknown;
  std::int64_t diskSize_ = -1;
  std::int64_t diskFree_ = -1;
  std::string rootDirectory_;
};

// A serial as eight upper-case hex digits, high half first, with a dash in
// the middle: 0x2E1817E6 gives "2E18-17E6".
std::string SerialNumberText(std::uint32_t serial);

// Refreshes `diskInfo` for the drive and stores the drive's cluster size in
// `clusterSize`. When nothing can be measured (not a letter, nothing
// mounted) both keep their values, so the cluster size never becomes 0:
// every sector count divides by it.
void MeasureClusterSize(TDiskInfo& diskInfo, std::uint32_t& clusterSize, char driveLetter);

}  // namespace omrek
