#pragma once

#include <QString>
#include <exception>

namespace omrek {

// The program's title, shown on its taskbar button and on every error box.
inline const QString kProgramTitle = QStringLiteral("Omrek, Filebane");

// The box's text for an error message: a full stop is added when the last
// character sorts after '.', so "File access denied" ends with one but
// "Stop!" and "(C:)" do not.
QString ErrorBoxText(const QString& message);

// Shows the error box: the program's title, a stop icon, the text, OK.
void ShowErrorBox(const QString& message);

// Runs an event handler; an error that escapes it is shown in the error box
// and the program goes on.
template <typename Handler>
void RunGuarded(Handler&& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    ShowErrorBox(QString::fromUtf8(error.what()));
  }
}

}  // namespace omrek
