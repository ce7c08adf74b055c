#pragma once

#include <cstdint>
#include <string>

namespace omrek {

// ext4 keeps a pool of clusters back (/sys/fs/ext4/<device>/reserved_clusters)
// that no file may take, root's included, so that it never runs short of
// room for its own records. Whatever a deleted file left in those clusters
// stays readable for as long as the pool stands.

// Free bytes of the file system holding `path` that no file of this process
// can take: ext4's pool, and for anyone but root also the blocks kept for
// root. 0 when every free byte can be written or nothing can be learned.
std::uint64_t FreeBytesOutOfReach(const std::string& path);

// Empties the pool of the ext4 file system holding `path` for as long as it
// lives, and puts the old size back when it goes, whatever way that is. A
// file system without such a pool is left as it is. Raises IoError when the
// pool cannot be lowered: only root may.
class LoweredReserve {
 public:
  explicit LoweredReserve(const std::string& path);
  ~LoweredReserve();
  LoweredReserve(const LoweredReserve&) = delete;
  LoweredReserve& operator=(const LoweredReserve&) = delete;

 private:
  std::string control_;  // empty when nothing was lowered
  std::string oldValue_;
};

}  // namespace omrek
