#include "widgets/FileNameEdit.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QStyle>

namespace omrek {

FileNameEdit::FileNameEdit(const QString& filter, QWidget* parent) : QLineEdit(parent), filter_(filter) {
  browse_ = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
  browse_->setObjectName(QStringLiteral("browse"));
  // What a screen reader calls the folder icon.
  browse_->setText(QStringLiteral("Browse"));
  connect(browse_, &QAction::triggered, this, &FileNameEdit::Browse);
}

void FileNameEdit::Browse() {
  QFileDialog dialog(this);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({filter_, QStringLiteral("*")});
  const QFileInfo current(text());
  if (current.dir().exists()) dialog.setDirectory(current.dir());
  if (current.isFile()) dialog.selectFile(current.fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  setText(dialog.selectedFiles().constFirst());
}

}  // namespace omrek
