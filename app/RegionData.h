#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QRegion>
#include <optional>

namespace omrek {

// A window region as the main window's stored form describes it: a 32-byte
// header (its own size 32, kind 1 for rectangles, rectangle count, size of
// the rectangle array, bounding rectangle), then the rectangles. Every
// integer is 32-bit little-endian; a rectangle is left, top, right, bottom,
// right and bottom exclusive.

// The region a description gives, or none when it can't be used: shorter
// or longer than its header and the rectangles it counts, another header
// size or kind, an array size that is neither 0 (not known) nor the count's
// size, a rectangle
// that is empty, lies outside the bounding rectangle or beyond the 16-bit
// coordinates of window shapes, or no rectangle at all (a window cut to
// nothing could neither be seen nor closed).
std::optional<QRegion> RegionFromData(QByteArrayView description);

// The description of a region, its rectangles ordered by top and then by
// left.
QByteArray RegionToData(const QRegion& region);

}  // namespace omrek
