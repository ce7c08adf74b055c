#pragma once

#include <QImage>

class QByteArray;
class QString;

namespace omrek {

// Decodes a JPEG picture with libjpeg into an RGB image. A picture that is
// missing, unreadable, damaged, truncated or too large for a dialog gives a
// null image; nothing is printed and the program goes on.
QImage DecodeJpeg(const QByteArray& bytes);
QImage DecodeJpegFile(const QString& path);

}  // namespace omrek
