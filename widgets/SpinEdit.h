#pragma once

#include <QAbstractSpinBox>

namespace omrek {

// A whole-number edit with arrow buttons, holding a number from minimum to
// maximum. A value set by the program is pulled into that range at once; a
// typed one only when the edit loses the focus, and until then value() is
// the number as typed, even outside the range. Typing accepts digits and
// signs only; text that is no number reads as the minimum and is replaced
// by it on leaving. The arrows and the Up and Down keys step by 1, Page Up
// and Page Down by 10.
class SpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  SpinEdit(int minimum, int maximum, QWidget* parent = nullptr);

  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }

  int value() const;
  void setValue(int value);

  void stepBy(int steps) override;

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  StepEnabled stepEnabled() const override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int minimum_;
  int maximum_;
};

}  // namespace omrek
