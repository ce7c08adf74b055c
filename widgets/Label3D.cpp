#include "widgets/Label3D.h"

#include <QPainter>

namespace omrek {

Label3D::Label3D(const QString& text, Effect effect, QWidget* parent) : QLabel(text, parent), effect_(effect) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void Label3D::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  const QRect area = contentsRect();
  const int lightOffset = effect_ == Effect::Raised ? -1 : 1;
  painter.setPen(palette().color(QPalette::Light));
  painter.drawText(area.translated(lightOffset, lightOffset), static_cast<int>(alignment()), text());
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawText(area.translated(-lightOffset, -lightOffset), static_cast<int>(alignment()), text());
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(area, static_cast<int>(alignment()), text());
}

}  // namespace omrek
