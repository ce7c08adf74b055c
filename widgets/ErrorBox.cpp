#include "widgets/ErrorBox.h"

#include <QMessageBox>

namespace omrek {

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

void ShowErrorBox(const QString& message) {
  QMessageBox box(QMessageBox::Critical, kProgramTitle, ErrorBoxText(message), QMessageBox::Ok);
  box.exec();
}

}  // namespace omrek
