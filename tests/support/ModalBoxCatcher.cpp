#include "tests/support/ModalBoxCatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>

#include "tests/support/Child.h"

namespace omrek::test {

ModalBoxCatcher::ModalBoxCatcher(std::function<void(QMessageBox&)> answer) : answer_(std::move(answer)) {
  QObject::connect(&poll_, &QTimer::timeout, [this] { CatchOpenBox(); });
  poll_.start(10);
}

void ModalBoxCatcher::CatchOpenBox() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr || !box->isVisible() || box->objectName() == "DestroyQuestion") return;
  boxes_.push_back({box->windowTitle(), box->text(), box->icon()});
  if (answer_) {
    answer_(*box);
  } else {
    box->done(QMessageBox::Ok);
  }
}

std::optional<bool> ClickDestroy(const QWidget& main, bool thenWipe) {
  QTimer answer;
  std::optional<bool> offered;
  QObject::connect(&answer, &QTimer::timeout, [thenWipe, &offered] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box->objectName() != "DestroyQuestion") return;
    offered = box->checkBox()->isChecked();
    box->checkBox()->setChecked(thenWipe);
    for (QAbstractButton* button : box->buttons()) {
      if (button->text() == "&Destroy") button->click();
    }
  });
  answer.start(10);
  Click(main, "btnDestroy");
  return offered;
}

}  // namespace omrek::test
