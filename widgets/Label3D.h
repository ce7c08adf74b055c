#pragma once

#include <QLabel>

namespace omrek {

// A label whose text stands out (raised) or is pressed in (sunken): the text
// is drawn over a light and a dark copy offset by one pixel.
class Label3D : public QLabel {
  Q_OBJECT

 public:
  enum class Effect { Raised, Sunken };

  Label3D(const QString& text, Effect effect, QWidget* parent = nullptr);

  Effect effect() const { return effect_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Effect effect_;
};

}  // namespace omrek
