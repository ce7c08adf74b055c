#include "widgets/ClickLabel.h"

#include <QMouseEvent>

namespace omrek {

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setCursor(Qt::PointingHandCursor);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

}  // namespace omrek
