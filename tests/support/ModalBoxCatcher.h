#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

namespace omrek::test {

struct CaughtBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
};

// Answers every message box that opens while it lives, but the question
// before a Destroy (see ClickDestroy): records what the box showed and
// presses its default button (or lets `answer` work it), so a test never
// hangs on a modal box.
class ModalBoxCatcher {
 public:
  explicit ModalBoxCatcher(std::function<void(QMessageBox&)> answer = {});

  const std::vector<CaughtBox>& Boxes() const { return boxes_; }

 private:
  void CatchOpenBox();

  std::function<void(QMessageBox&)> answer_;
  QTimer poll_;
  std::vector<CaughtBox> boxes_;
};

// Clicks the Destroy button of `main` and answers the question before the
// command with "Destroy", its check box to wipe the free space afterwards
// set as `thenWipe` says. Other boxes are left to the test. Returns how the
// box was offered; nothing when no question came.
std::optional<bool> ClickDestroy(const QWidget& main, bool thenWipe = false);

}  // namespace omrek::test
