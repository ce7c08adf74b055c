#include "app/RegionData.h"

#include <QRect>
#include <QtEndian>
#include <cstdint>
#include <limits>

namespace omrek {

namespace {

constexpr std::uint32_t kHeaderSize = 32;
constexpr std::uint32_t kRectangleKind = 1;
constexpr std::uint32_t kRectangleSize = 16;

// Window shapes carry 16-bit coordinates; anything beyond would be cut to
// another place on the screen.
constexpr std::int32_t kLowest = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kHighest = std::numeric_limits<std::int16_t>::max();

struct Edges {
  std::int32_t left, top, right, bottom;

  bool Usable() const {
    return kLowest <= left && left < right && right <= kHighest && kLowest <= top && top < bottom && bottom <= kHighest;
  }
  bool Inside(const Edges& outer) const {
    return outer.left <= left && right <= outer.right && outer.top <= top && bottom <= outer.bottom;
  }
  QRect Rect() const { return QRect(left, top, right - left, bottom - top); }
};

std::uint32_t Unsigned(const char* at) { return qFromLittleEndian<std::uint32_t>(at); }

Edges EdgesAt(const char* at) {
  return {qFromLittleEndian<std::int32_t>(at), qFromLittleEndian<std::int32_t>(at + 4),
          qFromLittleEndian<std::int32_t>(at + 8), qFromLittleEndian<std::int32_t>(at + 12)};
}

void Append(QByteArray& out, std::uint32_t value) {
  char bytes[4];
  qToLittleEndian(value, bytes);
  out.append(bytes, sizeof bytes);
}

void Append(QByteArray& out, const QRect& rect) {
  for (int edge : {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()}) {
    Append(out, static_cast<std::uint32_t>(edge));
  }
}

}  // namespace

std::optional<QRegion> RegionFromData(QByteArrayView description) {
  if (description.size() < qsizetype{kHeaderSize}) return std::nullopt;
  const char* data = description.data();
  const std::uint32_t count = Unsigned(data + 8);
  const std::uint32_t arraySize = Unsigned(data + 12);
  // The count is checked against the bytes actually there, in 64 bits, so a
  // count near 2^32 can neither wrap around nor send the reading past them.
  const std::uint64_t expected = kHeaderSize + std::uint64_t{count} * kRectangleSize;
  if (Unsigned(data) != kHeaderSize || Unsigned(data + 4) != kRectangleKind || count == 0 ||
      expected != std::uint64_t(description.size()) || (arraySize != 0 && arraySize != count * kRectangleSize)) {
    return std::nullopt;
  }
  const Edges bound = EdgesAt(data + 16);
  QRegion region;
  for (std::uint32_t i = 0; i < count; ++i) {
    const Edges edges = EdgesAt(data + kHeaderSize + i * kRectangleSize);
    if (!edges.Usable() || !edges.Inside(bound)) return std::nullopt;
    region += edges.Rect();
  }
  return region;
}

QByteArray RegionToData(const QRegion& region) {
  QByteArray out;
  const auto count = static_cast<std::uint32_t>(region.rectCount());
  Append(out, kHeaderSize);
  Append(out, kRectangleKind);
  Append(out, count);
  Append(out, count * kRectangleSize);
  Append(out, region.boundingRect());
  for (const QRect& rect : region) Append(out, rect);
  return out;
}

}  // namespace omrek
