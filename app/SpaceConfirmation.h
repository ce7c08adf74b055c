#pragma once

#include <QString>
#include <string>
#include <vector>

#include "disk/SpaceWipeForecast.h"

class QWidget;

namespace omrek {

// The question's title.
inline const QString kSpaceConfirmationTitle = QStringLiteral("Wipe Space");

// The question's text: each drive with its free space and the time the
// filling may take, the warning under a drive the system runs from or that
// holds the settings, and what the slack sweep does when it is on.
QString SpaceConfirmationText(const SpaceWipeQuestion& question);

// Asks before a free-space wipe fills the drives, which leaves every other
// program writing there failing until it ends. True for "Wipe" (Alt+W, and
// Enter where no listed drive matters to the system); false for "Cancel"
// (Esc), which changes nothing. The drive lines scroll where the screen is
// too low for all of them.
bool ConfirmSpaceWipe(QWidget* parent, const SpaceWipeQuestion& question);

// Says that no drive is selected, where the question would have been.
void TellNoDriveSelected(QWidget* parent);

}  // namespace omrek
