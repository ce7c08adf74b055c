#include "app/About.h"

#include "widgets/PixelFont.h"

namespace omrek {

TfrmAbout::TfrmAbout(QWidget* parent) : ModelessWindow(QStringLiteral("About / Help"), parent) {
  setObjectName(QStringLiteral("TfrmAbout"));
  setFont(PixelFont(QStringLiteral("Arial"), 11));
  PlaceByOuterGeometry(519, 357, 608, 407);
}

}  // namespace omrek
