#include "app/OmrekProgram.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include "app/JpegDecoder.h"
#include "disk/StoppedRuns.h"
#include "platform/TerminationSignals.h"

namespace omrek {

OmrekProgram::OmrekProgram()
    : frmSelect_([this](const std::string& path) { frmMain_.AddTarget(path); }),
      termination_(TerminationSignals::Install(), QSocketNotifier::Read) {
  frmMain_.AttachDialogs(&frmConfig_, &frmAbout_, &frmSelect_);
  // Docks and task bars match the window to its launcher by the desktop
  // entry's name (on X11 by StartupWMClass, the executable's name).
  QGuiApplication::setDesktopFileName(QStringLiteral("org.omrek.Filebane"));
  // The emblem stands for the program in the taskbar and the window list.
  const QImage emblem = DecodeJpegFile(QStringLiteral(":/about/emblem.jpg"));
  if (!emblem.isNull()) QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(emblem)));
  QObject::connect(&termination_, &QSocketNotifier::activated, [this] {
    TerminationSignals::Drain();
    frmMain_.SetCancelFlag(true);
    // Every event loop ends, a message box's too; a running command is
    // already stopping, and the program ends once it is back here.
    QCoreApplication::exit(128 + TerminationSignals::Requested());
  });
}

void OmrekProgram::Start() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect placed = frmMain_.geometry();
    placed.moveCenter(screen->availableGeometry().center());
    frmMain_.move(placed.topLeft());
  }
  frmMain_.show();
}

// Files with a filler's name that the clean-up leaves are not told here: a
// file of another user's would bring up a box at every start.
void OmrekProgram::RepairKilledRuns() { frmMain_.TellStartRepairs(RepairStoppedRuns(frmMain_)); }

}  // namespace omrek
