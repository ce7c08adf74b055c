#pragma once

#include <QLabel>

namespace omrek {

// A transparent label that works as a button: a left click on it, or Space
// or Enter once Tab has reached it, emits clicked().
class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace omrek
