#pragma once

#include <QString>
#include <optional>

#include "app/command/CommandFrontEnd.h"

class QWidget;

namespace omrek {

// The question's title.
inline const QString kDestroyConfirmationTitle = QStringLiteral("Destroy");

// Asks before a Destroy, which cannot be undone. Nothing for "Cancel",
// which is the default (a stray Return or a click too many destroys
// nothing), and for Esc; for "Destroy" (Alt+D), whether the check box under
// the drives' lines asks to wipe their free space afterwards. It is ticked
// as `wipeTicked` says.
std::optional<bool> ConfirmDestroy(QWidget* parent, const DestroyQuestion& question, bool wipeTicked);

}  // namespace omrek
