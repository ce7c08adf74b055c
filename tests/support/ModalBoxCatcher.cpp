#include "tests/support/ModalBoxCatcher.h"

#include <QApplication>

namespace omrek::test {

ModalBoxCatcher::ModalBoxCatcher() {
  QObject::connect(&poll_, &QTimer::timeout, [this] { CatchOpenBox(); });
  poll_.start(10);
}

void ModalBoxCatcher::CatchOpenBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible()) return;
  boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
  box->done(QMessageBox::Ok);
}

}  // namespace omrek::test
