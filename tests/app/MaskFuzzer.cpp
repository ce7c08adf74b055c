// Feeds arbitrary bytes to the reader of the stored window outline. Whatever
// the bytes, the reader must neither crash nor read past the length the
// value gives, and any outline it accepts must have an area and come back
// unchanged through a write and a second read.

#include <QBuffer>
#include <QtEndian>
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "app/MaskProperty.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

void Append(QByteArray& out, std::uint32_t value) {
  char bytes[4];
  qToLittleEndian(value, bytes);
  out.append(bytes, sizeof bytes);
}

void Check(const QByteArray& value) {
  QBuffer stored;
  stored.setData(value);
  stored.open(QIODevice::ReadOnly);
  omrek::TRegionType mask;
  omrek::ReadMask(stored, mask);
  if (value.size() >= 4) {
    const std::uint64_t length = qFromLittleEndian<std::uint32_t>(value.constData());
    Require(std::uint64_t(stored.pos()) == std::min<std::uint64_t>(value.size(), 4 + length));
  }
  if (!mask.Region) return;
  Require(!mask.Region->isEmpty());

  QBuffer written;
  written.open(QIODevice::WriteOnly);
  omrek::WriteMask(written, mask);
  written.close();
  written.open(QIODevice::ReadOnly);
  omrek::TRegionType again;
  omrek::ReadMask(written, again);
  Require(again.Region && *again.Region == *mask.Region);
}

// The bytes as the bounding rectangle and rectangles under a consistent
// header, so that the rectangle checks and the region code are reached
// without first guessing a header.
QByteArray Framed(const char* data, std::size_t size) {
  const auto count = static_cast<std::uint32_t>(size < 16 ? 0 : (size - 16) / 16);
  QByteArray description;
  Append(description, 32);
  Append(description, 1);
  Append(description, count);
  Append(description, count * 16);
  description.append(data, std::min<qsizetype>(size, 16 + qsizetype{count} * 16));
  QByteArray value;
  Append(value, static_cast<std::uint32_t>(description.size()));
  return value + description;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const char*>(data);
  Check(QByteArray(bytes, static_cast<qsizetype>(size)));
  Check(Framed(bytes, size));
  return 0;
}
