#include "widgets/ClickLabel.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/Accessibility.h"

namespace omrek {

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  InstallWidgetAccessibility();
}

void ClickLabel::keyPressEvent(QKeyEvent* event) {
  const bool press = event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (press && event->modifiers() == Qt::NoModifier) {
    emit clicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

}  // namespace omrek
