#include "platform/BlockDevice.h"

#include <blkid/blkid.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>

namespace omrek {

namespace {

std::string ReadSysfsLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// sysfs keeps removable and queue facts on the whole disk; a partition's
// folder sits inside its disk's folder.
std::string DiskSysfsFolder(unsigned major, unsigned minor) {
  const std::string device = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  if (std::filesystem::exists(device + "/partition")) return device + "/..";
  return device;
}

bool ProbeSuperblock(const std::string& devicePath, BlockDeviceFacts& facts) {
  std::unique_ptr<blkid_struct_probe, decltype(&blkid_free_probe)> probe(
      blkid_new_probe_from_filename(devicePath.c_str()), &blkid_free_probe);
  if (!probe) return false;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE);
  if (blkid_do_safeprobe(probe.get()) != 0) return false;
  const auto value = [&](const char* name) {
    const char* text = nullptr;
    return blkid_probe_lookup_value(probe.get(), name, &text, nullptr) == 0 && text ? std::string(text) : std::string();
  };
  facts.Label = value("LABEL");
  facts.Uuid = value("UUID");
  facts.Type = value("TYPE");
  return true;
}

// udev's links name a device by label and UUID; used when the device itself
// cannot be read.
std::string LinkNameFor(const std::string& folder, const std::string& devicePath) {
  std::error_code error;
  const auto target = std::filesystem::canonical(devicePath, error);
  if (error) return {};
  for (const auto& link : std::filesystem::directory_iterator(folder, error)) {
    std::error_code linkError;
    if (std::filesystem::canonical(link.path(), linkError) == target && !linkError) {
      return link.path().filename().string();
    }
  }
  return {};
}

}  // namespace

BlockDeviceFacts ProbeBlockDevice(const std::string& devicePath, unsigned major, unsigned minor) {
  BlockDeviceFacts facts;
  if (!ProbeSuperblock(devicePath, facts)) {
    facts.Label = LinkNameFor("/dev/disk/by-label", devicePath);
    facts.Uuid = LinkNameFor("/dev/disk/by-uuid", devicePath);
  }
  const std::string disk = DiskSysfsFolder(major, minor);
  facts.Removable = ReadSysfsLine(disk + "/removable") == "1";
  const std::string sectorSize = ReadSysfsLine(disk + "/queue/logical_block_size");
  if (!sectorSize.empty() && std::isdigit(static_cast<unsigned char>(sectorSize[0]))) {
    const unsigned long size = std::stoul(sectorSize);
    if (size >= 512) facts.LogicalSectorSize = static_cast<std::uint32_t>(size);
  }
  return facts;
}

std::string KernelDeviceName(std::uint64_t device) {
  std::ifstream uevent("/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device)) +
                       "/uevent");
  constexpr std::string_view kKey = "DEVNAME=";
  for (std::string line; std::getline(uevent, line);) {
    if (line.starts_with(kKey)) return line.substr(kKey.size());
  }
  return {};
}

std::uint32_t SerialFromUuid(const std::string& uuid) {
  std::string hex;
  for (char c : uuid) {
    if (std::isxdigit(static_cast<unsigned char>(c))) hex.push_back(c);
  }
  if (hex.size() < 8) return 0;
  const std::string digits = hex.size() == 16 ? hex.substr(8) : hex.substr(0, 8);
  return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
}

}  // namespace omrek
