#pragma once

#include <QColor>
#include <QLabel>

#include "widgets/Label3D.h"

namespace omrek {

// A label filled with a left-to-right colour gradient, its text standing out
// from it (raised) or pressed into it (sunken).
class GradientLabel : public QLabel {
  Q_OBJECT

 public:
  using Effect = Label3D::Effect;

  struct Colours {
    QColor begin = Qt::black;
    QColor end = QColor(128, 0, 0);
    QColor text = Qt::white;
    QColor highlight = QColor(192, 192, 192);
    QColor shadow = Qt::black;
  };

  GradientLabel(const QString& text, Effect effect, QWidget* parent = nullptr);

  Effect effect() const { return effect_; }

  const Colours& colours() const { return colours_; }
  void setColours(const Colours& colours);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Effect effect_;
  Colours colours_;
};

}  // namespace omrek
