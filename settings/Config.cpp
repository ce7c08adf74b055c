#include "settings/Config.h"

#include <QFrame>

#include "disk/DiskList.h"
#include "widgets/PixelFont.h"

namespace omrek {

TfrmConfig::TfrmConfig(QWidget* parent) : ModelessWindow(QStringLiteral("Configuration"), parent) {
  setObjectName(QStringLiteral("TfrmConfig"));
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  PlaceByOuterGeometry(516, 242, 417, 593);

  BackPanel2 = new QFrame(this);
  BackPanel2->setObjectName(QStringLiteral("BackPanel2"));
  BackPanel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  BackPanel2->setGeometry(8, 280, 393, 249);

  lstDisk = new TDiskListView(BackPanel2);
  lstDisk->setObjectName(QStringLiteral("lstDisk"));
  lstDisk->setGeometry(8, 8, 137, 233);
}

}  // namespace omrek
