#include "app/MainSkin.h"

#include <QFile>

#include "app/CoolForm.h"

namespace omrek {

TCoolForm* AddMainSkin(QWidget* form) {
  auto* skin = new TCoolForm(form);
  skin->setObjectName(QStringLiteral("CoolForm1"));
  skin->lower();
  // The picture comes before the outline, so the form is never cut to a
  // shape with nothing painted in it.
  skin->SetPicture(QPixmap(QStringLiteral(":/skin/Skin.bmp")));
  QFile outline(QStringLiteral(":/skin/Mask2.bin"));
  if (outline.open(QIODevice::ReadOnly)) skin->ReadMask(outline);
  return skin;
}

}  // namespace omrek
