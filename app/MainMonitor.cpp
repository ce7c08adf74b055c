#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>

#include "app/Main.h"
#include "app/RedrawThrottle.h"
#include "platform/TerminationSignals.h"
#include "widgets/BarMeter.h"
#include "widgets/ErrorBox.h"

namespace omrek {

void TfrmMain::SetStatus(const std::string& line1, const std::string& line2, const std::string& line3) {
  lblStatus->setText(QString::fromStdString(line1));
  lblStatus2->setText(QString::fromStdString(line2));
  lblStatus3->setText(QString::fromStdString(line3));
  PumpEvents();
}

void TfrmMain::PumpEvents() {
  redraw_->Release();
  QCoreApplication::processEvents();
}

void TfrmMain::AddProgress(std::uint16_t amount) {
  engine_.Progress += amount;
  Meter->setPosition(engine_.Progress);
  KeepWindowAlive();
}

void TfrmMain::KeepWindowAlive() {
  // A pass over a large file takes minutes without a pump point. Repaints,
  // uncovering and the window manager's pings are served meanwhile; clicks
  // and keys stay queued for the next pump point, so no command starts
  // inside another and Cancel still acts between files.
  constexpr qint64 kAliveMilliseconds = 50;
  if (sinceAlive_.isValid() && sinceAlive_.elapsed() < kAliveMilliseconds) return;
  sinceAlive_.start();
  redraw_->Release();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfrmMain::ResetProgress() {
  engine_.Progress = 0;
  Meter->setMaximum(engine_.WorkTotal);
  Meter->setPosition(engine_.Progress);
}

void TfrmMain::ShowMeterFull() { Meter->setPosition(engine_.WorkTotal); }

bool TfrmMain::CancelFlag() const { return engine_.CancelFlag || TerminationSignals::Requested() != 0; }

void TfrmMain::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, kProgramTitle, QString::fromStdString(text), QMessageBox::Ok, this);
  box.exec();
}

}  // namespace omrek
