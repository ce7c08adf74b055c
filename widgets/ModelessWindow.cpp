#include "widgets/ModelessWindow.h"

namespace omrek {

namespace {
// A classic sizeable Windows frame: 4 pixels each side, a 19-pixel caption.
constexpr int kFrameBorder = 4;
constexpr int kCaptionHeight = 19;
}  // namespace

ModelessWindow::ModelessWindow(const QString& caption, QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(caption);
}

void ModelessWindow::ShowModeless() {
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void ModelessWindow::PlaceByOuterGeometry(int left, int top, int outerWidth, int outerHeight) {
  resize(outerWidth - 2 * kFrameBorder, outerHeight - 2 * kFrameBorder - kCaptionHeight);
  move(left, top);
}

}  // namespace omrek
