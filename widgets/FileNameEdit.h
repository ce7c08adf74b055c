#pragma once

#include <QLineEdit>

class QAction;

namespace omrek {

// A file name edit with a folder button at its right end. The button opens
// the file-open dialog on the folder of the name in the edit; the file
// chosen there replaces the text, and cancelling leaves it alone.
class FileNameEdit : public QLineEdit {
  Q_OBJECT

 public:
  // `filter` is the pattern the dialog shows first, such as "*.wav".
  explicit FileNameEdit(const QString& filter, QWidget* parent = nullptr);

  QString filter() const { return filter_; }
  QAction* browseAction() const { return browse_; }

  // Opens the dialog and waits for the user's choice.
  void Browse();

 private:
  QString filter_;
  QAction* browse_;
};

}  // namespace omrek
