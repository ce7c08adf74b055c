#include <QApplication>

#include "app/OmrekProgram.h"
#include "widgets/ErrorBox.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(omrek::kProgramTitle);
  // Only closing the main window ends the program; it does that itself.
  QApplication::setQuitOnLastWindowClosed(false);

  omrek::OmrekProgram program;
  program.Start();
  return QApplication::exec();
}
