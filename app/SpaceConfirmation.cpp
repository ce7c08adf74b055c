#include "app/SpaceConfirmation.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <algorithm>

namespace omrek {

QString SpaceConfirmationText(const std::vector<DriveForecast>& drives) {
  QString text = QStringLiteral(
      "Wipe Space fills the free space of these drives with filler files until each is full, then deletes "
      "them:\n");
  for (const DriveForecast& drive : drives) {
    text += QStringLiteral("\n") + QString::fromStdString(ForecastLine(drive));
    if (drive.holdsSystem) text += QStringLiteral("\n    ") + QString::fromLatin1(kSystemDriveWarning);
  }
  return text;
}

bool ConfirmSpaceWipe(QWidget* parent, const std::vector<DriveForecast>& drives) {
  const bool system = std::any_of(drives.begin(), drives.end(), [](const DriveForecast& d) { return d.holdsSystem; });
  QMessageBox box(system ? QMessageBox::Warning : QMessageBox::Question, kSpaceConfirmationTitle,
                  SpaceConfirmationText(drives), QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("Wipe"));
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

void TellNoDriveSelected(QWidget* parent) {
  QMessageBox box(QMessageBox::Information, kSpaceConfirmationTitle,
                  QStringLiteral("No drive is selected: choose the drives to wipe in Config."), QMessageBox::Ok,
                  parent);
  box.exec();
}

}  // namespace omrek
