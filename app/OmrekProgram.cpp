#include "app/OmrekProgram.h"

#include <QGuiApplication>
#include <QScreen>

namespace omrek {

OmrekProgram::OmrekProgram() : frmSelect_([this](const std::string& path) { frmMain_.AddTarget(path); }) {
  frmMain_.AttachDialogs(&frmConfig_, &frmAbout_, &frmSelect_);
}

void OmrekProgram::Start() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect placed = frmMain_.geometry();
    placed.moveCenter(screen->availableGeometry().center());
    frmMain_.move(placed.topLeft());
  }
  frmMain_.show();
}

}  // namespace omrek
