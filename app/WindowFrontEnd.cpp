#include "app/WindowFrontEnd.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>

#include "app/DestroyConfirmation.h"
#include "app/SpaceConfirmation.h"
#include "platform/DriveTable.h"
#include "settings/ui/Config.h"
#include "widgets/ErrorBox.h"

namespace omrek {

WindowFrontEnd::WindowFrontEnd(QWidget& window, TfrmConfig& config) : window_(window), config_(config) {}

bool WindowFrontEnd::AcceptInPlaceCaveats(const std::vector<InPlaceCaveat>& caveats) {
  for (const InPlaceCaveat& caveat : caveats) {
    if (config_.DriveQuiet(caveat.mountPoint)) continue;
    if (!AcceptCaveat(caveat)) return false;
  }
  return true;
}

bool WindowFrontEnd::AcceptCaveat(const InPlaceCaveat& caveat) {
  // The drive by its mount point and letter, as the drive list and the
  // Wipe Space question name it.
  const char letter = DriveTable::Read().LetterOf(caveat.mountPoint);
  const std::string drive =
      "The drive " + caveat.mountPoint + (letter != 0 ? std::string(" (") + letter + ":)" : std::string());
  QMessageBox box(QMessageBox::Warning, kProgramTitle,
                  QString::fromStdString(drive + ": " + caveat.reason +
                                         ".\nOverwriting in place may not reach old copies of the data there."),
                  QMessageBox::NoButton, &window_);
  QPushButton* go = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  box.setDefaultButton(go);
  box.setCheckBox(new QCheckBox(QStringLiteral("Don't warn again for this drive")));
  box.exec();
  if (box.clickedButton() != go) return false;
  if (box.checkBox()->isChecked()) config_.QuietDrive(caveat.mountPoint);
  return true;
}

bool WindowFrontEnd::ConfirmSpaceWipe(const std::vector<DriveForecast>& drives) {
  return omrek::ConfirmSpaceWipe(&window_, {drives, config_.WipeSlack(), config_.SettingsFilePath()});
}

std::optional<bool> WindowFrontEnd::ConfirmDestroy(const DestroyQuestion& question) {
  const bool offered = config_.ThenWipeSpace().value_or(question.keepsCopies);
  const std::optional<bool> answer = omrek::ConfirmDestroy(&window_, question, offered);
  // Only a choice the user made is stored: the offer alone stores nothing.
  if (answer && *answer != offered) config_.RememberThenWipeSpace(*answer);
  return answer;
}

void WindowFrontEnd::ReportReady(CommandReport report) {
  if (report.Empty() || !config_.OfferReport()) return;
  // Offered, never forced: a list of shredded paths is itself sensitive, and
  // the window goes on meanwhile. Close is the default, so Enter out of
  // habit saves nothing.
  if (reportOffer_) reportOffer_->close();
  reportOffer_ =
      new QMessageBox(QMessageBox::Question, kProgramTitle, QStringLiteral("Save a report of what was done?"),
                      QMessageBox::Save | QMessageBox::Close, &window_);
  reportOffer_->setAttribute(Qt::WA_DeleteOnClose);
  reportOffer_->setWindowModality(Qt::NonModal);
  reportOffer_->setDefaultButton(QMessageBox::Close);
  reportOffer_->setEscapeButton(QMessageBox::Close);
  auto* never = new QCheckBox(QStringLiteral("Don't offer again"));
  reportOffer_->setCheckBox(never);
  // However the offer is left (a button, Esc, its close box), the tick
  // counts.
  QObject::connect(reportOffer_, &QDialog::finished, &window_, [this, never] {
    if (never->isChecked()) config_.StopOfferingReport();
  });
  QObject::connect(
      reportOffer_, &QMessageBox::buttonClicked, &window_, [this, report = std::move(report)](QAbstractButton* button) {
        if (reportOffer_ == nullptr || reportOffer_->standardButton(button) != QMessageBox::Save) return;
        // A report goes to a new file only: a name taken already is refused
        // in an error box rather than offered for replacing.
        const QString path = QFileDialog::getSaveFileName(&window_, QStringLiteral("Save Report"),
                                                          QDir::home().filePath(QStringLiteral("Omrek report.txt")),
                                                          QString(), nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty()) RunGuarded([&] { report.Save(QFile::encodeName(path).toStdString()); });
      });
  reportOffer_->show();
}

}  // namespace omrek
