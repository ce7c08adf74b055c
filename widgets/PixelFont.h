#pragma once

#include <QFont>

namespace omrek {

enum FontStyle { Plain = 0, Bold = 1, Italic = 2 };

// A font sized in pixels, as Windows sizes a font by a negative height: Arial
// at height -11 is PixelFont("Arial", 11).
inline QFont PixelFont(const QString& family, int pixelHeight, int style = Plain) {
  QFont font(family);
  font.setPixelSize(pixelHeight);
  font.setBold((style & Bold) != 0);
  font.setItalic((style & Italic) != 0);
  return font;
}

// The windows name the Windows fonts. fontconfig finds Liberation Sans, with
// Arial's metrics, for "Arial" but not for "MS Sans Serif", whose wider
// stand-in would cut captions short.
inline void SubstituteWindowsFonts() { QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Arial")); }

}  // namespace omrek
