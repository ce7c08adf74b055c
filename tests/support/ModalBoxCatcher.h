#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <vector>

namespace omrek::test {

struct CaughtBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
};

// Answers every message box that opens while it lives: records what the box
// showed and presses its default button, so a test never hangs on a modal
// box.
class ModalBoxCatcher {
 public:
  ModalBoxCatcher();

  const std::vector<CaughtBox>& Boxes() const { return boxes_; }

 private:
  void CatchOpenBox();

  QTimer poll_;
  std::vector<CaughtBox> boxes_;
};

}  // namespace omrek::test
