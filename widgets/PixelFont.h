#pragma once

#include <QFont>
#include <QFontDatabase>

namespace omrek {

enum FontStyle { Plain = 0, Bold = 1, Italic = 2 };

// The windows name the Windows fonts. fontconfig finds Liberation Sans, with
// Arial's metrics, for "Arial"; for "MS Sans Serif" it would take a wider
// face that cuts captions short, so Arial stands in where it is missing.
inline QString InstalledFamily(const QString& family) {
  const QString msSansSerif = QStringLiteral("MS Sans Serif");
  return family == msSansSerif && !QFontDatabase::hasFamily(msSansSerif) ? QStringLiteral("Arial") : family;
}

// A font sized in pixels, as Windows sizes a font by a negative height: Arial
// at height -11 is PixelFont("Arial", 11).
inline QFont PixelFont(const QString& family, int pixelHeight, int style = Plain) {
  QFont font(InstalledFamily(family));
  font.setPixelSize(pixelHeight);
  font.setBold((style & Bold) != 0);
  font.setItalic((style & Italic) != 0);
  return font;
}

}  // namespace omrek
