#include "settings/Config.h"

#include "widgets/PixelFont.h"

namespace omrek {

TfrmConfig::TfrmConfig(QWidget* parent) : ModelessWindow(QStringLiteral("Configuration"), parent) {
  setObjectName(QStringLiteral("TfrmConfig"));
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  PlaceByOuterGeometry(516, 242, 417, 593);
}

}  // namespace omrek
