#pragma once

#include <QLabel>

namespace omrek {

// A transparent label that works as a button: a left click on it emits
// clicked().
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace omrek
