#pragma once

#include <cstddef>
#include <cstdint>

namespace omrek {

// A 64-bit digest of a run of bytes, for checking that what a pass wrote is
// what the device gives back: any changed byte changes it, but far faster
// than keeping a copy of everything written.
std::uint64_t ChunkDigest(const std::uint8_t* bytes, std::size_t count);

}  // namespace omrek
