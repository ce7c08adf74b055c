#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace omrek {

// btrfs keeps small files whole inside its metadata trees, apart from file
// data: a filler file, which takes data space, never reaches the metadata
// blocks such a file left when it was deleted.

// The metadata space of the btrfs file system holding `path` that holds no
// tree block now (its global reserve included); nullopt on any other file
// system. Raises IoError when the file system cannot be asked.
std::optional<std::uint64_t> BtrfsFreeMetadataBytes(const std::string& path);

}  // namespace omrek
