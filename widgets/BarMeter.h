#pragma once

#include <QWidget>
#include <cstdint>

namespace omrek {

// A progress meter drawn as a row of small bars and no text.
class BarMeter : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kBarCount = 50;

  explicit BarMeter(QWidget* parent = nullptr);

  std::int64_t maximum() const { return maximum_; }
  std::int64_t position() const { return position_; }
  void setMaximum(std::int64_t maximum);
  void setPosition(std::int64_t position);

  // Bars lit for the current position: none for a maximum of 0 or less, all
  // once the position reaches the maximum.
  int litBars() const;

  // The share of the maximum reached, in whole percent from 0 to 100.
  int percent() const;

  QSize sizeHint() const override { return {564, 20}; }

 signals:
  // The percentage shown changed; a screen reader is told then, rather
  // than at each of the many positions that show the same.
  void percentChanged(int percent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void TellIfPercentChanged(int before);

  std::int64_t maximum_ = 100;
  std::int64_t position_ = 0;
};

}  // namespace omrek
