#pragma once

#include <QFileDialog>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace omrek::test {

// Waits for a file dialog to open, lets `answer` work it, and records what
// it showed.
class FileDialogAnswer {
 public:
  explicit FileDialogAnswer(std::function<void(QFileDialog&)> answer);

  QString directory;
  QStringList filters;

 private:
  std::function<void(QFileDialog&)> answer_;
  QTimer poll_;
};

// Types `name` into the dialog's file name box, as the user does once the
// dialog has the focus, and accepts it as its Open or Save button does.
// selectFile() is no stand-in for that: it leaves the box alone while the
// box has the focus, so it chose the file only when it happened to come
// before the activation.
void TypeNameAndAccept(QFileDialog& dialog, const QString& name);

}  // namespace omrek::test
