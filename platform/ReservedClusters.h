#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
//
// The old size is also noted under /run while the pool is empty, so that a
// run killed meanwhile leaves it for the next start (see below), and a copy
// that finds the pool already emptied by another knows its real size.
class LoweredReserve {
 public:
  explicit LoweredReserve(const std::string& path);
  ~LoweredReserve();
  LoweredReserve(const LoweredReserve&) = delete;
  LoweredReserve& operator=(const LoweredReserve&) = delete;

 private:
  std::string control_;  // empty when nothing was lowered
  std::string oldValue_;
  std::string note_;  // empty when another copy keeps the note
  int noteFd_ = -1;   // held locked while the pool is empty
};

// Puts back the pools that runs killed while they were empty left noted,
// where the same file system is still mounted, and returns the roots it
// is mounted on. Notes a running copy holds are left alone.
std::vector<std::string> PutBackReservesOfKilledRuns();

}  // namespace omrek
