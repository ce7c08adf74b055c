#include "widgets/ModelessWindow.h"

#include <QKeyEvent>
#include <QScreen>
#include <algorithm>

namespace omrek {

namespace {
// A classic sizeable Windows frame: 4 pixels each side, a 19-pixel caption.
constexpr int kFrameBorder = 4;
constexpr int kCaptionHeight = 19;
}  // namespace

ModelessWindow::ModelessWindow(const QString& caption, QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(caption);
}

void ModelessWindow::ShowModeless(const QWidget* owner) {
  if (owner != nullptr) KeepOnScreenOf(*owner);
  show();
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
}

void ModelessWindow::PlaceByOuterGeometry(int left, int top, int outerWidth, int outerHeight) {
  resize(outerWidth - 2 * kFrameBorder, outerHeight - 2 * kFrameBorder - kCaptionHeight);
  move(left, top);
}

void ModelessWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ModelessWindow::KeepOnScreenOf(const QWidget& owner) {
  const QScreen* screen = owner.screen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  // Before the first show the frame is not known yet; a classic one is
  // assumed.
  QRect outer = frameGeometry();
  if (outer == geometry()) outer.adjust(-kFrameBorder, -kFrameBorder - kCaptionHeight, kFrameBorder, kFrameBorder);
  if (area.contains(outer)) return;

  // Beside the owner's centre, then pushed in from every edge it crosses;
  // a window larger than the screen gives up the excess.
  const QSize fitting = outer.size().boundedTo(area.size());
  if (fitting != outer.size()) resize(size() - (outer.size() - fitting));
  outer.setSize(fitting);
  outer.moveCenter(owner.frameGeometry().center());
  outer.moveLeft(std::clamp(outer.left(), area.left(), area.right() - outer.width() + 1));
  outer.moveTop(std::clamp(outer.top(), area.top(), area.bottom() - outer.height() + 1));
  move(outer.topLeft());
}

}  // namespace omrek
