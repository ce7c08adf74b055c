#pragma once

#include <string>

namespace omrek {

// Tells one file system from every other, whatever device it is mounted
// from and across remounts and reboots: ext4 derives it from the file
// system's UUID. Empty when it cannot be learned.
std::string FileSystemIdOfOpen(int fd);
std::string FileSystemIdOf(const std::string& path);

}  // namespace omrek
