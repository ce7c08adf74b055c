#pragma once

#include <cstdint>

namespace omrek {

// The cluster size of the ext4 file system holding the open file or folder
// `fd`, from its
// superblock. With bigalloc a cluster spans several blocks, and everything
// the kernel reports (statvfs, the block size) counts blocks: a wipe that
// stops at the block's end leaves the rest of the cluster's old bytes. 0
// when the path is not on ext2/3/4 or its device cannot be read, which only
// root (or the disk group) may.
std::uint32_t Ext4ClusterSize(int fd);

}  // namespace omrek
