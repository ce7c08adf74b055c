#include "app/SpaceConfirmation.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <algorithm>
#include <filesystem>

#include "platform/Volume.h"

namespace omrek {

namespace {

// The root of the drive the settings file lies on, or will lie on once
// first saved: the nearest folder of its path that exists counts.
std::string SettingsDriveRoot(const std::string& settingsFile) {
  if (settingsFile.empty()) return {};
  std::filesystem::path place(settingsFile);
  std::error_code error;
  while (!std::filesystem::exists(place, error) && place.has_parent_path() && place.parent_path() != place) {
    place = place.parent_path();
  }
  const std::optional<Volume> volume = VolumeHoldingPath(place.string());
  return volume ? volume->RootDirectory : std::string();
}

}  // namespace

QString SpaceConfirmationText(const SpaceWipeQuestion& question) {
  QString text = QStringLiteral(
      "Wipe Space fills the free space of these drives with filler files until each is full, then deletes them");
  if (question.sweepsSlack) {
    text += QStringLiteral(", and lengthens then restores every file on them to wipe the slack at its end");
  }
  text += QStringLiteral(":\n");
  const std::string settingsRoot = SettingsDriveRoot(question.settingsFile);
  for (const DriveForecast& drive : question.drives) {
    text += QStringLiteral("\n") + QString::fromStdString(ForecastLine(drive));
    if (drive.holdsSystem) text += QStringLiteral("\n    ") + QString::fromLatin1(kSystemDriveWarning);
    if (!settingsRoot.empty() && drive.root == settingsRoot) {
      text += QStringLiteral("\n    ") + QString::fromLatin1(kSettingsDriveWarning);
    }
  }
  return text;
}

bool CancelByDefault(const SpaceWipeQuestion& question) {
  const std::string settingsRoot = SettingsDriveRoot(question.settingsFile);
  return std::any_of(question.drives.begin(), question.drives.end(), [&](const DriveForecast& drive) {
    return drive.holdsSystem || (!settingsRoot.empty() && drive.root == settingsRoot);
  });
}

bool ConfirmSpaceWipe(QWidget* parent, const SpaceWipeQuestion& question) {
  const bool careful = CancelByDefault(question);
  QMessageBox box(careful ? QMessageBox::Warning : QMessageBox::Question, kSpaceConfirmationTitle,
                  SpaceConfirmationText(question), QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.button(QMessageBox::Ok)->setText(QStringLiteral("&Wipe"));
  box.setDefaultButton(careful ? QMessageBox::Cancel : QMessageBox::Ok);
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
