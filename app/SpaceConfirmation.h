#pragma once

#include <QString>
#include <vector>

#include "disk/SpaceWipeForecast.h"

class QWidget;

namespace omrek {

// The question's title.
inline const QString kSpaceConfirmationTitle = QStringLiteral("Wipe Space");

// The question's text: each drive with its free space and the time the
// filling may take, and the warning under a drive the system runs from.
QString SpaceConfirmationText(const std::vector<DriveForecast>& drives);

// Asks before a free-space wipe fills the drives, which leaves every other
// program writing there failing until it ends. True for "Wipe" (Enter);
// false for "Cancel" (Esc), which changes nothing.
bool ConfirmSpaceWipe(QWidget* parent, const std::vector<DriveForecast>& drives);

// Says that no drive is selected, where the question would have been.
void TellNoDriveSelected(QWidget* parent);

}  // namespace omrek
