#include "widgets/GradientLabel.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace omrek {

GradientLabel::GradientLabel(const QString& text, Effect effect, QWidget* parent)
    : QLabel(text, parent), effect_(effect) {}

void GradientLabel::setColours(const Colours& colours) {
  colours_ = colours;
  update();
}

void GradientLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient gradient(rect().topLeft(), rect().topRight());
  gradient.setColorAt(0, colours_.begin);
  gradient.setColorAt(1, colours_.end);
  painter.fillRect(rect(), gradient);

  // Large text needs a deeper edge for the effect to show.
  const int depth = std::max(1, font().pixelSize() / 16);
  const int lightOffset = effect_ == Effect::Raised ? -depth : depth;
  const QRect area = contentsRect();
  const int flags = static_cast<int>(alignment());
  painter.setFont(font());
  painter.setPen(colours_.highlight);
  painter.drawText(area.translated(lightOffset, lightOffset), flags, text());
  painter.setPen(colours_.shadow);
  painter.drawText(area.translated(-lightOffset, -lightOffset), flags, text());
  painter.setPen(colours_.text);
  painter.drawText(area, flags, text());
}

}  // namespace omrek
