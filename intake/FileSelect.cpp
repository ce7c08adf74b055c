#include "intake/FileSelect.h"

#include "widgets/PixelFont.h"

namespace omrek {

TfrmSelect::TfrmSelect(QWidget* parent) : ModelessWindow(QStringLiteral("Select Files to Destroy"), parent) {
  setObjectName(QStringLiteral("TfrmSelect"));
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  PlaceByOuterGeometry(370, 350, 612, 468);
}

}  // namespace omrek
