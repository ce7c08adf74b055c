#include "widgets/FileNameEdit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/support/TempDir.h"

namespace omrek {
namespace {

// Waits for the file dialog to open, lets `answer` work it, and records
// what it showed.
class FileDialogAnswer {
 public:
  explicit FileDialogAnswer(std::function<void(QFileDialog&)> answer) : answer_(std::move(answer)) {
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

  QString directory;
  QStringList filters;

 private:
  std::function<void(QFileDialog&)> answer_;
  QTimer poll_;
};

TEST(FileNameEdit, TheFolderButtonPicksAFileInTheFolderOfTheText) {
  test::TempDir folder;
  const QString first = QString::fromStdString(test::WriteFile(folder.File("first.wav"), "RIFF"));
  const QString second = QString::fromStdString(test::WriteFile(folder.File("second.wav"), "RIFF"));
  FileNameEdit edit("*.wav");
  edit.setText(first);

  FileDialogAnswer choose([&](QFileDialog& dialog) {
    // The user types the name into the file name box, which has the focus
    // once the dialog is active. selectFile() is no stand-in for that: it
    // leaves the box alone while the box has the focus, so it chose the file
    // only when this poll happened to come before the activation.
    QLineEdit* name = nullptr;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          name = dialog.isActiveWindow() ? qobject_cast<QLineEdit*>(QApplication::focusWidget()) : nullptr;
          return name != nullptr;
        },
        30000));
    if (name != nullptr) name->setText("second.wav");
    EXPECT_EQ(dialog.selectedFiles(), QStringList{second});
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  edit.browseAction()->trigger();
  EXPECT_EQ(choose.directory, QString::fromStdString(folder.Path()));
  ASSERT_FALSE(choose.filters.isEmpty());
  EXPECT_EQ(choose.filters.first(), "*.wav");
  EXPECT_EQ(edit.text(), second);

  FileDialogAnswer cancel([](QFileDialog& dialog) { dialog.reject(); });
  edit.browseAction()->trigger();
  EXPECT_EQ(edit.text(), second) << "cancelling keeps the text";
}

}  // namespace
}  // namespace omrek
