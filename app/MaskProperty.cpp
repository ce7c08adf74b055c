#include "app/MaskProperty.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "app/RegionData.h"

namespace omrek {

namespace {

// The description is read in pieces, so a length that promises far more
// than the stream holds costs no more memory than the stream itself.
constexpr qint64 kPiece = 64 * 1024;

void Write(QIODevice& stream, const QByteArray& bytes) {
  if (stream.write(bytes) != bytes.size()) {
    throw std::runtime_error("Cannot write the window outline: " + stream.errorString().toStdString());
  }
}

}  // namespace

void ReadMask(QIODevice& stream, TRegionType& mask) {
  mask.Region.reset();
  const QByteArray lengthBytes = stream.read(4);
  if (lengthBytes.size() != 4) return;
  const qint64 length = qFromLittleEndian<std::uint32_t>(lengthBytes.constData());
  QByteArray description;
  while (description.size() < length) {
    const QByteArray piece = stream.read(std::min(kPiece, length - description.size()));
    if (piece.isEmpty()) return;
    description += piece;
  }
  if (length != 0) mask.Region = RegionFromData(description);
}

void WriteMask(QIODevice& stream, const TRegionType& mask) {
  const QByteArray description = mask.Region ? RegionToData(*mask.Region) : QByteArray();
  char length[4];
  qToLittleEndian(static_cast<std::uint32_t>(description.size()), length);
  Write(stream, QByteArray(length, sizeof length));
  Write(stream, description);
}

}  // namespace omrek
