#include "widgets/FlatButton.h"

#include <QKeyEvent>
#include <QPainter>

namespace omrek {

FlatButton::Colours FlatButton::DialogColours(const QWidget& window, const QColor& hover, const QColor& pressed) {
  Colours colours;
  colours.face = window.palette().color(QPalette::Button);
  colours.hover = hover;
  colours.pressed = pressed;
  colours.border = QColor(153, 143, 130);
  // The face is the desktop's, so the text must be too: a dark palette
  // would leave black text on a dark face.
  colours.text = window.palette().color(QPalette::ButtonText);
  return colours;
}

FlatButton::FlatButton(const QStringList& captionLines, QWidget* parent) : QAbstractButton(parent) {
  setCaptionLines(captionLines);
  // Tab reaches it, a click does not take the focus: clicking it leaves the
  // keyboard with the list the user was working in.
  setFocusPolicy(Qt::TabFocus);
}

void FlatButton::setCaptionLines(const QStringList& lines) {
  setText(lines.join(QLatin1Char('\n')));
  // Read aloud as one phrase: "Destroy Listed Files", not its padded lines.
  QStringList words;
  for (const QString& line : lines) words << line.simplified();
  setAccessibleName(words.join(QLatin1Char(' ')).simplified());
}

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
  if (hasFocus()) {
    painter.setPen(QPen(colours_.text, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(2, 2, -3, -3));
  }
}

void FlatButton::keyPressEvent(QKeyEvent* event) {
  // Space presses it as any button; Enter too, as on the desktop's dialogs.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void FlatButton::hideEvent(QHideEvent* event) {
  // The mouse leaves a hidden window without a leave event; shown again, the
  // button would still look hovered.
  hovered_ = false;
  QAbstractButton::hideEvent(event);
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
