#include "tests/support/Extents.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace omrek::test {

std::vector<Extent> PhysicalExtents(const std::string& path) {
  constexpr unsigned kMaxExtents = 64;
  std::vector<char> buffer(sizeof(fiemap) + kMaxExtents * sizeof(fiemap_extent));
  auto* map = reinterpret_cast<fiemap*>(buffer.data());
  map->fm_start = 0;
  map->fm_length = FIEMAP_MAX_OFFSET;
  map->fm_flags = FIEMAP_FLAG_SYNC;
  map->fm_extent_count = kMaxExtents;

  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  const int rc = ::ioctl(fd, FS_IOC_FIEMAP, map);
  ::close(fd);
  if (rc != 0) throw std::runtime_error("no extent map for " + path);

  std::vector<Extent> extents;
  for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
    extents.push_back({map->fm_extents[i].fe_logical, map->fm_extents[i].fe_physical, map->fm_extents[i].fe_length});
  }
  return extents;
}

std::string ReadRange(const std::string& path, std::uint64_t offset, std::uint64_t length) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(length, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(length));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

}  // namespace omrek::test
