#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <algorithm>

namespace omrek {

SpinEdit::SpinEdit(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum) {
  setValue(minimum);
}

int SpinEdit::value() const {
  bool isNumber = false;
  const int typed = text().toInt(&isNumber);
  return isNumber ? typed : minimum_;
}

void SpinEdit::setValue(int value) { lineEdit()->setText(QString::number(std::clamp(value, minimum_, maximum_))); }

void SpinEdit::stepBy(int steps) {
  // Widened, so a typed number near the integer limits cannot overflow.
  const long long stepped = static_cast<long long>(value()) + steps;
  setValue(static_cast<int>(std::clamp<long long>(stepped, minimum_, maximum_)));
  selectAll();
}

QValidator::State SpinEdit::validate(QString& input, int&) const {
  const bool digitsAndSigns = std::all_of(input.cbegin(), input.cend(), [](QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') || c == QLatin1Char('-');
  });
  return digitsAndSigns ? QValidator::Acceptable : QValidator::Invalid;
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
  if (isReadOnly()) return StepNone;
  return StepUpEnabled | StepDownEnabled;
}

void SpinEdit::focusOutEvent(QFocusEvent* event) {
  QAbstractSpinBox::focusOutEvent(event);
  bool isNumber = false;
  const int typed = text().toInt(&isNumber);
  if (!isNumber || typed != std::clamp(typed, minimum_, maximum_)) setValue(value());
}

}  // namespace omrek
