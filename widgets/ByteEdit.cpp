#include "widgets/ByteEdit.h"

namespace omrek {

ByteEdit::ByteEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(2);
  // textEdited comes from the user's edits only, never from setText.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& edited) {
    const QString upper = edited.toUpper();
    if (upper == edited) return;
    const int cursor = cursorPosition();
    setText(upper);
    setCursorPosition(cursor);
  });
}

}  // namespace omrek
