#pragma once

#include "app/RegionType.h"

class QIODevice;

namespace omrek {

// The stored value of a shaped window's outline: a 32-bit little-endian
// length, then that many bytes of region description (see RegionData.h). A
// length of 0 means no region, and nothing follows.

// Reads one value from the stream into the holder. A length of 0, a value
// cut short by the end of the stream, or a description that can't be used
// leaves the holder without a region. Never reads past the given length.
void ReadMask(QIODevice& stream, TRegionType& mask);

// Writes the holder's region as one value: its description, or the length 0
// when it holds none. Throws std::runtime_error when the stream refuses the
// bytes.
void WriteMask(QIODevice& stream, const TRegionType& mask);

}  // namespace omrek
