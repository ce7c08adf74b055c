#pragma once

#include <QLineEdit>

namespace omrek {

// An edit for a byte as two hexadecimal characters. It holds at most two
// characters; what the user types or pastes comes out in upper case, while
// text set by the program is only cut to two and keeps its case. It does
// not check the digits: whoever reads the text interprets it.
class ByteEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit ByteEdit(QWidget* parent = nullptr);
};

}  // namespace omrek
