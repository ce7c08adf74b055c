#include "widgets/BarMeter.h"

#include <QAccessible>
#include <QPainter>
#include <algorithm>

#include "widgets/Accessibility.h"

namespace omrek {

namespace {
constexpr int kGap = 2;
const QColor kLitColour(0, 0, 128);
}  // namespace

BarMeter::BarMeter(QWidget* parent) : QWidget(parent) {
  InstallWidgetAccessibility();
  // A screen reader follows the progress as it would a progress bar's.
  connect(this, &BarMeter::percentChanged, this, [this] {
    if (!QAccessible::isActive()) return;
    QAccessibleValueChangeEvent changed(this, QVariant::fromValue(position_));
    QAccessible::updateAccessibility(&changed);
  });
}

void BarMeter::setMaximum(std::int64_t maximum) {
  if (maximum == maximum_) return;
  const int before = percent();
  maximum_ = maximum;
  update();
  TellIfPercentChanged(before);
}

void BarMeter::setPosition(std::int64_t position) {
  if (position == position_) return;
  const int before = percent();
  position_ = position;
  update();
  TellIfPercentChanged(before);
}

int BarMeter::percent() const {
  if (maximum_ <= 0) return 0;
  const double done = static_cast<double>(std::clamp(position_, std::int64_t{0}, maximum_));
  return static_cast<int>(done * 100 / static_cast<double>(maximum_));
}

void BarMeter::TellIfPercentChanged(int before) {
  if (percent() != before) emit percentChanged(percent());
}

int BarMeter::litBars() const {
  if (maximum_ <= 0 || position_ <= 0) return 0;
  const std::int64_t done = std::min(position_, maximum_);
  // Scaled in floating point: position × 50 overflows nothing this way, even
  // for the sector counts of very large files.
  return static_cast<int>(static_cast<double>(done) * kBarCount / static_cast<double>(maximum_));
}

void BarMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int lit = litBars();
  const double pitch = static_cast<double>(width() - kGap) / kBarCount;
  for (int bar = 0; bar < lit; ++bar) {
    const int left = kGap + static_cast<int>(bar * pitch);
    const int right = kGap + static_cast<int>((bar + 1) * pitch) - kGap;
    painter.fillRect(QRect(QPoint(left, kGap), QPoint(right - 1, height() - kGap - 1)), kLitColour);
  }
}

}  // namespace omrek
