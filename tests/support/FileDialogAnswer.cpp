#include "tests/support/FileDialogAnswer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

namespace omrek::test {

FileDialogAnswer::FileDialogAnswer(std::function<void(QFileDialog&)> answer) : answer_(std::move(answer)) {
  QObject::connect(&poll_, &QTimer::timeout, [this] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    poll_.stop();
    directory = dialog->directory().absolutePath();
    filters = dialog->nameFilters();
    answer_(*dialog);
  });
  poll_.start(10);
}

void TypeNameAndAccept(QFileDialog& dialog, const QString& name) {
  QLineEdit* box = nullptr;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        box = dialog.isActiveWindow() ? qobject_cast<QLineEdit*>(QApplication::focusWidget()) : nullptr;
        return box != nullptr;
      },
      30000));
  if (box != nullptr) box->setText(name);
  static_cast<QDialog&>(dialog).accept();
}

}  // namespace omrek::test
