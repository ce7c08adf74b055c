#include "tests/support/ModalBoxCatcher.h"

#include <QApplication>

namespace omrek::test {

ModalBoxCatcher::ModalBoxCatcher(std::function<void(QMessageBox&)> answer) : answer_(std::move(answer)) {
  QObject::connect(&poll_, &QTimer::timeout, [this] { CatchOpenBox(); });
  poll_.start(10);
}

void ModalBoxCatcher::CatchOpenBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible()) return;
  boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
  if (answer_) {
    answer_(*box);
  } else {
    box->done(QMessageBox::Ok);
  }
}

}  // namespace omrek::test
