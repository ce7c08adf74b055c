#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace omrek::test {

// Where a file's data lies on its device: byte ranges, from the file
// system's own map of the file (FIEMAP).
struct Extent {
  std::uint64_t logical;   // offset in the file
  std::uint64_t physical;  // offset on the device
  std::uint64_t length;
};
std::vector<Extent> PhysicalExtents(const std::string& path);

// Reads `length` bytes at `offset` of a file (an image, a device).
std::string ReadRange(const std::string& path, std::uint64_t offset, std::uint64_t length);

}  // namespace omrek::test
