#include "widgets/FlatButton.h"

#include <QPainter>

namespace omrek {

FlatButton::Colours FlatButton::DialogColours(const QWidget& window, const QColor& hover, const QColor& pressed) {
  Colours colours;
  colours.face = window.palette().color(QPalette::Button);
  colours.hover = hover;
  colours.pressed = pressed;
  colours.border = QColor(153, 143, 130);
  colours.text = Qt::black;
  return colours;
}

FlatButton::FlatButton(const QStringList& captionLines, QWidget* parent) : QAbstractButton(parent) {
  setCaptionLines(captionLines);
  // Like a speed button it never takes the focus, so clicking it leaves the
  // keyboard with the list the user was working in.
  setFocusPolicy(Qt::NoFocus);
}

void FlatButton::setCaptionLines(const QStringList& lines) { setText(lines.join(QLatin1Char('\n'))); }

void FlatButton::setColours(const Colours& colours) {
  colours_ = colours;
  update();
}

QColor FlatButton::currentFace() const {
  if (isDown()) return colours_.pressed;
  if (hovered_) return colours_.hover;
  return colours_.face;
}

QSize FlatButton::sizeHint() const {
  const QSize textSize = fontMetrics().size(0, text());
  return textSize + QSize(16, 8);
}

void FlatButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), currentFace());
  painter.setPen(colours_.border);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  painter.setPen(isEnabled() ? colours_.text : palette().color(QPalette::Disabled, QPalette::WindowText));
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter, text());
}

void FlatButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void FlatButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

}  // namespace omrek
