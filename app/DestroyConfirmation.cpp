#include "app/DestroyConfirmation.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include "app/SpaceConfirmation.h"

namespace omrek {

std::optional<bool> ConfirmDestroy(QWidget* parent, const DestroyQuestion& question, bool wipeTicked) {
  const QString files = question.files == 1 ? QStringLiteral("the listed file")
                                            : QStringLiteral("the %1 listed files").arg(question.files);
  QMessageBox box(QMessageBox::Warning, kDestroyConfirmationTitle,
                  // What the wipe does is said as Wipe Space says it: the
                  // drives full for a while, the slack sweep when it is on,
                  // each drive with its forecast and warnings.
                  QStringLiteral("Destroy %1? Each is overwritten, cut to nothing and deleted; this cannot be "
                                 "undone.\n\nEarlier versions that programs saved, and copies the file system "
                                 "kept, stay in the free space of their drives. Ticked below, afterwards: %2")
                      .arg(files, SpaceConfirmationText(question.space)),
                  QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("DestroyQuestion"));
  QPushButton* destroy = box.addButton(QStringLiteral("&Destroy"), QMessageBox::AcceptRole);
  QPushButton* cancel = box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(cancel);
  box.setEscapeButton(cancel);
  auto* wipe = new QCheckBox(QStringLiteral("&Then wipe the free space of these drives"));
  wipe->setObjectName(QStringLiteral("chkThenWipeSpace"));
  wipe->setChecked(wipeTicked);
  box.setCheckBox(wipe);
  box.exec();
  if (box.clickedButton() != destroy) return std::nullopt;
  return wipe->isChecked();
}

}  // namespace omrek
